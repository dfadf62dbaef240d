#include "platform/command_set.h"

#include "platform/files.h"
#include "platform/reg_key.h"

namespace {
const char kPlaceholder[] = "%WINDIR%";
const int kPlaceholderLength = 8;

int FindIgnoringCase(const std::string& text, const char* what, size_t from)
{
    size_t length = std::strlen(what);
    for (size_t at = from; at + length <= text.size(); ++at) {
        size_t i = 0;
        while (i < length) {
            unsigned char a = static_cast<unsigned char>(text[at + i]), b = static_cast<unsigned char>(what[i]);
            if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 'a' + 'A');
            if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 'a' + 'A');
            if (a != b) break;
            ++i;
        }
        if (i == length) return static_cast<int>(at);
    }
    return -1;
}

// The "Path" value of a command subkey, or false when it is missing or does
// not fit the 260-byte buffer.
bool ReadCommandPath(HKEY parent, const char* name, std::string& path)
{
    CRegKeyHolder command;
    if (command.Open(parent, name, KEY_ALL_ACCESS) != ERROR_SUCCESS) return false;
    char buffer[MAX_PATH + 1] = {0};  // one spare byte: the data need not end in a NUL
    DWORD size = MAX_PATH;
    if (RegQueryValueExA(command, "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return false;
    buffer[size] = '\0';
    path = buffer;
    return true;
}
}  // namespace

CCommandSet::CCommandSet()
{
    char folder[MAX_PATH] = {0};
    UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
    if (length > 0 && length < sizeof(folder)) m_windowsDirectory = folder;
}

LONG CCommandSet::LoadFromKey(HKEY key)
{
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH];
        DWORD length = sizeof(name);
        LONG result = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) return result;
        std::string path;
        if (!ReadCommandPath(key, name, path)) continue;
        // emplace keeps the command already stored under the name.
        m_commands.emplace(name, ExpandWindowsDirectory(CString(path), m_windowsDirectory));
    }
}

void CCommandSet::RunAll() const
{
    for (const auto& command : m_commands) RunToEnd(command.second);
}

CString ExpandWindowsDirectory(const CString& text, const CString& windowsDirectory)
{
    std::string expanded = text.str();
    const std::string& folder = windowsDirectory.str();
    // Searching again from the start finds occurrences that the replacement
    // completes; a folder that itself holds the placeholder would never end
    // that way, so then the search goes on after the inserted folder.
    bool folderHoldsPlaceholder = FindIgnoringCase(folder, kPlaceholder, 0) >= 0;
    size_t from = 0;
    for (int at = FindIgnoringCase(expanded, kPlaceholder, 0); at >= 0;
         at = FindIgnoringCase(expanded, kPlaceholder, from)) {
        expanded.replace(static_cast<size_t>(at), kPlaceholderLength, folder);
        from = folderHoldsPlaceholder ? static_cast<size_t>(at) + folder.size() : 0;
    }
    return CString(expanded);
}
