// The INF/INI text model: lookups, the pattern matcher, reading and writing.
// Builds natively (with sanitizers) and for Windows (run under Wine).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "inf/inf_file.h"

namespace {

// Text mode writes each line feed as the platform's line end.
#ifdef _WIN32
const char* const kLineEnd = "\r\n";
#else
const char* const kLineEnd = "\n";
#endif

std::string WithLineEnds(const std::string& text)
{
    std::string result;
    for (char c : text) {
        if (c == '\n') result += kLineEnd;
        else result += c;
    }
    return result;
}

// A file name in the temporary folder that no other run uses; removed at the end.
class TempFile {
public:
    TempFile()
    {
        static int counter = 0;
        long long stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        m_path = testing::TempDir() + "inf_file_test_" + std::to_string(stamp) + "_" +
                 std::to_string(++counter) + ".inf";
        std::remove(m_path.c_str());
    }
    ~TempFile() { std::remove(m_path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const char* Path() const { return m_path.c_str(); }

    void Write(const std::string& bytes) const
    {
        std::FILE* file = std::fopen(m_path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }

    std::string Read() const
    {
        std::string bytes;
        if (std::FILE* file = std::fopen(m_path.c_str(), "rb")) {
            char chunk[4096];
            size_t got;
            while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.append(chunk, got);
            std::fclose(file);
        }
        return bytes;
    }

private:
    std::string m_path;
};

std::vector<std::string> LinesOf(CInfFile& inf, const char* section)
{
    std::vector<std::string> lines;
    for (int i = 0; i < inf.GetLineCount(section); ++i) lines.push_back(inf.FindSection(section)->Line(i));
    return lines;
}

// ---- GetValue ---------------------------------------------------------------

struct ValueCase {
    const char* line;
    const char* pattern;
    int size;
    int result;
    const char* value;  // the buffer afterwards
};

const std::string kForty(40, 'v');
const std::string kFortyLine = "Key = " + kForty;

const ValueCase kValueCases[] = {
    {"Key = Value", "Key", 64, 1, "Value"},
    {"key=value", "KEY", 64, 1, "value"},
    {"Key = \"a;b\"", "Key", 64, 1, "a;b"},
    {"Key = value ; note", "Key", 64, 1, "value "},
    {"Key = \"a;b\" ; note", "Key", 64, 1, "\"a;b\" "},
    {"Key =", "Key", 64, 0, "dflt"},
    {"Key = \"\"", "Key", 64, 0, "dflt"},
    {"  Key = v", "Key", 64, 0, "dflt"},
    {"KeyX = 1", "Key", 64, 0, "dflt"},
    {"VXSignature = ME_9X", "*Signature", 64, 1, "ME_9X"},
    {kFortyLine.c_str(), "Key", 32, 0, "dflt"},
    {"Key\t=\tv  \t", "Key", 64, 1, "v"},
    {"Key = a=b", "Key", 64, 1, "a=b"},
    {"Key = \"x\"y\"", "Key", 64, 1, "x\"y"},
    {"Key = \"", "Key", 64, 1, "\""},
    {"Key = abc", "Key", 4, 1, "abc"},
    {"Key = abcde", "Key", 5, 0, "dflt"},
    {"Key = ;only a note", "Key", 64, 0, "dflt"},
};

class GetValueTable : public testing::TestWithParam<ValueCase> {};

TEST_P(GetValueTable, ReadsTheValueOfASingleLine)
{
    const ValueCase& c = GetParam();
    CInfFile inf("unused.inf");
    ASSERT_EQ(inf.AddLine("S", c.line), 1);

    // Guard bytes after the buffer show any write beyond its size.
    std::vector<char> memory(static_cast<size_t>(c.size) + 8, '#');
    int found = -1;
    EXPECT_EQ(inf.GetValue("S", c.pattern, memory.data(), c.size, "dflt", 0, &found), c.result);
    EXPECT_STREQ(memory.data(), c.value);
    for (size_t i = static_cast<size_t>(c.size); i < memory.size(); ++i) ASSERT_EQ(memory[i], '#');
    if (c.result == 1) {
        EXPECT_EQ(found, 0);
        // The rest of the buffer is zero-filled.
        for (size_t i = std::strlen(c.value); i < static_cast<size_t>(c.size); ++i) ASSERT_EQ(memory[i], '\0');
    }
}

INSTANTIATE_TEST_SUITE_P(InfFile, GetValueTable, testing::ValuesIn(kValueCases));

TEST(InfFileGetValue, StopsAtTheFirstMatchingLineEvenWhenItsValueIsEmpty)
{
    CInfFile inf("unused.inf");
    inf.AddLine("S", "other = 1");
    inf.AddLine("S", "Key =");
    inf.AddLine("S", "Key = second");
    char value[32] = {0};
    int found = -1;
    EXPECT_EQ(inf.GetValue("S", "Key", value, sizeof(value), "dflt", 0, &found), 0);
    EXPECT_STREQ(value, "dflt");
    EXPECT_EQ(found, 1);

    EXPECT_EQ(inf.GetValue("S", "Key", value, sizeof(value), "dflt", found + 1, &found), 1);
    EXPECT_STREQ(value, "second");
    EXPECT_EQ(found, 2);
}

TEST(InfFileGetValue, MissingSectionLeavesTheBufferAlone)
{
    CInfFile inf("unused.inf");
    inf.AddLine("S", "Key = v");
    char value[16] = "untouched";
    EXPECT_EQ(inf.GetValue("Nope", "Key", value, sizeof(value), "dflt", 0, nullptr), 0);
    EXPECT_STREQ(value, "untouched");
}

TEST(InfFileGetValue, DefaultIsCopiedOnlyWhenItFits)
{
    CInfFile inf("unused.inf");
    inf.AddLine("S", "Other = v");
    char value[8] = "keep";
    EXPECT_EQ(inf.GetValue("S", "Key", value, 4, "toolong", 0, nullptr), 0);
    EXPECT_STREQ(value, "keep");
    EXPECT_EQ(inf.GetValue("S", "Key", value, 4, nullptr, 0, nullptr), 0);
    EXPECT_STREQ(value, "keep");
    EXPECT_EQ(inf.GetValue("S", "Key", nullptr, 4, "d", 0, nullptr), 0);
    EXPECT_EQ(inf.GetValue("S", "Other", value, 0, "d", 0, nullptr), 0);
    EXPECT_STREQ(value, "keep");
}

TEST(InfFileGetValue, PreambleIsReachedWithoutASectionName)
{
    CInfFile inf("unused.inf");
    inf.AddLine(nullptr, "Key = top");
    char value[16] = {0};
    EXPECT_EQ(inf.GetValue(nullptr, "key", value, sizeof(value), nullptr, 0, nullptr), 1);
    EXPECT_STREQ(value, "top");
}

// ---- GetInt -----------------------------------------------------------------

struct IntCase {
    const char* line;
    int expected;
};

const std::string kLongNumberLine = "Key = " + std::string(32, '1');

const IntCase kIntCases[] = {
    {"Key = 0x10", 16},
    {"Key = 010", 8},
    {"Key = 12abc", 12},
    {"Key = 42", 42},
    {"Key = 0XfF", 255},
    {"Key = abc", 0},
    {"Key =", -7},
    {"Other = 5", -7},
    {kLongNumberLine.c_str(), -7},
};

class GetIntTable : public testing::TestWithParam<IntCase> {};

TEST_P(GetIntTable, ReadsWithAutomaticBase)
{
    CInfFile inf("unused.inf");
    inf.AddLine("S", GetParam().line);
    EXPECT_EQ(inf.GetInt("S", "Key", -7, 0, nullptr), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(InfFile, GetIntTable, testing::ValuesIn(kIntCases));

TEST(InfFileGetInt, MissingSectionGivesTheDefault)
{
    CInfFile inf("unused.inf");
    EXPECT_EQ(inf.GetInt("Nope", "Key", 99, 0, nullptr), 99);
}

TEST(InfFileGetInt, ReportsTheLineFound)
{
    CInfFile inf("unused.inf");
    inf.AddLine("S", "A = 1");
    inf.AddLine("S", "B = 2");
    int found = -1;
    EXPECT_EQ(inf.GetInt("S", "b", 0, 0, &found), 2);
    EXPECT_EQ(found, 1);
}

// ---- GlobMatch --------------------------------------------------------------

struct GlobCase {
    const char* text;
    const char* pattern;
    int ignoreCase;
    int expected;
};

const GlobCase kGlobCases[] = {
    {"abc", "a*c", 0, 1},
    {"ab", "*b", 0, 1},
    {"", "*", 0, 1},
    {"ABC", "abc", 1, 1},
    {"ABC", "abc", 0, 0},
    {"ac", "a?c", 0, 0},
    {"abc", "a?c", 0, 1},
    {"abc", "ab", 0, 0},
    {"abc", "", 0, 0},
    {"", "", 0, 1},
    {"", "?", 0, 0},
    {"abc", "abc*", 0, 1},
    {"abcbc", "*bc", 0, 1},
    {"abcbd", "*bc", 0, 0},
    {"a.inf", "*.INF", 1, 1},
    {"key \t= v", "key^=^*", 0, 1},
    {"key=v", "key^=^*", 0, 1},
    {"keyx=v", "key^=^*", 0, 0},
    {"VXSignature = x", "*Signature^=^*", 1, 1},
    {"a*b", "a*b", 0, 1},
    {"axyb", "a*b", 0, 1},
    {"ab", "a^b", 0, 1},
    {"a  b", "a^b", 0, 1},
    {"x", "*?*?", 0, 0},
    {"xy", "*?*?", 0, 1},
    {"[", "[", 0, 1},
};

class GlobMatchTable : public testing::TestWithParam<GlobCase> {};

TEST_P(GlobMatchTable, MatchesTheWholeText)
{
    const GlobCase& c = GetParam();
    EXPECT_EQ(CInfFile::GlobMatch(c.text, c.pattern, c.ignoreCase), c.expected)
        << "text \"" << c.text << "\" pattern \"" << c.pattern << "\"";
}

INSTANTIATE_TEST_SUITE_P(InfFile, GlobMatchTable, testing::ValuesIn(kGlobCases));

TEST(InfFileGlobMatch, MissingTextOrPatternNeverMatches)
{
    EXPECT_EQ(CInfFile::GlobMatch(nullptr, "*", 1), 0);
    EXPECT_EQ(CInfFile::GlobMatch("a", nullptr, 1), 0);
}

// ---- Sections and lines -----------------------------------------------------

TEST(InfFileSections, NamesCompareWithoutCaseAndKeepTheFirstSpelling)
{
    CInfFile inf("unused.inf");
    EXPECT_EQ(inf.AddSection("Strings"), 1);
    EXPECT_EQ(inf.AddSection("STRINGS"), 1);
    EXPECT_EQ(inf.AddSection(nullptr), 0);
    EXPECT_EQ(inf.AddSection(""), 0);
    ASSERT_NE(inf.FindSection("strings"), nullptr);
    EXPECT_STREQ(inf.FindSection("strings")->Name(), "Strings");
    EXPECT_EQ(inf.FindSection("Other"), nullptr);
}

TEST(InfFileSections, AddLineCreatesAMissingSectionAndClearKeepsIt)
{
    CInfFile inf("unused.inf");
    CInfSection* first = nullptr;
    ASSERT_EQ(inf.AddLine("First", "1"), 1);
    first = inf.FindSection("First");
    ASSERT_EQ(inf.AddLine("Second", "2"), 1);
    ASSERT_EQ(inf.AddLine("first", "3"), 1);
    // A section found earlier stays valid while others are added.
    EXPECT_EQ(inf.FindSection("First"), first);
    EXPECT_EQ(LinesOf(inf, "First"), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(inf.GetLineCount("Second"), 1);

    EXPECT_EQ(inf.ClearSection("FIRST"), 1);
    EXPECT_EQ(inf.GetLineCount("First"), 0);
    EXPECT_NE(inf.FindSection("First"), nullptr);
    EXPECT_EQ(inf.ClearSection("Nope"), 0);
    EXPECT_EQ(inf.GetLineCount("Nope"), 0);
}

// ---- GetLine ----------------------------------------------------------------

TEST(InfFileGetLine, AsksForTheLengthThenCopies)
{
    CInfFile inf("unused.inf");
    inf.AddLine("S", "hello");

    int length = 0;
    EXPECT_EQ(inf.GetLine("S", 0, nullptr, &length), 0);
    EXPECT_EQ(length, 5);

    std::vector<char> buffer(static_cast<size_t>(length) + 1 + 4, '#');
    length += 1;
    EXPECT_EQ(inf.GetLine("S", 0, buffer.data(), &length), 1);
    EXPECT_EQ(length, 6);
    EXPECT_STREQ(buffer.data(), "hello");
    EXPECT_EQ(buffer[6], '#');

    // A buffer that leaves no room for the terminator is not written.
    char small[5] = {'#', '#', '#', '#', '#'};
    length = sizeof(small);
    EXPECT_EQ(inf.GetLine("S", 0, small, &length), 0);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(small[0], '#');
}

TEST(InfFileGetLine, BeyondTheLastLineAndMissingSection)
{
    CInfFile inf("unused.inf");
    inf.AddLine("S", "x");
    char buffer[8] = "keep";
    int length = sizeof(buffer);
    EXPECT_EQ(inf.GetLine("S", 1, buffer, &length), 0);
    EXPECT_EQ(length, 0);
    length = sizeof(buffer);
    EXPECT_EQ(inf.GetLine("S", -1, buffer, &length), 0);
    EXPECT_EQ(length, 0);
    length = 77;
    EXPECT_EQ(inf.GetLine("Nope", 0, buffer, &length), 0);
    EXPECT_EQ(length, 77);
    EXPECT_STREQ(buffer, "keep");
}

// ---- Load and Save ----------------------------------------------------------

TEST(InfFileLoadSave, RoundTripDropsBlanksMergesSectionsAndCutsHeaders)
{
    TempFile file;
    file.Write(
        "; preamble comment\n"
        "\n"
        "Signature=\"$CHICAGO$\"\n"
        "[A] trailing text\n"
        "one\n"
        "\n"
        "   \n"
        "[]\n"
        "[open\n"
        "[B]\n"
        "[a]\n"
        "two\n"
        "[Empty]\n");
    CInfFile inf(file.Path());
    ASSERT_EQ(inf.Load(), 1);
    EXPECT_EQ(LinesOf(inf, "a"), (std::vector<std::string>{"one", "   ", "[]", "[open", "two"}));
    EXPECT_EQ(inf.GetLineCount("B"), 0);
    EXPECT_EQ(inf.GetLineCount(nullptr), 2);
    ASSERT_EQ(inf.Save(), 1);

    EXPECT_EQ(file.Read(), WithLineEnds("; preamble comment\n"
                                        "Signature=\"$CHICAGO$\"\n"
                                        "\n"
                                        "[A]\n"
                                        "one\n"
                                        "   \n"
                                        "[]\n"
                                        "[open\n"
                                        "two\n"
                                        "\n"
                                        "[B]\n"
                                        "\n"
                                        "[Empty]\n"
                                        "\n"));
}

TEST(InfFileLoadSave, HeaderFirstMeansNoEmptyLineBeforeIt)
{
    TempFile file;
    file.Write("[Version]\nSignature=x\n");
    CInfFile inf(file.Path());
    ASSERT_EQ(inf.Load(), 1);
    EXPECT_EQ(inf.GetLineCount(nullptr), 0);
    ASSERT_EQ(inf.Save(), 1);
    EXPECT_EQ(file.Read(), WithLineEnds("[Version]\nSignature=x\n\n"));
}

TEST(InfFileLoadSave, LongLineIsSplitEvery1023Characters)
{
    TempFile file;
    std::string longLine;
    for (int i = 0; i < 1500; ++i) longLine += static_cast<char>('a' + i % 26);
    file.Write("[S]\n" + longLine + "\nnext\n" + std::string(1023, 'z') + "\nlast\n");
    CInfFile inf(file.Path());
    ASSERT_EQ(inf.Load(), 1);
    // A line of exactly 1,023 characters is followed by nothing but its line feed.
    EXPECT_EQ(LinesOf(inf, "S"),
              (std::vector<std::string>{longLine.substr(0, 1023), longLine.substr(1023), "next",
                                        std::string(1023, 'z'), "last"}));
    EXPECT_EQ(longLine.substr(1023).size(), 477u);
}

TEST(InfFileLoadSave, LastLineWithoutLineFeedIsKept)
{
    TempFile file;
    file.Write("[S]\nk = v");
    CInfFile inf(file.Path());
    ASSERT_EQ(inf.Load(), 1);
    EXPECT_EQ(LinesOf(inf, "S"), (std::vector<std::string>{"k = v"}));
}

TEST(InfFileLoadSave, MissingFileLoadsNothingButSaveWritesWhatWasAdded)
{
    TempFile file;
    CInfFile inf(file.Path());
    EXPECT_EQ(inf.Load(), 0);
    EXPECT_EQ(inf.GetLineCount(nullptr), 0);
    inf.AddLine("rename", "NUL=C:\\old.sys");
    inf.AddLine(nullptr, "top");
    ASSERT_EQ(inf.Save(), 1);
    EXPECT_EQ(file.Read(), WithLineEnds("top\n\n[rename]\nNUL=C:\\old.sys\n\n"));
}

TEST(InfFileLoadSave, LoadAppendsToWhatIsInMemory)
{
    TempFile file;
    file.Write("[s]\nfrom file\n");
    CInfFile inf(file.Path());
    inf.AddLine("S", "in memory");
    ASSERT_EQ(inf.Load(), 1);
    EXPECT_EQ(LinesOf(inf, "S"), (std::vector<std::string>{"in memory", "from file"}));
}

TEST(InfFileLoadSave, SaveIntoAMissingFolderFails)
{
    TempFile file;
    std::string path = std::string(file.Path()) + ".missing/inner.inf";
    CInfFile inf(path.c_str());
    inf.AddLine("S", "x");
    EXPECT_EQ(inf.Save(), 0);
}

#ifdef _WIN32
TEST(InfFileLoadSave, CarriageReturnsOfTheFileAreDropped)
{
    TempFile file;
    file.Write("top\r\n\r\n[S]\r\nk = v\r\n");
    CInfFile inf(file.Path());
    ASSERT_EQ(inf.Load(), 1);
    EXPECT_EQ(LinesOf(inf, nullptr), (std::vector<std::string>{"top"}));
    EXPECT_EQ(LinesOf(inf, "S"), (std::vector<std::string>{"k = v"}));
}
#endif

}  // namespace
