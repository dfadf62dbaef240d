// The removal's dialogs in the real program: setup.exe /REMOVE started through
// filler-launch (key state held before the process started, ExitWindowsEx
// recorded instead of carried out), driven through its real windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "res/resource.h"
#include "tests/support/gui.h"
#include "tests/support/test_support.h"

namespace {
const char kCaption[] = "UnInstall";
const DWORD kDialogWait = 20000;
const DWORD kRemovalWait = 120000;
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VXAMRMV";

// One control as the dialog template defines it (dialog units) and shows it.
struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    int x, y, width, height;
    DWORD buttonType;  // low style bits of a button, or ~0u for a static text
    bool visible;
};

CString WindowsDirectory()
{
    char path[MAX_PATH] = {0};
    GetWindowsDirectoryA(path, sizeof(path));
    return CString(path);
}

bool KeyExists(const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void CheckControls(HWND dialog, int templateId, const std::vector<ExpectedControl>& expected)
{
    std::vector<ControlInfo> controls = ReadControls(dialog);
    EXPECT_EQ(controls.size(), expected.size());
    for (const ExpectedControl& want : expected) {
        SCOPED_TRACE(testing::Message() << "control " << want.id);
        const ControlInfo* control = FindControl(controls, want.id);
        ASSERT_NE(control, nullptr);
        EXPECT_STREQ(control->className.c_str(), want.className);
        EXPECT_EQ(control->text, want.text);
        EXPECT_EQ(control->visible, want.visible);
        if (want.buttonType != ~0u) {
            EXPECT_EQ(control->style & BS_TYPEMASK, want.buttonType);
        }
        RECT pixels = DialogUnitsToPixels(templateId, want.x, want.y, want.width, want.height);
        EXPECT_EQ(control->rect.left, pixels.left);
        EXPECT_EQ(control->rect.top, pixels.top);
        EXPECT_EQ(control->rect.right, pixels.right);
        EXPECT_EQ(control->rect.bottom, pixels.bottom);
    }
}

const std::vector<ExpectedControl> kConfirmControls = {
    {IDOK, "Button", "Yes", 73, 103, 50, 14, BS_DEFPUSHBUTTON, true},
    {IDCANCEL, "Button", "No", 137, 103, 50, 14, BS_PUSHBUTTON, true},
    {IDC_CONFIRM_TEXT1, "Static", "You are going to uninstall all the Modem drivers.", 17, 13, 241, 18, ~0u, true},
    {IDC_CONFIRM_TEXT2, "Static", "To finish removing your hardware, you must restart your computer.", 17, 34, 241, 18,
     ~0u, true},
    {IDC_CONFIRM_TEXT3, "Static", "Do you want to proceed?", 17, 55, 241, 18, ~0u, true},
    {IDC_TOTAL_CLEANUP, "Button", "Total Cleanup", 46, 81, 157, 11, BS_AUTOCHECKBOX, false},
};

const std::vector<ExpectedControl> kRestartControls = {
    {IDOK, "Button", "OK", 98, 93, 50, 14, BS_DEFPUSHBUTTON, true},
    {IDC_RESTART_TEXT1, "Static", "You must restart your computer in order to complete uninstallation.", 19, 7, 213,
     20, ~0u, true},
    {IDC_RESTART_TEXT2, "Static", "Close all open applications and choose one of the options below:", 19, 31, 214, 21,
     ~0u, true},
    {IDC_RESTART_NOW, "Button", "Restart the computer automatically now", 19, 51, 203, 8, BS_AUTORADIOBUTTON, true},
    {IDC_SHUTDOWN_NOW, "Button", "Shut down the computer automatically to remove the modem", 19, 64, 212, 8,
     BS_AUTORADIOBUTTON, true},
    {IDC_RESTART_LATER, "Button", "Restart later", 19, 77, 52, 10, BS_AUTORADIOBUTTON, true},
};

// Each test: a fresh setup.exe /REMOVE, a component folder and an uninstall
// entry for the removal to delete, and a file where the filler records
// ExitWindowsEx.
class RemovalDialogs : public testing::Test {
protected:
    void SetUp() override
    {
        m_exitLog = m_scratch.Path() + "exit.log";
        SetEnvironmentVariableA("FILLER_EXIT_LOG", m_exitLog);
        m_componentFolder = WindowsDirectory() + "\\Tarvo";
        CreateDirectoryPath(m_componentFolder + "\\S1");
        WriteTextFile(m_componentFolder + "\\S1\\component.dat", "data");
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    void TearDown() override
    {
        m_setup.Stop();
        DeleteDirectoryTree(m_componentFolder, false);
        RemoveDirectoryA(m_componentFolder);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
        SetEnvironmentVariableA("FILLER_EXIT_LOG", nullptr);
    }

    static void WriteTextFile(const char* path, const std::string& content)
    {
        FILE* file = std::fopen(path, "wb");
        ASSERT_NE(file, nullptr) << path;
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }

    // setup.exe /REMOVE with the confirmation showing; null if it does not.
    HWND OpenConfirmation()
    {
        if (!m_setup.StartWithFiller("/REMOVE", m_scratch.Path())) return nullptr;
        return WaitForDialog(m_setup.Id(), kCaption, IDC_CONFIRM_TEXT1, kDialogWait);
    }

    // Yes on the confirmation, then the restart dialog once the removal has run.
    HWND ConfirmAndWaitForRestartDialog(HWND confirmation)
    {
        ClickButton(confirmation, IDOK);
        return WaitForDialog(m_setup.Id(), kCaption, IDC_RESTART_NOW, kRemovalWait);
    }

    std::string ExitLog() const { return FileExists(m_exitLog) ? ReadWholeFile(m_exitLog) : std::string(); }
    bool ComponentFolderExists() const
    {
        return GetFileAttributesA(m_componentFolder) != INVALID_FILE_ATTRIBUTES;
    }

    ScratchFolder m_scratch;
    SetupProcess m_setup;
    CString m_exitLog;
    CString m_componentFolder;
};

TEST_F(RemovalDialogs, ConfirmationShowsItsTextsAndNoLeavesTheMachineAlone)
{
    HWND dialog = OpenConfirmation();
    ASSERT_NE(dialog, nullptr);
    SaveScreenshot(dialog, "removal_confirmation");

    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    // Without a language file the template texts show, with their punctuation.
    CheckControls(dialog, IDD_UNINSTALL_CONFIRM, kConfirmControls);
    EXPECT_EQ(ButtonCheck(dialog, IDC_TOTAL_CLEANUP), BST_UNCHECKED);

    ClickButton(dialog, IDCANCEL);
    // The program ends at once: no removal ran and no restart dialog waits.
    ASSERT_TRUE(m_setup.WaitForExit(kDialogWait));
    EXPECT_TRUE(ComponentFolderExists());
    EXPECT_TRUE(KeyExists(kUninstallKey));
    EXPECT_EQ(ExitLog(), "");
}

struct KeysCase {
    const char* name;
    std::vector<int> keys;
    bool offered;
};

void PrintTo(const KeysCase& c, std::ostream* out)
{
    *out << c.name;
}

class TotalCleanupKeys : public RemovalDialogs, public testing::WithParamInterface<KeysCase> {};

TEST_P(TotalCleanupKeys, OfferedOnlyWithShiftAndCtrlHeldAsTheDialogOpens)
{
    HWND dialog = nullptr;
    {
        HeldKeys held(GetParam().keys);
        ASSERT_TRUE(held.Held()) << "xdotool keydown did not reach Wine";
        dialog = OpenConfirmation();
        ASSERT_TRUE(held.Release());
    }
    ASSERT_NE(dialog, nullptr);
    HWND box = GetDlgItem(dialog, IDC_TOTAL_CLEANUP);
    EXPECT_EQ(IsWindowVisible(box) != FALSE, GetParam().offered);
    EXPECT_EQ(ButtonCheck(dialog, IDC_TOTAL_CLEANUP), BST_UNCHECKED);
    if (GetParam().offered) SaveScreenshot(dialog, "removal_confirmation_total_cleanup");

    ClickButton(dialog, IDCANCEL);
    EXPECT_TRUE(m_setup.WaitForExit(kDialogWait));
}

INSTANTIATE_TEST_SUITE_P(Keys, TotalCleanupKeys,
                         testing::Values(KeysCase{"ShiftOnly", {VK_SHIFT}, false},
                                         KeysCase{"CtrlOnly", {VK_CONTROL}, false},
                                         KeysCase{"ShiftAndCtrl", {VK_SHIFT, VK_CONTROL}, true}),
                         [](const testing::TestParamInfo<KeysCase>& info) { return info.param.name; });

TEST_F(RemovalDialogs, YesWithTotalCleanupCheckedDeletesTheComponentFolder)
{
    HWND dialog = nullptr;
    {
        HeldKeys held({VK_SHIFT, VK_CONTROL});
        ASSERT_TRUE(held.Held()) << "xdotool keydown did not reach Wine";
        dialog = OpenConfirmation();
    }
    ASSERT_NE(dialog, nullptr);
    ClickButton(dialog, IDC_TOTAL_CLEANUP);
    for (int i = 0; i < 100 && ButtonCheck(dialog, IDC_TOTAL_CLEANUP) != BST_CHECKED; ++i) Sleep(20);
    ASSERT_EQ(ButtonCheck(dialog, IDC_TOTAL_CLEANUP), BST_CHECKED);
    SaveScreenshot(dialog, "removal_confirmation_total_cleanup_checked");

    HWND restart = ConfirmAndWaitForRestartDialog(dialog);
    ASSERT_NE(restart, nullptr);
    // Total Cleanup reached the removal: the component folder is gone with the uninstall entry.
    EXPECT_FALSE(ComponentFolderExists());
    EXPECT_FALSE(KeyExists(kUninstallKey));

    PressKeyOn(restart, "Escape");
    ASSERT_TRUE(m_setup.WaitForExit(kDialogWait));
    EXPECT_EQ(ExitLog(), "");
}

TEST_F(RemovalDialogs, RestartDialogPreselectsRestartAndOkRestarts)
{
    HWND confirmation = OpenConfirmation();
    ASSERT_NE(confirmation, nullptr);
    HWND dialog = ConfirmAndWaitForRestartDialog(confirmation);
    ASSERT_NE(dialog, nullptr);
    SaveScreenshot(dialog, "removal_restart");

    // The removal ran without Total Cleanup: the entry is gone, the component folder stays.
    EXPECT_FALSE(KeyExists(kUninstallKey));
    EXPECT_TRUE(ComponentFolderExists());

    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_FALSE(style & WS_SYSMENU);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    CheckControls(dialog, IDD_RESTART, kRestartControls);
    EXPECT_EQ(ButtonCheck(dialog, IDC_RESTART_NOW), BST_CHECKED);
    EXPECT_EQ(ButtonCheck(dialog, IDC_SHUTDOWN_NOW), BST_UNCHECKED);
    EXPECT_EQ(ButtonCheck(dialog, IDC_RESTART_LATER), BST_UNCHECKED);
    // Centred on the screen.
    RECT area;
    GetWindowRect(dialog, &area);
    EXPECT_NEAR((area.left + area.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);

    ClickButton(dialog, IDOK);
    ASSERT_TRUE(m_setup.WaitForExit(kDialogWait));
    EXPECT_EQ(ExitLog(), "6\n");  // EWX_REBOOT | EWX_FORCE
}

struct ChoiceCase {
    const char* name;
    int option;  // clicked before OK; 0 = Escape instead of OK
    const char* exitLog;
};

void PrintTo(const ChoiceCase& c, std::ostream* out)
{
    *out << c.name;
}

class RestartChoice : public RemovalDialogs, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(RestartChoice, EndsWithTheChosenAction)
{
    HWND confirmation = OpenConfirmation();
    ASSERT_NE(confirmation, nullptr);
    HWND dialog = ConfirmAndWaitForRestartDialog(confirmation);
    ASSERT_NE(dialog, nullptr);
    if (GetParam().option != 0) {
        ClickButton(dialog, GetParam().option);
        for (int i = 0; i < 100 && ButtonCheck(dialog, GetParam().option) != BST_CHECKED; ++i) Sleep(20);
        ASSERT_EQ(ButtonCheck(dialog, GetParam().option), BST_CHECKED);
        ClickButton(dialog, IDOK);
    } else {
        PressKeyOn(dialog, "Escape");
    }
    ASSERT_TRUE(m_setup.WaitForExit(kDialogWait));
    EXPECT_EQ(ExitLog(), GetParam().exitLog);
}

INSTANTIATE_TEST_SUITE_P(Options, RestartChoice,
                         testing::Values(ChoiceCase{"ShutDown", IDC_SHUTDOWN_NOW, "5\n"},  // EWX_SHUTDOWN | EWX_FORCE
                                         ChoiceCase{"RestartLater", IDC_RESTART_LATER, ""},
                                         ChoiceCase{"Escape", 0, ""}),
                         [](const testing::TestParamInfo<ChoiceCase>& info) { return info.param.name; });

// --- Translation under a real Russian system (Unix locale ru_RU.UTF-8 gives
// Wine the language "Russian" and the ANSI code page 1251).
std::string ToCodePage(const wchar_t* text, UINT codePage)
{
    int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(codePage, 0, text, -1, &out[0], size, nullptr, nullptr);
    out.resize(std::strlen(out.c_str()));
    return out;
}

bool LocaleAvailable(const char* name)
{
    std::string path = std::string(BinaryDirectory().c_str()) + "\\locales\\" + name + "\\LC_CTYPE";
    return FileExists(path.c_str());
}

TEST_F(RemovalDialogs, RussianSystemShowsTranslatedTextsWithTheirPunctuation)
{
    ASSERT_TRUE(LocaleAvailable("ru_RU.UTF-8"))
        << "no locale data in <build>/locales: localedef needs Debian's 'locales' package";
    // Keys as the dialogs show them, some in other case; a duplicate whose
    // first row wins; a commented and an empty translation; quoted fields.
    const wchar_t* table =
        L"Key\tGerman, 1252\tRussian, 1251\r\n"
        L"UnInstall\tDeinstallation\tУдаление\r\n"
        L"yes\tJa\tДа\r\n"
        L"Yes\tJa\tНе этот\r\n"
        L"No\tNein\t\"Нет\"\r\n"
        L"you are going to uninstall all the modem drivers\tx\tВы удаляете все драйверы модема\r\n"
        L"\"To finish removing your hardware, you must restart your computer\"\tx\t \"Потом перезагрузите компьютер\" \r\n"
        L"Do you want to proceed\tx\tПродолжить\r\n"
        L"Total Cleanup\tx\t;Полная очистка\r\n"
        L"OK\tx\t\r\n"
        L"Restart the computer automatically now\tx\tПерезагрузить сейчас\r\n"
        L"Shut down the computer automatically to remove the modem\tx\tВыключить компьютер\r\n"
        L"Restart later\tx\tПозже\r\n"
        L"You must restart your computer in order to complete uninstallation\tx\tНужна перезагрузка\r\n"
        L"Close all open applications and choose one of the options below\tx\tЗакройте программы\r\n";
    WriteTextFile(m_scratch.Path() + "vx.lng", ToCodePage(table, 1251));

    ASSERT_TRUE(m_setup.StartUnderLocale("/REMOVE", m_scratch.Path(), "ru_RU.UTF-8"));
    HWND dialog = WaitForDialog(m_setup.Id(), nullptr, IDC_CONFIRM_TEXT1, kDialogWait);
    ASSERT_NE(dialog, nullptr);
    SaveScreenshot(dialog, "removal_confirmation_russian");
    EXPECT_EQ(WindowTextW(dialog), L"Удаление");
    struct Text {
        int id;
        const wchar_t* text;
    } confirmTexts[] = {
        {IDOK, L"Да"},
        {IDCANCEL, L"Нет"},
        {IDC_CONFIRM_TEXT1, L"Вы удаляете все драйверы модема."},
        {IDC_CONFIRM_TEXT2, L"Потом перезагрузите компьютер."},
        {IDC_CONFIRM_TEXT3, L"Продолжить?"},
        {IDC_TOTAL_CLEANUP, L"Total Cleanup"},
    };
    for (const Text& want : confirmTexts) EXPECT_EQ(WindowTextW(GetDlgItem(dialog, want.id)), want.text) << want.id;

    ClickButton(dialog, IDOK);
    HWND restart = WaitForDialog(m_setup.Id(), nullptr, IDC_RESTART_NOW, kRemovalWait);
    ASSERT_NE(restart, nullptr);
    SaveScreenshot(restart, "removal_restart_russian");
    EXPECT_EQ(WindowTextW(restart), L"Удаление");
    Text restartTexts[] = {
        {IDOK, L"OK"},
        {IDC_RESTART_NOW, L"Перезагрузить сейчас"},
        {IDC_SHUTDOWN_NOW, L"Выключить компьютер"},
        {IDC_RESTART_LATER, L"Позже"},
        {IDC_RESTART_TEXT1, L"Нужна перезагрузка."},
        {IDC_RESTART_TEXT2, L"Закройте программы:"},
    };
    for (const Text& want : restartTexts) EXPECT_EQ(WindowTextW(GetDlgItem(restart, want.id)), want.text) << want.id;

    PressKeyOn(restart, "Escape");
    EXPECT_TRUE(m_setup.WaitForExit(kDialogWait));
}
}  // namespace
