#include "shutdown.h"

#include "app/os_class.h"
#include "platform/handles.h"

namespace {
ExitWindowsFunction g_exitWindows = ExitWindowsEx;

void EnableShutdownPrivilege()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    KernelHandle tokenHolder(token);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
}
}  // namespace

BOOL ShutdownWindows(UINT flags)
{
    if (IsNt()) EnableShutdownPrivilege();
    return g_exitWindows(flags, 0);
}

ExitWindowsFunction SetExitWindowsFunction(ExitWindowsFunction function)
{
    ExitWindowsFunction previous = g_exitWindows;
    g_exitWindows = function ? function : ExitWindowsEx;
    return previous;
}
