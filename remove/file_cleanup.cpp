// Files an installation copied: the driver files named by the record's install
// sections, the record's INF with its PNF, and every signed INF of the Windows
// inf folder. Files in use are left to the deletion at the next start.
#include <cstdio>
#include <cstring>

#include "app/setup_engine.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/pending_rename.h"
#include "platform/setupapi_bind.h"
#include "remove/removal_support.h"

namespace {
// Appended to the install section, in this order.
const char* const INSTALL_SECTION_SUFFIXES[] = {"", ".nt", ".nt.Coinstallers"};
// Windows' own modem files, which driver packages copy too.
const char* const PROTECTED_FILES[] = {"CCPORT.SYS", "WDMMDMLD.VXD"};
const char SIGNATURE_NAME[] = "VXSIGNATURE";
const int SIGNATURE_LINE_CHARS = 510;

// Called by SetupScanFileQueueA once per queued file with its target path.
UINT CALLBACK DeleteQueuedTarget(PVOID, UINT notification, UINT_PTR targetPath, UINT_PTR)
{
    if (notification != SPFILENOTIFY_QUEUESCAN || targetPath == 0) return NO_ERROR;
    const char* path = reinterpret_cast<const char*>(targetPath);
    if (!IsProtectedFile(path)) DeleteFileOrSchedule(path);
    return NO_ERROR;
}
}  // namespace

bool IsProtectedFile(const char* path)
{
    CString name = FileNamePart(path);
    name.MakeUpper();
    for (const char* protectedName : PROTECTED_FILES)
        if (name == protectedName) return true;
    return false;
}

bool InfMentionsSignature(const char* path)
{
    StdioFile file(std::fopen(path, "rt"));
    if (!file) return false;
    char line[SIGNATURE_LINE_CHARS + 1];
    // A longer line comes in pieces; each piece is tested on its own.
    while (std::fgets(line, sizeof(line), file)) {
        UpperCaseAscii(line);
        if (line[0] != '\0' && std::strstr(line, SIGNATURE_NAME)) return true;
    }
    return false;
}

void CSetupEngine::DeleteInstalledFiles(const DriverInfRecord& record)
{
    // Child devices keep their files; a record without INF names none.
    if (record.infPath.IsEmpty() || !record.isPrimary) return;
    FileQueue queue(setupapi::SetupOpenFileQueue());
    if (!queue) return;
    InfHandle inf(setupapi::SetupOpenInfFileA(record.infPath, nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) return;

    // Queued only to learn the targets: the queue is scanned, never committed.
    for (const char* suffix : INSTALL_SECTION_SUFFIXES) {
        CString section = record.installSection + suffix;
        setupapi::SetupInstallFilesFromInfSectionA(inf, nullptr, queue, section, nullptr, SP_COPY_FORCE_NOOVERWRITE);
    }
    DWORD scanResult = 0;
    setupapi::SetupScanFileQueueA(queue, SPQ_SCAN_USE_CALLBACK, nullptr, DeleteQueuedTarget, nullptr, &scanResult);
}

void CSetupEngine::DeleteInfAndPnf(const DriverInfRecord& record)
{
    if (!record.isPrimary || record.infPath.IsEmpty()) return;
    DeleteFileOrSchedule(record.infPath);
    DeleteFileOrSchedule(PnfCompanionOf(record.infPath));
}

void CSetupEngine::FindSignedInfs(const CString& folder)
{
    CString searched = folder;
    if (searched.IsEmpty()) {
        m_oemInfPaths.clear();
        searched = g_windowsDir + "\\inf\\";
    }

    WIN32_FIND_DATAA entry;
    {
        FindHandle infs(FindFirstFileA(searched + "*.inf", &entry));
        if (infs) {
            do {
                CString path = searched + entry.cFileName;
                if (InfMentionsSignature(path)) m_oemInfPaths.push_back(path);
            } while (FindNextFileA(infs, &entry));
        }
    }

    // Subfolders after the INF files of their parent, to any depth.
    FindHandle entries(FindFirstFileA(searched + "*.*", &entry));
    if (!entries) return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && entry.cFileName[0] != '.')
            FindSignedInfs(searched + entry.cFileName + "\\");
    } while (FindNextFileA(entries, &entry));
}

void CSetupEngine::DeleteSignedInfs()
{
    FindSignedInfs(CString());
    for (const CString& path : m_oemInfPaths) {
        // Deleted only when its identity can be read: an INF without a usable
        // [Manufacturer] section keeps an empty path.
        DriverInfRecord record;
        ReadInfIdentity(record, path);
        DeleteInfAndPnf(record);
    }
    m_oemInfPaths.clear();
}
