// Restarting or shutting down Windows.
#pragma once

#include <windows.h>

// Enables the shutdown privilege on NT and calls ExitWindowsEx with the flags.
BOOL ShutdownWindows(UINT flags);

// Tests put a recorder here so that no test ends the session it runs in.
using ExitWindowsFunction = BOOL(WINAPI*)(UINT flags, DWORD reason);
ExitWindowsFunction SetExitWindowsFunction(ExitWindowsFunction function);
