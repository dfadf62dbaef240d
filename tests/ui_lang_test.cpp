// The language table in a Windows process: translating into buffers, strings
// and window texts; which file and which column a system uses, with real
// system languages (the probe program runs under other Unix locales).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/gui.h"
#include "tests/support/test_support.h"
#include "ui/lang_table.h"

namespace {
// Back to "not set up": the table is read at most once per process.
void ResetLanguageTable()
{
    g_langKeys.RemoveAll();
    g_langValues.RemoveAll();
    g_langLoaded = false;
    g_langDisabled = false;
}

// A table as if read from a file, for the translation functions.
void UseTable(const std::vector<std::pair<const char*, const char*>>& rows)
{
    ResetLanguageTable();
    for (const auto& row : rows) {
        g_langKeys.Add(row.first);
        g_langValues.Add(row.second);
    }
    g_langLoaded = true;
}

void WriteTextFile(const char* path, const std::string& content)
{
    FILE* file = std::fopen(path, "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

CString WindowsLanguageFile()
{
    char path[MAX_PATH] = {0};
    GetWindowsDirectoryA(path, sizeof(path));
    return CString(path) + "\\vx.lng";
}

class LanguageTable : public testing::Test {
protected:
    void TearDown() override { ResetLanguageTable(); }
};
}  // namespace

TEST_F(LanguageTable, TranslateTextCopiesTheTranslationOrTheTextItself)
{
    UseTable({{"Yes", "Da"}, {"yes", "second"}, {"Restart later", "Pozzhe"}});
    char buffer[16];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(TranslateText("YES", buffer, sizeof(buffer)), 1);
    EXPECT_STREQ(buffer, "Da");
    EXPECT_EQ(TranslateText("No", buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "No");
    EXPECT_EQ(TranslateText("Restart later", buffer, 7), 1);  // "Pozzhe" and its end fit in 7
    EXPECT_STREQ(buffer, "Pozzhe");
}

TEST_F(LanguageTable, TranslateTextLeavesTheBufferAloneWhenTheResultDoesNotFit)
{
    UseTable({{"Restart later", "Pozzhe"}});
    char buffer[8] = "keep";
    EXPECT_EQ(TranslateText("Restart later", buffer, 6), 0);  // translation needs 7 bytes
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(TranslateText("Untranslated", buffer, 8), 0);  // the text itself needs 13
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(TranslateText("Restart later", nullptr, 100), 0);
    EXPECT_EQ(TranslateText(nullptr, buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "keep");
}

TEST_F(LanguageTable, TranslateToStringIsEmptyForATextThatDoesNotFit)
{
    UseTable({{"Yes", "Da"}});
    int translated = -1;
    EXPECT_STREQ(TranslateToString("Yes", &translated), "Da");
    EXPECT_EQ(translated, 1);
    EXPECT_STREQ(TranslateToString("No", &translated), "No");
    EXPECT_EQ(translated, 0);
    std::string longest(1023, 'x'), tooLong(1024, 'x');
    EXPECT_EQ(TranslateToString(longest.c_str()).str(), longest);
    EXPECT_STREQ(TranslateToString(tooLong.c_str(), &translated), "");
    EXPECT_EQ(translated, 0);
}

TEST_F(LanguageTable, TranslateWindowTextAppendsTheSuffixAfterTheLookup)
{
    UseTable({{"Do you want to proceed", "Prodolzhit"}});
    HWND window = CreateWindowA("STATIC", "Do you want to proceed", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(TranslateWindowText(window, nullptr, "?"), 1);
    EXPECT_EQ(WindowText(window), "Prodolzhit?");
    // The window's text now carries the suffix, so it is no key any more.
    EXPECT_EQ(TranslateWindowText(window, nullptr, "?"), 0);
    EXPECT_EQ(WindowText(window), "Prodolzhit??");
    EXPECT_EQ(TranslateWindowText(window, "do you want to proceed"), 1);
    EXPECT_EQ(WindowText(window), "Prodolzhit");
    EXPECT_EQ(TranslateWindowText(window, "Untranslated", "."), 0);
    EXPECT_EQ(WindowText(window), "Untranslated.");
    DestroyWindow(window);
}

TEST_F(LanguageTable, SwitchedOffBeforeFirstUseNeverReadsTheFile)
{
    ResetLanguageTable();
    g_langDisabled = true;
    char buffer[32] = {0};
    EXPECT_EQ(TranslateText("Yes", buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "Yes");
    EXPECT_TRUE(g_langLoaded);
    EXPECT_EQ(g_langKeys.GetCount(), 0);
}

// This process runs under Wine's default English system: even a file with an
// "English, 1252" column in both places is never used.
TEST_F(LanguageTable, EnglishWithCodePage1252SwitchesTranslationOff)
{
    char name[128] = {0};
    GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, name, sizeof(name));
    ASSERT_STREQ(name, "English");
    ASSERT_EQ(GetACP(), 1252u);

    ScratchFolder folder;
    char previous[MAX_PATH] = {0};
    GetCurrentDirectoryA(sizeof(previous), previous);
    std::string file = "Key\tEnglish, 1252\nYes\tYep\n";
    folder.Write("vx.lng", file);
    WriteTextFile(WindowsLanguageFile(), file);
    SetCurrentDirectoryA(folder.Path());

    ResetLanguageTable();
    char buffer[32] = {0};
    EXPECT_EQ(TranslateText("Yes", buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "Yes");
    EXPECT_TRUE(g_langDisabled);
    EXPECT_EQ(LoadLanguageTable(), 0);
    EXPECT_EQ(g_langKeys.GetCount(), 0);

    SetCurrentDirectoryA(previous);
    DeleteFileA(WindowsLanguageFile());
}

// --- The probe under other system languages.
namespace {
struct ProbeReport {
    bool ran = false;
    std::string system;  // "<language>|<code page>|<off>"
    std::vector<std::string> results;
};

// Runs ui_lang_probe.exe in a new Wine process with LC_ALL=locale, in folder.
ProbeReport RunProbe(const char* locale, const CString& folder, const std::vector<std::string>& texts)
{
    ProbeReport report;
    CString output = folder + "probe.txt";
    DeleteFileA(output);
    std::string command = "LOCPATH=" + BinaryDirectoryUnix() + "/locales LC_ALL=" + locale + " wine \"" +
                          (ProgramFolder() + "\\ui_lang_probe.exe").c_str() + "\" \"" + output.c_str() + "\"";
    for (const std::string& text : texts) command += " \"" + text + "\"";
    // Starting a Unix program from Wine fails now and then on a loaded machine.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0) Sleep(500);
        started = StartUnixProgram("/usr/bin/env", command, folder);
    }
    if (!started) return report;
    // Wine cannot wait for a Unix program: the report appears when the probe is done.
    // A new Wine process under another locale can take long on a loaded machine.
    for (int i = 0; i < 2400 && !FileExists(output); ++i) Sleep(50);
    if (!FileExists(output)) return report;
    std::string content = ReadWholeFile(output);
    size_t at = 0;
    for (size_t end; (end = content.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = content.substr(at, end - at);
        if (report.system.empty())
            report.system = line;
        else
            report.results.push_back(line);
    }
    report.ran = true;
    return report;
}

struct LocaleCase {
    const char* name;
    const char* locale;
    const char* currentDirFile;  // null: none
    const char* windowsDirFile;  // null: none
    const char* system;
    std::vector<std::string> results;  // for "Yes" and "Restart later"
};

const char kRussianTable[] =
    "Key\tGerman, 1252\tRussian, 1251\r\n"
    "Yes\tJa\tDa\r\n"
    "Restart later\tSpaeter\t\"Pozzhe\"\r\n";
const char kGermanOnlyTable[] = "Key\tGerman, 1252\r\nYes\tJa\r\n";
const char kChineseTable[] =
    "Key\tChinese (Traditional), 950\tChinese, 950\r\n"
    "Yes\tnot this column\tShi\r\n";
const char kEnglishTable[] = "Key\tEnglish, 1252\r\nYes\tYep\r\n";

void PrintTo(const LocaleCase& c, std::ostream* out)
{
    *out << c.name;
}

class SystemLanguage : public testing::TestWithParam<LocaleCase> {};

std::string LocaleFolder(const char* locale)
{
    return std::string(BinaryDirectory().c_str()) + "\\locales\\" + locale + "\\LC_CTYPE";
}
}  // namespace

TEST_P(SystemLanguage, ChoosesFileAndColumn)
{
    const LocaleCase& c = GetParam();
    if (std::string(c.locale) != "C") {
        ASSERT_TRUE(FileExists(LocaleFolder(c.locale).c_str()))
            << "no locale data in <build>/locales: localedef needs Debian's 'locales' package";
    }
    ScratchFolder folder;
    if (c.currentDirFile) folder.Write("vx.lng", c.currentDirFile);
    if (c.windowsDirFile) WriteTextFile(WindowsLanguageFile(), c.windowsDirFile);

    ProbeReport report = RunProbe(c.locale, folder.Path(), {"Yes", "Restart later"});
    DeleteFileA(WindowsLanguageFile());
    ASSERT_TRUE(report.ran);
    EXPECT_EQ(report.system, c.system);
    EXPECT_EQ(report.results, c.results);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, SystemLanguage,
    testing::Values(
        LocaleCase{"RussianFromCurrentDirectory", "ru_RU.UTF-8", kRussianTable, nullptr, "Russian|1251|0",
                   {"1|Da", "1|Pozzhe"}},
        // A file in the current directory without our column hides the Windows directory's copy.
        LocaleCase{"CurrentDirectoryHidesWindowsDirectory", "ru_RU.UTF-8", kGermanOnlyTable, kRussianTable,
                   "Russian|1251|1", {"0|Yes", "0|Restart later"}},
        LocaleCase{"RussianFromWindowsDirectory", "ru_RU.UTF-8", nullptr, kRussianTable, "Russian|1251|0",
                   {"1|Da", "1|Pozzhe"}},
        LocaleCase{"NoFileAnywhere", "ru_RU.UTF-8", nullptr, nullptr, "Russian|1251|1",
                   {"0|Yes", "0|Restart later"}},
        // Wine names this system "Chinese (Traditional)": every Chinese reads the "Chinese" column.
        LocaleCase{"ChineseFolded", "zh_TW.UTF-8", kChineseTable, nullptr, "Chinese (Traditional)|950|0",
                   {"1|Shi", "0|Restart later"}},
        LocaleCase{"EnglishNeverTranslated", "C", kEnglishTable, kEnglishTable, "English|1252|1",
                   {"0|Yes", "0|Restart later"}}),
    [](const testing::TestParamInfo<LocaleCase>& info) { return info.param.name; });
