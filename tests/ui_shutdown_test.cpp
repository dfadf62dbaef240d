// Restarting and shutting down Windows: the flags reach ExitWindowsEx (here a
// recorder) and, on the NT family, the process token gets the shutdown privilege.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "app/setup_dlg.h"
#include "tests/support/test_support.h"
#include "ui/shutdown.h"

namespace {
std::vector<UINT> g_flags;
std::vector<DWORD> g_reasons;
BOOL g_answer = FALSE;

BOOL WINAPI RecordExitWindows(UINT flags, DWORD reason)
{
    g_flags.push_back(flags);
    g_reasons.push_back(reason);
    return g_answer;
}

class Shutdown : public testing::Test {
protected:
    void SetUp() override
    {
        g_flags.clear();
        g_reasons.clear();
        m_previous = SetExitWindowsFunction(RecordExitWindows);
    }
    void TearDown() override { SetExitWindowsFunction(m_previous); }
    ExitWindowsFunction m_previous = nullptr;
};

LUID ShutdownPrivilege()
{
    LUID luid = {};
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid);
    return luid;
}

// Enables or disables the privilege in this process's token; returns whether it worked.
bool SetShutdownPrivilege(bool enabled)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = ShutdownPrivilege();
    privileges.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    bool adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                    GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return adjusted;
}

bool ShutdownPrivilegeEnabled()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    PRIVILEGE_SET query = {};
    query.PrivilegeCount = 1;
    query.Privilege[0].Luid = ShutdownPrivilege();
    BOOL held = FALSE;
    PrivilegeCheck(token, &query, &held);
    CloseHandle(token);
    return held != FALSE;
}
}  // namespace

TEST_F(Shutdown, RestartAndShutDownAreForced)
{
    CSetupDlg dialog;
    dialog.RestartOrShutDown(EWX_REBOOT);
    dialog.RestartOrShutDown(EWX_SHUTDOWN);
    EXPECT_EQ(g_flags, (std::vector<UINT>{6, 5}));
    EXPECT_EQ(g_reasons, (std::vector<DWORD>{0, 0}));
}

TEST_F(Shutdown, PassesTheResultOfExitWindowsBack)
{
    g_answer = FALSE;
    EXPECT_FALSE(ShutdownWindows(6));
    g_answer = TRUE;
    EXPECT_TRUE(ShutdownWindows(5));
    g_answer = FALSE;
}

TEST_F(Shutdown, EnablesTheShutdownPrivilegeOnlyOnNt)
{
    struct Case {
        const VersionRecord* version;
        bool enabled;
    } cases[] = {{&kWin95, false}, {&kWin98, false}, {&kWinMe, false},
                 {&kNt4, true},    {&kWin2000, true}, {&kWinXp, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version->name);
        ASSERT_TRUE(SetShutdownPrivilege(false));
        ASSERT_FALSE(ShutdownPrivilegeEnabled());
        ScopedVersion version(*c.version);
        ShutdownWindows(EWX_REBOOT | EWX_FORCE);
        EXPECT_EQ(ShutdownPrivilegeEnabled(), c.enabled);
    }
    EXPECT_EQ(g_flags.size(), 6u);
}
