// The running Windows version, read once, and the predicates that branch on it.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

// Every field reads all bits set until the record is filled; tests may store
// any version record here to play a given Windows.
extern OSVERSIONINFOA g_osVersion;
// The Windows directory as GetWindowsDirectoryA gives it (no trailing backslash).
extern CString g_windowsDir;

// Fills g_osVersion with GetVersionExA (always, whatever it held).
void ReadVersionRecord();
// Fills g_windowsDir.
void ReadWindowsDirectory();

bool IsWin9x();
bool IsNt();
bool IsNt4();
bool IsWin98();
bool IsWinMe();
bool IsWin95Or98();
