#include "source_folder.h"

#include <windows.h>

#include <cstring>

#include "app/os_class.h"
#include "inf/inf_file.h"
#include "platform/handles.h"

namespace {

// Where "zorirav.ini" names this Windows family's folder, and the tag its INF carries.
struct VersionLocation {
    const char* key;
    const char* tag;
};

VersionLocation LocationOfRunningWindows()
{
    if (IsWinMe()) return {"WinMe_location", "ME"};
    if (IsWin95Or98()) return {"Win98_location", "9X"};
    if (IsNt4()) return {"WinNT4_location", "NT"};
    return {"WinXP_location", "2K"};
}

// The location fragment, relative to the base folder; empty when not configured.
CString ReadConfiguredLocation(const CString& baseFolder, const char* key)
{
    char value[100] = {0};
    GetPrivateProfileStringA("os_locations", key, "", value, sizeof(value), baseFolder + "zorirav.ini");
    return CString(value);
}

bool IsSearchableSubfolder(const WIN32_FIND_DATAA& entry)
{
    // A leading full stop skips "." and ".." and folders meant to stay hidden.
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && entry.cFileName[0] != '.';
}

// True when an INF file directly in the folder carries the tag; the first one ends the listing.
bool FolderHoldsSignedInf(const CString& folder, const CString& tag)
{
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA(folder + "*.inf", &entry));
    if (!search) return false;
    do {
        if (InfHasSignature(folder + entry.cFileName, tag)) return true;
    } while (FindNextFileA(search, &entry));
    return false;
}

}  // namespace

bool InfHasSignature(const CString& infPath, const CString& tag)
{
    CInfFile inf(infPath);
    inf.Load();  // an unreadable file simply has no sections
    char value[128] = {0};
    if (!inf.GetValue("Strings", "*Signature", value, sizeof(value), nullptr, 0, nullptr)) return false;
    UpperCaseAscii(value);
    return std::strstr(value, tag) != nullptr;
}

void FindSignedInfFolder(const CString& folder, const CString& tag, CString& result)
{
    if (FolderHoldsSignedInf(folder, tag)) {
        result = folder;
        return;
    }

    // Every subfolder is searched; a later match overwrites an earlier one.
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA(folder + "*.*", &entry));
    if (!search) return;
    do {
        if (IsSearchableSubfolder(entry)) FindSignedInfFolder(folder + entry.cFileName + "\\", tag, result);
    } while (FindNextFileA(search, &entry));
}

CString ChooseVersionSourceFolder(const CString& baseFolder)
{
    VersionLocation location = LocationOfRunningWindows();

    // The location is appended as written; a missing backslash makes it a name prefix.
    CString folder = baseFolder + ReadConfiguredLocation(baseFolder, location.key);

    CString signedFolder;
    FindSignedInfFolder(folder, location.tag, signedFolder);
    if (!signedFolder.IsEmpty()) folder = signedFolder;

    if (folder.Last() != '\\') folder += "\\";
    return folder;
}
