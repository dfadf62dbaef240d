// The application shell in-process: command line, version classes, the
// progress dialog's result handling, progress and device-change rules.
#include <gtest/gtest.h>

#include <dbt.h>

#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/os_class.h"
#include "app/setup_dlg.h"
#include "framework/winapp.h"
#include "tests/support/test_support.h"

namespace {

struct CommandLineCase {
    const char* line;
    bool usage, remove, silent;
    const char* rest;
};

// The line as the dialog sees it after upper-casing and taking the three switches.
TEST(CommandLine, TakesUsageAndSwitchesAsTheTableSays)
{
    const CommandLineCase cases[] = {
        {"?", true, false, false, "?"},
        {"/?", true, false, false, "/?"},
        {"?X", true, false, false, "?X"},
        {"X /?", false, false, false, "X /?"},
        {"/remove", false, true, false, ""},
        {"/REMOVE /SILENT", false, true, true, ""},
        {"C:\\DRV /SILENT", false, false, true, "C:\\DRV"},
        {"/SILENT C:\\DRV", false, false, true, " C:\\DRV"},
        {"REMOVE", false, false, false, "REMOVE"},
        {"/SILENT /SILENT", false, false, true, "/SILENT"},
        {"/NONGUI C:\\DRV", false, false, false, " C:\\DRV"},
        {"/REMOVEX", false, true, false, "X"},
    };
    for (const CommandLineCase& c : cases) {
        SCOPED_TRACE(c.line);
        char line[64] = {0};
        std::strncpy(line, c.line, sizeof(line) - 1);
        UpperCaseAscii(line);
        EXPECT_EQ(c.usage, IsUsageRequest(line));
        if (c.usage) continue;
        EXPECT_EQ(c.remove, TakeSwitch(line, "REMOVE"));
        EXPECT_EQ(c.silent, TakeSwitch(line, "SILENT"));
        TakeSwitch(line, "NONGUI");
        EXPECT_STREQ(c.rest, line);
    }
}

TEST(CommandLine, UpperCasesOnlyAsciiLetters)
{
    char line[] = "c:\\pr\xe9" "f\xfc" "r/silent";
    UpperCaseAscii(line);
    EXPECT_STREQ("C:\\PR\xe9" "F\xfc" "R/SILENT", line);
}

TEST(CommandLine, FolderOfPath)
{
    const struct {
        const char* path;
        const char* folder;
    } cases[] = {
        {"C:\\A\\B.EXE", "C:\\A\\"},
        {"C:B.EXE", "C:\\"},
        {"B.EXE", ""},
        {"\"C:\\A B\\SETUP.EXE", "C:\\A B\\"},
        {"\\\\SERVER\\SHARE\\SETUP.EXE", "\\\\SERVER\\SHARE\\"},
    };
    for (const auto& c : cases) EXPECT_STREQ(c.folder, FolderOfPath(c.path)) << c.path;
}

TEST(OsClass, SixVersionRecords)
{
    // win9x, nt, nt4, win98, winme, win95or98
    const struct {
        const VersionRecord* version;
        bool win9x, nt, nt4, win98, winMe, win95Or98;
    } cases[] = {
        {&kWin95, true, false, false, false, false, true},
        {&kWin98, true, false, false, true, false, true},
        {&kWinMe, true, false, false, false, true, false},
        {&kNt4, false, true, true, false, false, false},
        {&kWin2000, false, true, false, false, false, false},
        {&kWinXp, false, true, false, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version->name);
        ScopedVersion version(*c.version);
        EXPECT_EQ(c.win9x, IsWin9x());
        EXPECT_EQ(c.nt, IsNt());
        EXPECT_EQ(c.nt4, IsNt4());
        EXPECT_EQ(c.win98, IsWin98());
        EXPECT_EQ(c.winMe, IsWinMe());
        EXPECT_EQ(c.win95Or98, IsWin95Or98());
    }
}

TEST(OsClass, PredicateBeforeTheRecordIsFilledReadsIt)
{
    OSVERSIONINFOA saved = g_osVersion;
    std::memset(&g_osVersion, 0xFF, sizeof(g_osVersion));
    EXPECT_TRUE(IsNt());  // Wine here plays an NT system by default
    EXPECT_EQ(sizeof(OSVERSIONINFOA), g_osVersion.dwOSVersionInfoSize);
    EXPECT_NE(static_cast<DWORD>(-1), g_osVersion.dwPlatformId);
    g_osVersion = saved;
}

TEST(ProgressDialog, ConstructionFillsVersionAndWindowsFolder)
{
    std::memset(&g_osVersion, 0xFF, sizeof(g_osVersion));
    g_windowsDir.Empty();
    CSetupDlg dialog;
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), g_osVersion.dwPlatformId);
    char folder[MAX_PATH] = {0};
    GetWindowsDirectoryA(folder, sizeof(folder));
    EXPECT_STREQ(folder, g_windowsDir);
}

struct ResultCase {
    SetupResult result;
    bool silent;
    bool failureBox;
};

TEST(ProgressDialog, SetupModeShowsSetupFailedOnlyForFailureResults)
{
    const ResultCase cases[] = {
        {SETUP_FAILED, false, true},  {REMOVE_OK, false, true},      {SETUP_OK, false, false},
        {REMOVE_RESTART, false, false}, {SETUP_RESTART, false, false}, {SETUP_FAILED, true, false},
        {REMOVE_OK, true, false},     {SETUP_RESTART, true, false},
    };
    for (const ResultCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "result " << c.result << (c.silent ? " silent" : ""));
        MessageBoxCapture boxes;
        CSetupDlg dialog;
        dialog.m_result = c.result;
        dialog.m_silent = c.silent;
        dialog.OnSetupDone();
        if (c.failureBox) {
            ASSERT_EQ(1u, boxes.Boxes().size());
            EXPECT_EQ("Setup failed", boxes.Boxes()[0].text);
            EXPECT_EQ("Setup", boxes.Boxes()[0].caption);
            EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Boxes()[0].style);
        } else {
            EXPECT_TRUE(boxes.Boxes().empty());
        }
    }
}

// A dialog whose work is scripted, to watch the worker-to-dialog traffic.
class ScriptedDialog : public CSetupDlg {
public:
    std::vector<int> amounts;
    SetupResult scriptedResult = SETUP_OK;
    int positionAtDone = -1, lowerLimit = -1, upperLimit = -1;
    CString directoryAtWork;

    void RunWork() override
    {
        m_engine.m_hWndNotify = m_hWnd;
        char current[MAX_PATH] = {0};
        GetCurrentDirectoryA(sizeof(current), current);
        directoryAtWork = current;
        for (int amount : amounts) m_engine.PostProgress(amount);
        m_result = scriptedResult;
    }

    LRESULT OnSetupDone() override
    {
        HWND bar = GetDlgItem(IDC_PROGRESS);
        positionAtDone = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
        lowerLimit = static_cast<int>(SendMessageA(bar, PBM_GETRANGE, TRUE, 0));
        upperLimit = static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
        return CSetupDlg::OnSetupDone();
    }

    void SetWindow(HWND window) { m_hWnd = window; }
};

TEST(ProgressDialog, BarRunsFromOneTo12000AndStaysFull)
{
    ScratchFolder folder;
    CWinApp app;
    app.SetCommandLine(folder.Path() + " /SILENT");
    ScriptedDialog dialog;
    dialog.amounts = {1000, 2000, 3000, 3500, 4000, 10000};
    EXPECT_EQ(0, dialog.DoModal());
    EXPECT_EQ(1, dialog.lowerLimit);
    EXPECT_EQ(12000, dialog.upperLimit);
    EXPECT_EQ(12000, dialog.positionAtDone);
}

TEST(ProgressDialog, SourceFolderGetsOneTrailingBackslashAndBecomesCurrent)
{
    ScratchFolder folder;
    CString withSlash = folder.Path();
    CString withoutSlash = withSlash.Left(withSlash.GetLength() - 1);
    for (const CString& given : {withSlash, withoutSlash}) {
        SCOPED_TRACE(given.c_str());
        CWinApp app;
        app.SetCommandLine(given + " /silent");
        ScriptedDialog dialog;
        dialog.DoModal();
        CString expected = withSlash;
        EXPECT_STREQ(expected.MakeUpper(), dialog.m_sourceFolder);
        CString current = dialog.directoryAtWork + "\\";
        EXPECT_STREQ(expected, current.MakeUpper());
        EXPECT_FALSE(dialog.m_remove);
        EXPECT_TRUE(dialog.m_silent);
    }
}

TEST(ProgressDialog, WithoutFolderTheProgramsOwnFolderIsTheSource)
{
    CWinApp app;
    app.SetCommandLine("/SILENT");
    ScriptedDialog dialog;
    dialog.DoModal();
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    EXPECT_STREQ(FolderOfPath(path), dialog.m_sourceFolder);
}

TEST(ProgressDialog, WorkerOnlyPostsAndNeverWaitsForTheInterface)
{
    // The test thread owns the window and pumps nothing while the worker runs.
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    ScriptedDialog dialog;
    dialog.SetWindow(window);
    dialog.amounts.assign(500, 7);
    ASSERT_TRUE(dialog.StartWorker());
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, dialog.m_threadId);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
    CloseHandle(thread);
    EXPECT_EQ(nullptr, dialog.m_hThread);
    EXPECT_EQ(0u, dialog.m_threadId);

    int progress = 0, done = 0;
    MSG message;
    while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
        if (message.message == WM_SETUP_PROGRESS) progress += static_cast<int>(message.wParam);
        if (message.message == WM_SETUP_DONE) ++done;
    }
    EXPECT_EQ(3500, progress);
    EXPECT_EQ(1, done);
    dialog.SetWindow(nullptr);
    DestroyWindow(window);
}

// Device notifications and the device-ready event.
class DeviceChange : public testing::Test {
protected:
    void SetUp() override { event = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    void TearDown() override
    {
        dialog.m_engine.m_hDeviceReady = nullptr;
        CloseHandle(event);
    }
    bool Released() { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }
    // Delivers the events; returns after each whether the engine was released.
    std::string Deliver(std::initializer_list<WPARAM> events)
    {
        std::string released;
        for (WPARAM type : events) {
            EXPECT_EQ(0, dialog.OnDeviceChange(type));
            released += Released() ? '1' : '0';
            ResetEvent(event);
        }
        return released;
    }

    HANDLE event = nullptr;
    CSetupDlg dialog;
};

const WPARAM NODES = DBT_DEVNODES_CHANGED, ARRIVAL = DBT_DEVICEARRIVAL, GONE = DBT_DEVICEREMOVECOMPLETE;

TEST_F(DeviceChange, ReleaseRulesPerWindowsVersion)
{
    const struct {
        const VersionRecord* version;
        const char* released;  // after NODES, ARRIVAL, GONE, DBT_CONFIGCHANGED, DBT_DEVICEQUERYREMOVE
    } cases[] = {
        {&kWin95, "10000"}, {&kWin98, "10000"}, {&kWinMe, "00100"},
        {&kNt4, "00000"},   {&kWin2000, "00000"}, {&kWinXp, "00000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version->name);
        ScopedVersion version(*c.version);
        dialog.m_devNodesChanged = dialog.m_arrivals = 0;
        dialog.m_engine.m_hDeviceReady = event;
        EXPECT_EQ(c.released, Deliver({NODES, ARRIVAL, GONE, DBT_CONFIGCHANGED, DBT_DEVICEQUERYREMOVE}));
    }
}

TEST_F(DeviceChange, WindowsMeCountsNotifications)
{
    ScopedVersion version(kWinMe);
    dialog.m_engine.m_hDeviceReady = event;
    // Two node changes, then arrivals release while at most three have come since the last release.
    EXPECT_EQ("00111", Deliver({NODES, NODES, ARRIVAL, ARRIVAL, ARRIVAL}));
    EXPECT_EQ(2, dialog.m_devNodesChanged);
    EXPECT_EQ(0, dialog.m_arrivals);
    // A third node change before an arrival: arrivals no longer release, only a removal does.
    EXPECT_EQ("000001", Deliver({NODES, ARRIVAL, ARRIVAL, ARRIVAL, ARRIVAL, GONE}));
    EXPECT_EQ(3, dialog.m_devNodesChanged);
    EXPECT_EQ(0, dialog.m_arrivals);
}

TEST_F(DeviceChange, RemovalModeIgnoresEverything)
{
    ScopedVersion version(kWin98);
    dialog.m_remove = true;
    dialog.m_engine.m_hDeviceReady = event;
    EXPECT_EQ("000", Deliver({NODES, ARRIVAL, GONE}));
}

TEST_F(DeviceChange, SignalBeforeTheEventExistsIsLost)
{
    ScopedVersion version(kWin98);
    EXPECT_EQ(0, dialog.OnDeviceChange(NODES));  // no event yet: nothing to set, nothing kept
    dialog.m_engine.m_hDeviceReady = event;
    EXPECT_FALSE(Released());
    EXPECT_EQ("1", Deliver({NODES}));
}

TEST(Engine, ProgressWithoutWindowAndSignalWithoutEventDoNothing)
{
    CSetupEngine engine;
    engine.PostProgress(1000);
    engine.SignalDeviceReady();
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_SETUP_PROGRESS, WM_SETUP_PROGRESS, PM_REMOVE));
}

}  // namespace
