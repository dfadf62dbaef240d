// Pre-installation of a package INF as an OEM INF: catalog, adjusted INF copy,
// section files and the OEM copy in the Windows INF folder.
#include "install/oem_preinstall.h"

#include <cstdio>
#include <cstring>

#include "app/setup_engine.h"
#include "framework/msgbox.h"
#include "framework/winapp.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/pending_rename.h"
#include "platform/setupapi_bind.h"
#include "remove/driver_record.h"

namespace {
// Appended to the install section, in this order.
const char* const INSTALL_SECTION_SUFFIXES[] = {"", ".nt", ".nt.Coinstallers"};
// A smaller catalog file is a placeholder, not a signed catalog.
const DWORD MIN_CATALOG_SIZE = 200;
// Line texts of INF files read through SetupAPI.
const DWORD INF_LINE_BUFFER = 512;
// Lines of the adjusted INF: a longer line is carried over as several.
const int ADJUST_LINE_BUFFER = 256;
const int ADJUST_LINE_CHARS = 254;
// What a copy error is always reported as.
const DWORD REPORTED_COPY_ERROR = ERROR_FILE_NOT_FOUND;

// Text that FormatMessageA allocated.
struct LocalTextTraits {
    using Handle = char*;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { LocalFree(h); }
};
using LocalText = ScopedHandle<LocalTextTraits>;

// A catalog name is only ever a file name of the package folder: a value with
// a folder part or wildcards would reach files outside it, and would be
// copied outside the catalog folder.
bool IsPlainFileName(const CString& name)
{
    return !name.IsEmpty() && std::strpbrk(name, "\\/:*?") == nullptr;
}

// Size of source + name (low 32 bits), 0 when there is no such file.
DWORD CatalogSize(const CString& source, const CString& name)
{
    if (!IsPlainFileName(name)) return 0;
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA(source + name, &entry));
    if (!search) return 0;
    return entry.nFileSizeLow;
}

// One line of at most ADJUST_LINE_CHARS characters into a zero-filled buffer.
bool ReadAdjustLine(char (&line)[ADJUST_LINE_BUFFER], FILE* file)
{
    std::memset(line, 0, sizeof(line));
    return std::fgets(line, ADJUST_LINE_CHARS + 1, file) != nullptr;
}
}  // namespace

bool DriverInfRecord::PreinstallOemInf(const CString& source)
{
    if (infPath.IsEmpty()) return true;

    CString catalogName = GetCatalogFileName(infPath);
    DWORD catalogSize = catalogName.IsEmpty() ? 0 : CatalogSize(source, catalogName);
    bool hasCatalog = catalogSize >= MIN_CATALOG_SIZE;

    if (IsWin9x() && hasCatalog) {
        CString catalogFolder = g_windowsDir + "\\inf\\Catalog";
        CreateDirectoryA(catalogFolder, nullptr);  // an existing folder is fine
        CopyFileA(source + catalogName, catalogFolder + "\\" + catalogName, FALSE);
    }

    // A signed INF must stay as signed where the system checks the catalog
    // (Me, 2000, XP); elsewhere the models section is led by this modem's id.
    CString chosenInf;
    if (hardwareId.IsEmpty() || (hasCatalog && !IsWin95Or98()))
        chosenInf = infPath;
    else
        chosenInf = WriteAdjustedInf();

    InstallInfSectionFiles(chosenInf, source, installSection);

    char oemInf[MAX_PATH] = {0};
    if (!setupapi::SetupCopyOEMInfA(chosenInf, source, SPOST_PATH, 0, oemInf, sizeof(oemInf), nullptr, nullptr))
        return false;
    oemInf[sizeof(oemInf) - 1] = '\0';

    // Windows 95 and Me learn the catalog of an OEM INF from this tool; its
    // outcome changes nothing here.
    if (IsWin9x() && hasCatalog && !IsWin98())
        RunAndWait(g_windowsDir + "\\system\\sucatreg.exe /i:" + oemInf);
    return true;
}

CString DriverInfRecord::WriteAdjustedInf() const
{
    CString header = "[" + modelsSection + "]";

    char tempFolder[MAX_PATH] = {0};
    char tempFile[MAX_PATH] = {0};
    DWORD folderLength = GetTempPathA(sizeof(tempFolder), tempFolder);
    if (folderLength == 0 || folderLength >= sizeof(tempFolder)) return CString();
    if (GetTempFileNameA(tempFolder, "VXT", 0, tempFile) == 0) return CString();
    tempFile[sizeof(tempFile) - 1] = '\0';

    StdioFile in(std::fopen(infPath, "rt"));
    if (!in) return tempFile;
    StdioFile out(std::fopen(tempFile, "wt"));
    if (!out) return tempFile;

    bool inserted = false;
    char line[ADJUST_LINE_BUFFER];
    while (ReadAdjustLine(line, in)) {
        // Windows 98 would check the catalog against the changed INF.
        if (!(_strnicmp(line, "catalog", 7) == 0 && IsWin98())) std::fputs(line, out);

        if (inserted || hardwareId.IsEmpty() || _strnicmp(line, header, header.GetLength()) != 0) continue;
        char next[ADJUST_LINE_BUFFER];
        if (!ReadAdjustLine(next, in)) break;
        const char* equals = std::strchr(next, '=');
        if (equals && equals > next) {
            CString name(next, static_cast<size_t>(equals - next));
            std::fprintf(out, "%s=%s,%s\n", name.c_str(), installSection.c_str(), hardwareId.c_str());
        }
        inserted = true;
        std::fputs(next, out);
    }
    return tempFile;
}

void InstallInfSectionFiles(const CString& infPath, const CString& source, const CString& section)
{
    FileQueue queue(setupapi::SetupOpenFileQueue());
    if (!queue) return;
    InfHandle inf(setupapi::SetupOpenInfFileA(infPath, nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) return;

    for (const char* suffix : INSTALL_SECTION_SUFFIXES)
        setupapi::SetupInstallFilesFromInfSectionA(inf, nullptr, queue, section + suffix, source,
                                                   SP_COPY_FORCE_NOOVERWRITE);

    // The callback hands every notification to the default one, which cannot
    // run without its context.
    QueueContext context(setupapi::SetupInitDefaultQueueCallback(nullptr));
    if (!context) return;
    setupapi::SetupCommitFileQueueA(nullptr, queue, CopyQueueCallback, context);
}

UINT CALLBACK CopyQueueCallback(PVOID context, UINT notification, UINT_PTR first, UINT_PTR second)
{
    const FILEPATHS_A* paths = reinterpret_cast<const FILEPATHS_A*>(first);
    switch (notification) {
    case SPFILENOTIFY_STARTCOPY: {
        if (!paths || !paths->Target) break;
        bool sourceMissing = !paths->Source || GetFileAttributesA(paths->Source) == INVALID_FILE_ATTRIBUTES;
        if (IsProtectedFile(paths->Target) || sourceMissing) break;
        // A deletion or rename planned by an earlier removal would undo this copy.
        CancelPendingOperations(paths->Target, PENDING_ALL);
        setupapi::SetupDefaultQueueCallbackA(context, notification, first, second);
        return FILEOP_DOIT;
    }
    case SPFILENOTIFY_COPYERROR: {
        // Every copy error is told as a missing file, whatever the cause.
        char* buffer = nullptr;
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, REPORTED_COPY_ERROR,
                       LANG_USER_DEFAULT, reinterpret_cast<char*>(&buffer), 0, nullptr);
        LocalText text(buffer);
        if (!text) return FILEOP_ABORT;
        CString message;
        message.Format("%s (%s)", text.Get(), paths && paths->Source ? paths->Source : "");
        ShowMessageBox(nullptr, message, ApplicationTitle(), MB_ICONERROR);
        return FILEOP_ABORT;  // the rest of the queue is not copied
    }
    default:
        break;
    }
    return setupapi::SetupDefaultQueueCallbackA(context, notification, first, second);
}

CString GetCatalogFileName(const CString& infPath)
{
    return ReadInfLineText(infPath, "VERSION", "CatalogFile");
}

CString ReadInfLineText(const CString& infPath, const char* section, const char* key)
{
    InfHandle inf(setupapi::SetupOpenInfFileA(infPath, nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) return CString();
    INFCONTEXT line;
    if (!setupapi::SetupFindFirstLineA(inf, section, key, &line)) return CString();
    char text[INF_LINE_BUFFER] = {0};
    if (!setupapi::SetupGetLineTextA(&line, nullptr, nullptr, nullptr, text, sizeof(text), nullptr)) return CString();
    text[sizeof(text) - 1] = '\0';
    return text;
}
