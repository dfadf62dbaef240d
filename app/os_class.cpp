#include "os_class.h"

#include <cstring>

namespace {
OSVERSIONINFOA UnreadVersionRecord()
{
    OSVERSIONINFOA record;
    std::memset(&record, 0xFF, sizeof(record));
    return record;
}

const OSVERSIONINFOA& Version()
{
    if (g_osVersion.dwPlatformId == static_cast<DWORD>(-1)) ReadVersionRecord();
    return g_osVersion;
}

DWORD BuildMajor() { return (Version().dwBuildNumber >> 24) & 0xFF; }
DWORD BuildMinor() { return (Version().dwBuildNumber >> 16) & 0xFF; }
}  // namespace

OSVERSIONINFOA g_osVersion = UnreadVersionRecord();
CString g_windowsDir;

void ReadVersionRecord()
{
    g_osVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    GetVersionExA(&g_osVersion);
}

void ReadWindowsDirectory()
{
    char folder[MAX_PATH] = {0};
    UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
    g_windowsDir = (length > 0 && length < sizeof(folder)) ? CString(folder) : CString();
}

bool IsWin9x() { return Version().dwPlatformId == VER_PLATFORM_WIN32_WINDOWS; }
bool IsNt() { return Version().dwPlatformId == VER_PLATFORM_WIN32_NT; }
bool IsNt4() { return IsNt() && g_osVersion.dwMajorVersion == 4; }
bool IsWin98() { return IsWin9x() && g_osVersion.dwMajorVersion == 4 && g_osVersion.dwMinorVersion == 10; }
bool IsWinMe() { return IsWin9x() && BuildMajor() == 4 && BuildMinor() == 90; }
bool IsWin95Or98() { return IsWin9x() && BuildMajor() == 4 && BuildMinor() < 90; }
