#include "platform/pending_rename.h"

#include <windows.h>

#include <memory>
#include <new>
#include <string>

#include "app/os_class.h"
#include "inf/inf_file.h"
#include "platform/handles.h"
#include "platform/reg_key.h"

namespace {
const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";
const char kRenameSection[] = "rename";

// NT store: the registry value that the session manager carries out at start.
bool LoadNtStore(PendingOperationList& list)
{
    CRegKeyHolder key;
    if (key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    RegQueryValueExA(key, kPendingValue, nullptr, nullptr, nullptr, &size);
    if (size == 0) return true;  // no value, or an empty one
    std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[size]);
    if (!data) return false;
    // The second answer is the size of the ANSI text actually returned, which
    // may be less than the first (Windows may report the wide size first).
    if (RegQueryValueExA(key, kPendingValue, nullptr, nullptr, data.get(), &size) != ERROR_SUCCESS) return false;
    DecodePendingRenameData(data.get(), size, list);
    return true;
}

bool SaveNtStore(const PendingOperationList& list)
{
    {
        CRegKeyHolder key;
        if (key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_WRITE) != ERROR_SUCCESS) return false;
        RegDeleteValueA(key, kPendingValue);
    }
    // Windows writes each operation back with its own prefixes; a failed call
    // loses that entry, which is not reported.
    for (int index = 0; index < list.Count(); ++index) {
        const char* target = list.TargetAt(index);
        MoveFileExA(list.SourceAt(index), *target ? target : nullptr,
                    MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING);
    }
    return true;
}

// 9x store: [rename] of wininit.ini in the Windows directory.
std::string WininitPath()
{
    if (g_windowsDir.IsEmpty()) ReadWindowsDirectory();
    return g_windowsDir.str() + "\\wininit.ini";
}

bool LoadWin9xStore(PendingOperationList& list)
{
    CInfFile wininit(WininitPath().c_str());
    wininit.Load();  // a missing file reads as an empty list
    int lines = wininit.GetLineCount(kRenameSection);
    for (int index = 0; index < lines; ++index) {
        char line[kRenameLineBuffer];
        int length = static_cast<int>(sizeof(line));
        if (!wininit.GetLine(kRenameSection, index, line, &length)) continue;  // too long to read
        std::string target, source;
        if (ParseRenameLine(line, target, source)) list.Add(source.c_str(), target.c_str());
    }
    return true;
}

bool SaveWin9xStore(const PendingOperationList& list)
{
    CInfFile wininit(WininitPath().c_str());
    wininit.Load();
    wininit.ClearSection(kRenameSection);
    for (int index = 0; index < list.Count(); ++index)
        wininit.AddLine(kRenameSection, FormatRenameLine(list.SourceAt(index), list.TargetAt(index)).c_str());
    wininit.Save();  // a failed write is not reported
    return true;
}
}  // namespace

bool CPendingRenameList::Load()
{
    Clear();
    return IsWin9x() ? LoadWin9xStore(*this) : LoadNtStore(*this);
}

bool CPendingRenameList::Save() const
{
    return IsWin9x() ? SaveWin9xStore(*this) : SaveNtStore(*this);
}

bool ScheduleDeleteAtReboot(const char* path)
{
    if (!path) return false;
    CancelPendingOperations(path, PENDING_ALL);
    CPendingRenameList list;
    if (!list.Load()) return false;
    list.Add(path, "");
    return list.Save();
}

bool CancelPendingOperations(const char* path, int kinds)
{
    if (!path) return false;
    CPendingRenameList list;
    if (!list.Load()) return false;
    bool removed = false;
    int kind = 0;
    for (int index = list.FindFor(path, 0, &kind); index >= 0; index = list.FindFor(path, index, &kind)) {
        if (kind & kinds) {
            list.RemoveAt(index);
            removed = true;
        } else {
            ++index;
        }
    }
    if (removed) list.Save();
    return removed;
}

bool DeleteFileOrSchedule(const char* path)
{
    if (!path) return false;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (DeleteFileA(path)) return true;
    if (!PathExists(path)) return false;  // nothing there to delete
    return ScheduleDeleteAtReboot(path);
}

bool PathExists(const char* path)
{
    if (!path) return false;
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA(path, &entry));
    return search.IsValid();
}
