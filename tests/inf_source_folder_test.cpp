// The per-Windows-version source folder: "zorirav.ini" locations and the
// signed-INF search, on real folders and files.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "inf/source_folder.h"
#include "tests/support/test_support.h"

namespace {

std::string InfSignedWith(const char* signature)
{
    return std::string("[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n\r\n"
                       "[Strings]\r\nProvider = \"Maker\"\r\nVXSignature = \"") +
           signature + "\" ; the families served\r\n";
}

std::string IniWith(const std::string& lines)
{
    return "[other]\r\nWinXP_location=Wrong\\\r\n\r\n[os_locations]\r\n" + lines;
}

void MakeFolder(const ScratchFolder& scratch, const char* relative)
{
    ASSERT_TRUE(CreateDirectoryA(scratch.Path() + relative, nullptr)) << relative;
}

// The subfolders of a folder in the order the file system lists them.
std::vector<std::string> ListedSubfolders(const CString& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(folder + "*.*", &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && entry.cFileName[0] != '.')
            names.push_back(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

// ---- The choice as a whole, one package tree per case ----------------------

struct PackageFile {
    const char* path;       // below the base folder
    const char* signature;  // the INF's signature value
};

struct ChoiceCase {
    const char* name;
    const VersionRecord* version;
    const char* locations;  // lines of [os_locations], or nullptr for no "zorirav.ini"
    std::vector<PackageFile> files;
    const char* expected;   // below the base folder
};

const ChoiceCase kChoiceCases[] = {
    {"NoIniSignedBaseStays", &kWinXp, nullptr, {{"pkg.inf", "ME_2K"}}, ""},
    {"LocationWithBackslash", &kWinXp, "WinXP_location=XP\\\r\n", {{"XP\\pkg.inf", "2K"}, {"pkg.inf", "9X"}}, "XP\\"},
    {"LocationWithoutMatchStaysAppended", &kWinXp, "WinXP_location=XP\\\r\n", {{"XP\\pkg.inf", "9X"}}, "XP\\"},
    // Without its backslash a location is a name prefix: base\XP*.inf and the
    // subfolders XP* of the base are listed, and a listed subfolder is searched
    // as the location followed by its name (XPdrv as base\XPXPdrv\).
    {"LocationWithoutBackslashJoinsSubfolderNames", &kWinXp, "WinXP_location=XP\r\n",
     {{"XPdrv\\a.inf", "2K"}, {"Other\\b.inf", "2K"}}, "XP\\"},
    {"LocationWithoutBackslashReachesJoinedFolder", &kWinXp, "WinXP_location=XP\r\n",
     {{"XPdrv\\a.inf", "9X"}, {"XPXPdrv\\b.inf", "2K"}}, "XPXPdrv\\"},
    {"SignedBaseStopsTheDescent", &kWinXp, nullptr, {{"base.inf", "2K"}, {"Sub\\sub.inf", "2K"}}, ""},
    {"UnsignedBaseIsSearchedBelow", &kWinXp, nullptr, {{"base.inf", "9X"}, {"Sub\\Deep\\d.inf", "2K"}},
     "Sub\\Deep\\"},
    {"MatchingFolderIsNotDescended", &kWinXp, nullptr, {{"Sub\\s.inf", "2K"}, {"Sub\\Deep\\d.inf", "2K"}}, "Sub\\"},
    {"AnySignedInfOfAFolderCounts", &kWinXp, nullptr, {{"Sub\\a.inf", "9X"}, {"Sub\\b.inf", "2K"}}, "Sub\\"},
    {"Win2kValueCarriesTag", &kWinXp, nullptr, {{"W\\a.inf", "WIN2K"}}, "W\\"},
    {"LowerCaseValueIsUpperCased", &kWin2000, nullptr, {{"W\\a.inf", "win2k"}}, "W\\"},
    {"HiddenFolderIsNeverSearched", &kWinXp, nullptr, {{".hidden\\a.inf", "2K"}}, ""},
    {"HiddenFolderBelowLocation", &kWinXp, "WinXP_location=XP\\\r\n", {{"XP\\.hidden\\a.inf", "2K"}}, "XP\\"},
    {"OtherFilesAreNotInfs", &kWinXp, nullptr, {{"W\\a.txt", "2K"}}, ""},
    {"AllTagsOnWin95", &kWin95, nullptr, {{"All\\a.inf", "ME_9X_NT_2K"}}, "All\\"},
    {"AllTagsOnWin98", &kWin98, nullptr, {{"All\\a.inf", "ME_9X_NT_2K"}}, "All\\"},
    {"AllTagsOnWinMe", &kWinMe, nullptr, {{"All\\a.inf", "ME_9X_NT_2K"}}, "All\\"},
    {"AllTagsOnNt4", &kNt4, nullptr, {{"All\\a.inf", "ME_9X_NT_2K"}}, "All\\"},
    {"AllTagsOnWin2000", &kWin2000, nullptr, {{"All\\a.inf", "ME_9X_NT_2K"}}, "All\\"},
    {"AllTagsOnWinXp", &kWinXp, nullptr, {{"All\\a.inf", "ME_9X_NT_2K"}}, "All\\"},
    {"OtherSectionIsIgnored", &kWinXp, "WinMe_location=ME\\\r\n", {{"ME\\a.inf", "9X"}}, ""},
};

class ChoiceTable : public testing::TestWithParam<ChoiceCase> {};

TEST_P(ChoiceTable, PicksTheFolder)
{
    const ChoiceCase& c = GetParam();
    ScratchFolder base;
    if (c.locations) base.Write("zorirav.ini", IniWith(c.locations));
    for (const PackageFile& file : c.files) base.Write(file.path, InfSignedWith(file.signature));

    ScopedVersion version(*c.version);
    EXPECT_EQ(ChooseVersionSourceFolder(base.Path()).str(), (base.Path() + c.expected).str());
}

INSTANTIATE_TEST_SUITE_P(SourceFolder, ChoiceTable, testing::ValuesIn(kChoiceCases),
                         [](const testing::TestParamInfo<ChoiceCase>& info) { return info.param.name; });

// ---- Key and tag by Windows version ----------------------------------------

// Each family's location holds one subfolder per tag; only this version's
// location and tag lead to the expected folder.
struct VersionCase {
    const VersionRecord* version;
    const char* expected;
};

const VersionCase kVersionCases[] = {
    {&kWin95, "L98\\Tag9X\\"}, {&kWin98, "L98\\Tag9X\\"}, {&kWinMe, "LMe\\TagME\\"},
    {&kNt4, "LNt4\\TagNT\\"},  {&kWin2000, "LXp\\Tag2K\\"}, {&kWinXp, "LXp\\Tag2K\\"},
};

class VersionTable : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionTable, UsesTheFamilysLocationAndTag)
{
    ScratchFolder base;
    base.Write("zorirav.ini", IniWith("WinMe_location=LMe\\\r\nWin98_location=L98\\\r\n"
                                      "WinNT4_location=LNt4\\\r\nWinXP_location=LXp\\\r\n"));
    for (const char* location : {"LMe", "L98", "LNt4", "LXp"}) {
        for (const char* tag : {"ME", "9X", "NT", "2K"}) {
            std::string path = std::string(location) + "\\Tag" + tag + "\\modem.inf";
            base.Write(path.c_str(), InfSignedWith(tag));
        }
    }

    ScopedVersion version(*GetParam().version);
    EXPECT_EQ(ChooseVersionSourceFolder(base.Path()).str(), (base.Path() + GetParam().expected).str());
}

INSTANTIATE_TEST_SUITE_P(SourceFolder, VersionTable, testing::ValuesIn(kVersionCases),
                         [](const testing::TestParamInfo<VersionCase>& info) {
                             return std::string(info.param.version->name);
                         });

// ---- Siblings: the later listed wins ----------------------------------------

TEST(SourceFolderSiblings, LaterListedSignedFolderWins)
{
    ScratchFolder base;
    // Created in reverse name order, so creation and name order disagree.
    MakeFolder(base, "Zeta");
    MakeFolder(base, "Alpha");
    MakeFolder(base, "Mid");
    base.Write("Zeta\\z.inf", InfSignedWith("2K"));
    base.Write("Alpha\\Inner\\a.inf", InfSignedWith("2K"));
    base.Write("Mid\\m.inf", InfSignedWith("9X"));

    std::vector<std::string> listed = ListedSubfolders(base.Path());
    ASSERT_EQ(listed.size(), 3u);
    // Wine lists a folder sorted by name, whatever the creation order.
    EXPECT_EQ(listed, (std::vector<std::string>{"Alpha", "Mid", "Zeta"}));

    std::vector<std::string> matching;
    for (const std::string& name : listed) {
        if (name == "Zeta") matching.push_back("Zeta\\");
        if (name == "Alpha") matching.push_back("Alpha\\Inner\\");
    }
    ScopedVersion version(kWinXp);
    EXPECT_EQ(ChooseVersionSourceFolder(base.Path()).str(), (base.Path() + matching.back().c_str()).str());

    CString result = "untouched";
    FindSignedInfFolder(base.Path() + "Mid\\", "2K", result);
    EXPECT_EQ(result.str(), "untouched");
}

// A folder without backslash is a name prefix for the listing, and each listed
// name is joined to it as it stands: base\XP with XPmodem.inf reads base\XPXPmodem.inf.
TEST(SourceFolderPrefix, ListedInfIsReadAtTheJoinedPath)
{
    ScratchFolder base;
    base.Write("XPmodem.inf", InfSignedWith("2K"));
    CString result = "untouched";
    FindSignedInfFolder(base.Path() + "XP", "2K", result);
    EXPECT_EQ(result.str(), "untouched");

    base.Write("XPmodem.inf", InfSignedWith("9X"));
    base.Write("XPXPmodem.inf", InfSignedWith("2K"));
    FindSignedInfFolder(base.Path() + "XP", "2K", result);
    EXPECT_EQ(result.str(), (base.Path() + "XP").str());
}

// ---- InfHasSignature --------------------------------------------------------

struct SignatureCase {
    const char* content;
    const char* tag;
    bool expected;
};

const std::string kLongSignature = "[Strings]\r\nVXSignature = \"" + std::string(130, 'X') + "2K\"\r\n";

const SignatureCase kSignatureCases[] = {
    {"[Strings]\r\nVXSignature = ME_9X\r\n", "9X", true},
    {"[Strings]\r\nVXSignature = ME_9X\r\n", "NT", false},
    {"[strings]\r\nSignature = nt\r\n", "NT", true},
    {"[Strings]\r\nDriverSignature=\"win2k\"\r\n", "2K", true},
    {"[Version]\r\nVXSignature = 2K\r\n", "2K", false},
    {"[Strings]\r\nSignatureX = 2K\r\n", "2K", false},
    {"[Strings]\r\nVXSignature = ; 2K\r\n", "2K", false},
    {"[Strings]\r\nVXSignature =\r\nOtherSignature = 2K\r\n", "2K", false},
    {kLongSignature.c_str(), "2K", false},
};

class SignatureTable : public testing::TestWithParam<SignatureCase> {};

TEST_P(SignatureTable, LooksForTheTagInTheSignatureValue)
{
    ScratchFolder folder;
    CString path = folder.Write("test.inf", GetParam().content);
    EXPECT_EQ(InfHasSignature(path, GetParam().tag), GetParam().expected) << GetParam().content;
}

INSTANTIATE_TEST_SUITE_P(SourceFolder, SignatureTable, testing::ValuesIn(kSignatureCases));

TEST(SourceFolderSignature, MissingFileHasNone)
{
    ScratchFolder folder;
    EXPECT_FALSE(InfHasSignature(folder.Path() + "missing.inf", "2K"));
}

TEST(SourceFolderChoice, MissingBaseFolderGetsItsBackslash)
{
    ScratchFolder scratch;
    ScopedVersion version(kWinXp);
    EXPECT_EQ(ChooseVersionSourceFolder(scratch.Path() + "absent").str(), (scratch.Path() + "absent\\").str());
}

}  // namespace
