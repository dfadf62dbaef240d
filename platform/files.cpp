#include "files.h"

#include <windows.h>

#include "platform/handles.h"

namespace {
bool StartProcess(const char* commandLine, KernelHandle& process)
{
    // CreateProcessA may write into the command line, so it gets its own copy.
    CString writable(commandLine ? commandLine : "");
    std::string buffer = writable.str();
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &buffer[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &info))
        return false;
    KernelHandle thread(info.hThread);
    process.Reset(info.hProcess);
    return true;
}
}  // namespace

bool RunAndWait(const char* commandLine)
{
    KernelHandle process;
    if (!StartProcess(commandLine, process)) return false;
    return WaitForSingleObject(process, 20000) == WAIT_OBJECT_0;
}

bool RunToEnd(const char* commandLine)
{
    KernelHandle process;
    if (!StartProcess(commandLine, process)) return false;
    WaitForSingleObject(process, INFINITE);
    return true;
}

void CreateDirectoryPath(const char* path)
{
    if (!path) return;
    CString text(path);
    for (int at = text.Find('\\'); at >= 0; at = text.Find('\\', at + 1))
        CreateDirectoryA(text.Left(at), nullptr);
    CreateDirectoryA(text, nullptr);
}

CString FileNamePart(const char* path)
{
    CString text(path ? path : "");
    int slash = text.ReverseFind('\\');
    return slash >= 0 ? text.Mid(slash + 1) : text;
}

bool DeleteDirectoryTree(const char* folder, bool keepFolders)
{
    CString base(folder ? folder : "");
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA(base + "\\*.*", &entry));
    if (search) {
        do {
            CString child = base + "\\" + entry.cFileName;
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA(child);
            else if (entry.cFileName[0] != '.')
                DeleteDirectoryTree(child, keepFolders);
        } while (FindNextFileA(search, &entry));
    }
    search.Reset();
    if (keepFolders) return true;
    return RemoveDirectoryA(base) != FALSE;
}
