#include "machine_folders.h"

#include <windows.h>

std::string WindowsFolder()
{
    char folder[MAX_PATH] = {0};
    UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
    return length > 0 && length < sizeof(folder) ? std::string(folder, length) : std::string("C:\\windows");
}

std::string SystemFolder()
{
    char folder[MAX_PATH] = {0};
    UINT length = GetSystemDirectoryA(folder, sizeof(folder));
    return length > 0 && length < sizeof(folder) ? std::string(folder, length) : WindowsFolder() + "\\system32";
}
