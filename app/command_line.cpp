#include "command_line.h"

#include <windows.h>

#include <cstring>

bool IsUsageRequest(const char* commandLine)
{
    if (!commandLine) return false;
    return commandLine[0] == '?' || (commandLine[0] == '/' && commandLine[1] == '?');
}

namespace {
// Cuts `length` characters at `at`, moving the rest and its terminator down.
void CutAt(char* at, size_t length)
{
    std::memmove(at, at + length, std::strlen(at + length) + 1);
}
}  // namespace

bool TakeSwitch(char* commandLine, const char* word)
{
    if (!commandLine || !word) return false;
    CString withBlank = CString(" /") + word;
    if (char* found = std::strstr(commandLine, withBlank)) {
        CutAt(found, static_cast<size_t>(withBlank.GetLength()));
        return true;
    }
    CString withSlash = CString("/") + word;
    if (char* found = std::strstr(commandLine, withSlash)) {
        CutAt(found, static_cast<size_t>(withSlash.GetLength()));
        return true;
    }
    return false;
}

namespace {
// Index of the last occurrence of c, stepping over double-byte characters.
int LastCharacter(const CString& text, char c)
{
    int last = -1;
    for (const char* p = text.c_str(); *p; p = CharNextA(p))
        if (*p == c) last = static_cast<int>(p - text.c_str());
    return last;
}
}  // namespace

CString FolderOfPath(const CString& path)
{
    CString folder;
    int backslash = LastCharacter(path, '\\');
    if (backslash >= 0) {
        folder = path.Left(backslash + 1);
    } else {
        int colon = LastCharacter(path, ':');
        if (colon >= 0) folder = path.Left(colon + 1) + "\\";
    }
    if (!folder.IsEmpty() && folder.GetAt(0) == '"') folder = folder.Mid(1);
    return folder;
}
