// Test and demo-machine support (never part of setup.exe): the stand-ins
// record what they were asked into a file that an environment variable names.
#pragma once

#include <windows.h>

#include <string>

// Appends text to the file the variable names. False when the variable is
// not set (or names no usable path); a file that cannot be opened is skipped.
inline bool AppendToFileNamedBy(const char* variable, const std::string& text)
{
    char path[MAX_PATH] = {0};
    DWORD length = GetEnvironmentVariableA(variable, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return false;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return true;
}
