// The pending-operation list and the two stored forms it is read from.
#include "platform/pending_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {
using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Entries(const PendingOperationList& list)
{
    Pairs pairs;
    for (int i = 0; i < list.Count(); ++i) pairs.emplace_back(list.SourceAt(i), list.TargetAt(i));
    return pairs;
}

// Decodes exactly these bytes from a heap block of their size, so that the
// sanitizer catches any read past the data.
Pairs Decode(const std::string& bytes)
{
    std::vector<unsigned char> block(bytes.begin(), bytes.end());
    PendingOperationList list;
    DecodePendingRenameData(block.empty() ? nullptr : block.data(), block.size(), list);
    return Entries(list);
}

// The bytes of a literal, embedded NULs included, without the literal's own NUL.
template <size_t N>
std::string Bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}
}  // namespace

TEST(PendingCodec, DecodesStoredValues)
{
    struct Case {
        std::string data;
        Pairs expected;
    };
    const Case cases[] = {
        // A delete as Windows writes it: source, empty target, final NUL.
        {Bytes("\\??\\C:\\X.SYS\0\0\0"), {{"C:\\X.SYS", ""}}},
        // A replacing rename, then a delete.
        {Bytes("\\??\\C:\\A.NEW\0!\\??\\C:\\A.SYS\0\\??\\C:\\B\0\0\0"),
         {{"C:\\A.NEW", "C:\\A.SYS"}, {"C:\\B", ""}}},
        // Only one prefix is dropped, and "!" only together with "\??\".
        {Bytes("\\??\\\\??\\C:\\A\0!C:\\B\0\0"), {{"\\??\\C:\\A", "!C:\\B"}}},
        {Bytes("!\\??\\C:\\S\0\\??\\!\\??\\C:\\T\0\0"), {{"C:\\S", "!\\??\\C:\\T"}}},
        // Paths without prefix are taken as they are.
        {Bytes("C:\\S\0C:\\T\0\0"), {{"C:\\S", "C:\\T"}}},
        // Empty and one-byte data hold nothing.
        {"", {}},
        {Bytes("\0"), {}},
        // Data that lacks its terminators is read up to its end only.
        {"\\??\\C:\\A", {{"C:\\A", ""}}},
        {Bytes("\\??\\C:\\A\0\\??\\C:\\B"), {{"C:\\A", "C:\\B"}}},
        {Bytes("\\??\\C:\\A\0"), {{"C:\\A", ""}}},
        {Bytes("\\??\\C:\\A\0\0\\??\\C:\\B"), {{"C:\\A", ""}, {"C:\\B", ""}}},
        // A prefix cut short by the end of the data is kept as text.
        {"\\??", {{"\\??", ""}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Decode(c.data), c.expected) << "data of " << c.data.size() << " bytes";
}

TEST(PendingCodec, DecodesAfterEntriesAlreadyInList)
{
    PendingOperationList list;
    list.Add("C:\\FIRST", "");
    std::string data = Bytes("\\??\\C:\\SECOND\0\0\0");
    DecodePendingRenameData(reinterpret_cast<const unsigned char*>(data.data()), data.size(), list);
    EXPECT_EQ(Entries(list), (Pairs{{"C:\\FIRST", ""}, {"C:\\SECOND", ""}}));
}

TEST(PendingCodec, ParsesRenameLines)
{
    struct Case {
        const char* line;
        bool ok;
        const char* target;
        const char* source;
    };
    const Case cases[] = {
        {"NUL=C:\\WINDOWS\\SYSTEM\\X.VXD", true, "", "C:\\WINDOWS\\SYSTEM\\X.VXD"},
        {"  C:\\A.DLL  =  C:\\A.NEW  ", true, "C:\\A.DLL", "C:\\A.NEW"},
        {"\tC:\\A.DLL\t=\tC:\\A.NEW\t", true, "C:\\A.DLL", "C:\\A.NEW"},
        {"nul=C:\\X", true, "", "C:\\X"},
        {" Nul =C:\\X", true, "", "C:\\X"},
        {"NULL=C:\\X", true, "NULL", "C:\\X"},
        {"C:\\A=C:\\B=C", true, "C:\\A", "C:\\B=C"},  // the first "=" splits
        {"=C:\\X", true, "", "C:\\X"},
        {"C:\\A=", true, "C:\\A", ""},
        {"C:\\A C:\\B", false, "", ""},
        {"", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string target = "unchanged", source = "unchanged";
        EXPECT_EQ(ParseRenameLine(c.line, target, source), c.ok) << c.line;
        if (!c.ok) continue;
        EXPECT_EQ(target, c.target) << c.line;
        EXPECT_EQ(source, c.source) << c.line;
    }
    std::string target, source;
    EXPECT_FALSE(ParseRenameLine(nullptr, target, source));
}

TEST(PendingCodec, RenameLineMustFitItsBuffer)
{
    std::string target, source;
    std::string fits = "NUL=C:\\" + std::string(kRenameLineBuffer - 1 - 7, 'x');
    ASSERT_EQ(fits.size(), kRenameLineBuffer - 1);
    EXPECT_TRUE(ParseRenameLine(fits.c_str(), target, source));
    EXPECT_EQ(source.size(), kRenameLineBuffer - 1 - 4);
    std::string tooLong = fits + "x";
    EXPECT_FALSE(ParseRenameLine(tooLong.c_str(), target, source));
}

TEST(PendingCodec, FormatsRenameLines)
{
    EXPECT_EQ(FormatRenameLine("C:\\X.VXD", ""), "NUL=C:\\X.VXD");
    EXPECT_EQ(FormatRenameLine("C:\\A.NEW", "C:\\A.DLL"), "C:\\A.DLL=C:\\A.NEW");
    std::string target, source;
    ASSERT_TRUE(ParseRenameLine(FormatRenameLine("C:\\A.NEW", "C:\\A.DLL").c_str(), target, source));
    EXPECT_EQ(target, "C:\\A.DLL");
    EXPECT_EQ(source, "C:\\A.NEW");
}

TEST(PendingOperationList, AddRemoveAndAccess)
{
    PendingOperationList list;
    list.Add("C:\\A", "");
    list.Add(nullptr, "C:\\B");
    list.Add("C:\\B", nullptr);
    list.Add("C:\\C", "C:\\D");
    list.Add("C:\\A", "");  // duplicates are kept
    EXPECT_EQ(Entries(list), (Pairs{{"C:\\A", ""}, {"C:\\C", "C:\\D"}, {"C:\\A", ""}}));
    EXPECT_EQ(list.SourceAt(3), nullptr);
    EXPECT_EQ(list.TargetAt(-1), nullptr);
    EXPECT_FALSE(list.RemoveAt(3));
    EXPECT_FALSE(list.RemoveAt(-1));
    EXPECT_TRUE(list.RemoveAt(0));
    EXPECT_EQ(Entries(list), (Pairs{{"C:\\C", "C:\\D"}, {"C:\\A", ""}}));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(PendingOperationList, FindsEntriesConcerningPath)
{
    PendingOperationList list;
    list.Add("C:\\X.SYS", "C:\\OTHER");  // renames the path away: not concerned
    list.Add("C:\\NEW", "c:\\x.sys");      // rename onto the path
    list.Add("c:\\X.sys", "");             // delete of the path
    list.Add("C:\\X.SYS.BAK", "");         // whole-string compare only
    list.Add("C:\\X.SYS", "C:\\X.SYS");    // onto itself: a rename onto the path
    int kind = 0;
    EXPECT_EQ(list.FindFor("C:\\X.SYS", 0, &kind), 1);
    EXPECT_EQ(kind, PENDING_RENAMES);
    EXPECT_EQ(list.FindFor("C:\\X.SYS", 2, &kind), 2);
    EXPECT_EQ(kind, PENDING_DELETES);
    EXPECT_EQ(list.FindFor("C:\\X.SYS", 3, &kind), 4);
    EXPECT_EQ(kind, PENDING_RENAMES);
    EXPECT_EQ(list.FindFor("C:\\X.SYS", 5, &kind), -1);
    EXPECT_EQ(list.FindFor("C:\\OTHER", 0, nullptr), 0);
    EXPECT_EQ(list.FindFor("C:\\X", 0, nullptr), -1);
    EXPECT_EQ(list.FindFor(nullptr, 0, nullptr), -1);
    // An empty path matches neither an empty target nor anything else here.
    EXPECT_EQ(list.FindFor("", 0, nullptr), -1);
}
