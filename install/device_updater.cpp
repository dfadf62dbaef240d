#include "install/device_updater.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/cstring.h"
#include "platform/setupapi_bind.h"

namespace {
// Copies text with its terminator when it fits into size bytes; otherwise
// leaves the buffer empty and returns false.
bool CopyIfFits(char* buffer, size_t size, const char* text)
{
    if (size == 0) return false;
    size_t length = std::strlen(text);
    if (length >= size) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, text, length + 1);
    return true;
}

// The file name and extension of a path: what follows the last separator,
// taking "/" and ":" as separators too, as the C runtime's path splitting does.
const char* NameAfterFolder(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
    return name;
}

// The decimal number at the start of text, read as atoi reads it, but kept
// within the range in which one more is still an int.
int LeadingNumber(const char* text)
{
    long value = std::strtol(text, nullptr, 10);
    if (value >= INT_MAX) return INT_MAX - 1;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}
}  // namespace

CDeviceUpdater::CDeviceUpdater(const char* search, const char* infPath)
{
    std::memset(&m_device, 0, sizeof(m_device));
    m_device.cbSize = sizeof(SP_DEVINFO_DATA);
    SetInfPath(infPath);
    std::memset(m_hardwareId, 0, sizeof(m_hardwareId));
    if (search) FindDevice(search);
}

CDeviceUpdater::~CDeviceUpdater() = default;  // the list holder destroys the device list

void CDeviceUpdater::SetInfPath(const char* path)
{
    std::memset(m_infPath, 0, sizeof(m_infPath));
    std::memset(m_infFolder, 0, sizeof(m_infFolder));
    if (!path || !CopyIfFits(m_infPath, sizeof(m_infPath), path)) return;

    // Drive and folder, as path splitting gives them: up to and including
    // the last separator, or just "X:" for a drive-relative name.
    size_t folderLength = static_cast<size_t>(NameAfterFolder(m_infPath) - m_infPath);
    if (folderLength == 0 && m_infPath[0] && m_infPath[1] == ':') folderLength = 2;
    std::memcpy(m_infFolder, m_infPath, folderLength);
}

int CDeviceUpdater::FindDevice(const char* search)
{
    if (!m_found && search) {
        m_needsRestart = 0;
        m_hDevList.Reset(setupapi::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
        for (DWORD index = 0; m_hDevList.IsValid(); ++index) {
            m_device.cbSize = sizeof(SP_DEVINFO_DATA);
            if (!setupapi::SetupDiEnumDeviceInfo(m_hDevList, index, &m_device)) break;
            char ids[200];
            std::memset(ids, 0, sizeof(ids));
            if (!setupapi::SetupDiGetDeviceRegistryPropertyA(m_hDevList, &m_device, SPDRP_HARDWAREID, nullptr,
                                                             reinterpret_cast<BYTE*>(ids), sizeof(ids), nullptr)) {
                if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
                continue;  // no list, or one longer than the buffer
            }
            if (strnlen(ids, sizeof(ids)) >= sizeof(ids) || !std::strstr(ids, search)) continue;
            CopyIfFits(m_hardwareId, sizeof(m_hardwareId), ids);
            m_found = 1;
            m_everFound = 1;
            break;
        }
    }
    if (!m_found) {
        ReleaseDevice();
        // A search text too long to hold could never have been found either.
        std::memset(m_hardwareId, 0, sizeof(m_hardwareId));
        if (search) CopyIfFits(m_hardwareId, sizeof(m_hardwareId), search);
    }
    return m_found;
}

void CDeviceUpdater::ReleaseDevice()
{
    m_hDevList.Reset();
    std::memset(&m_device, 0, sizeof(m_device));
    m_device.cbSize = sizeof(SP_DEVINFO_DATA);
    m_found = 0;
}

bool CDeviceUpdater::GetInfClassGuid(GUID& guid)
{
    char className[32];
    return setupapi::SetupDiGetINFClassA(m_infPath, &guid, className, sizeof(className), nullptr) != FALSE;
}

bool CDeviceUpdater::FormatGuid(const GUID& guid, char* buffer, size_t size)
{
    if (!buffer || size < 40) return false;
    int written = std::snprintf(buffer, size, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                                static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                                guid.Data4[6], guid.Data4[7]);
    return written > 0 && static_cast<size_t>(written) < size;
}

int CDeviceUpdater::UpdateDriver()
{
    if (!m_found || !m_infPath[0]) return 0;

    GUID classGuid;
    if (!GetInfClassGuid(classGuid)) return 0;
    char guidText[128];
    if (!FormatGuid(classGuid, guidText, sizeof(guidText))) return 0;
    // The device joins the class the INF names before its drivers are listed.
    if (!setupapi::SetupDiSetDeviceRegistryPropertyA(m_hDevList, &m_device, SPDRP_CLASSGUID,
                                                     reinterpret_cast<const BYTE*>(guidText),
                                                     static_cast<DWORD>(std::strlen(guidText) + 1)))
        return 0;

    SP_DEVINSTALL_PARAMS_A params;
    std::memset(&params, 0, sizeof(params));
    params.cbSize = sizeof(SP_DEVINSTALL_PARAMS_A);
    setupapi::SetupDiGetDeviceInstallParamsA(m_hDevList, &m_device, &params);
    CopyIfFits(params.DriverPath, sizeof(params.DriverPath), m_infPath);
    params.Flags |= DI_ENUMSINGLEINF | DI_QUIETINSTALL | DI_NOFILECOPY;
    params.FlagsEx |= DI_FLAGSEX_AUTOSELECTRANK0;

    CopyInfAsOem();
    int result = CopySectionFiles() ? 1 : 0;

    if (!setupapi::SetupDiSetDeviceInstallParamsA(m_hDevList, &m_device, &params)) return result;
    if (!setupapi::SetupDiBuildDriverInfoList(m_hDevList, &m_device, SPDIT_COMPATDRIVER)) return result;

    result = 0;
    for (DWORD index = 0; !result; ++index) {
        SP_DRVINFO_DATA_V2_A driver;
        std::memset(&driver, 0, sizeof(driver));
        driver.cbSize = sizeof(SP_DRVINFO_DATA_V2_A);
        if (!SetupDiEnumDriverInfoA(m_hDevList, &m_device, SPDIT_COMPATDRIVER, index, &driver)) break;
        if (!SetupDiSetSelectedDevice(m_hDevList, &m_device)) continue;
        if (!SetupDiSetSelectedDriverA(m_hDevList, &m_device, &driver)) continue;

        setupapi::SetupDiCallClassInstaller(DIF_REGISTER_COINSTALLERS, m_hDevList, &m_device);
        setupapi::SetupDiCallClassInstaller(DIF_INSTALLDEVICE, m_hDevList, &m_device);

        SP_DEVINSTALL_PARAMS_A after;
        std::memset(&after, 0, sizeof(after));
        after.cbSize = sizeof(SP_DEVINSTALL_PARAMS_A);
        result = setupapi::SetupDiGetDeviceInstallParamsA(m_hDevList, &m_device, &after) ? 1 : 0;
        if (result && (after.Flags & (DI_NEEDRESTART | DI_NEEDREBOOT))) m_needsRestart = 1;
    }
    return result;
}

BOOL CDeviceUpdater::CopyInfAsOem()
{
    char folder[260];
    UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder)) return FALSE;
    const char* tail = folder[length - 1] == '\\' ? "INF\\" : "\\INF\\";
    size_t tailLength = std::strlen(tail);
    if (length + tailLength >= sizeof(folder)) return FALSE;
    std::memcpy(folder + length, tail, tailLength + 1);

    int highest = -1;
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((CString(folder) + "oem*.inf").c_str(), &found));
    if (search.IsValid()) {
        do {
            // Only the lower-case spelling counts, whatever the listing matched.
            const char* oem = std::strstr(found.cFileName, "oem");
            if (!oem) continue;
            int number = LeadingNumber(oem + 3);
            if (number > highest) highest = number;
        } while (FindNextFileA(search, &found));
    }

    char target[260];
    int written = std::snprintf(target, sizeof(target), "%soem%d.inf", folder, highest + 1);
    if (written <= 0 || static_cast<size_t>(written) >= sizeof(target)) return FALSE;
    return CopyFileA(m_infPath, target, FALSE);
}

int CDeviceUpdater::FindInstallSection(HINF inf, char* buffer, DWORD size)
{
    if (!m_everFound) return 0;

    const char manufacturer[] = "Manufacturer";
    LONG makers = SetupGetLineCountA(inf, manufacturer);
    for (LONG m = 0; m < makers; ++m) {
        INFCONTEXT makerLine;
        char models[1024];
        if (!SetupGetLineByIndexA(inf, manufacturer, static_cast<DWORD>(m), &makerLine)) continue;
        if (!setupapi::SetupGetLineTextA(&makerLine, nullptr, nullptr, nullptr, models, sizeof(models), nullptr))
            continue;

        LONG lines = SetupGetLineCountA(inf, models);
        for (LONG i = 0; i < lines; ++i) {
            INFCONTEXT modelLine;
            char text[1024];
            if (!SetupGetLineByIndexA(inf, models, static_cast<DWORD>(i), &modelLine)) continue;
            if (!setupapi::SetupGetLineTextA(&modelLine, nullptr, nullptr, nullptr, text, sizeof(text), nullptr))
                continue;
            char* comma = std::strchr(text, ',');
            if (!comma || !comma[1]) continue;
            *comma = '\0';
            char* identifiers = comma + 1;  // everything after the install section, further commas included

            UpperCaseAscii(m_hardwareId);
            UpperCaseAscii(identifiers);
            if (!std::strstr(m_hardwareId, identifiers)) continue;
            return SetupDiGetActualSectionToInstallA(inf, text, buffer, size, nullptr, nullptr) ? 1 : 0;
        }
    }
    return 0;
}

bool CDeviceUpdater::CopySectionFiles()
{
    InfHandle inf(setupapi::SetupOpenInfFileA(m_infPath, nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) return false;
    char section[256];
    if (!FindInstallSection(inf, section, sizeof(section))) return false;
    FileQueue queue(setupapi::SetupOpenFileQueue());
    if (!queue) return false;

    if (!setupapi::SetupInstallFilesFromInfSectionA(inf, nullptr, queue, section, nullptr, 0)) return false;
    const char suffix[] = ".Coinstallers";
    size_t sectionLength = strnlen(section, sizeof(section));
    if (sectionLength + sizeof(suffix) > sizeof(section)) return false;
    std::memcpy(section + sectionLength, suffix, sizeof(suffix));
    if (!setupapi::SetupInstallFilesFromInfSectionA(inf, nullptr, queue, section, nullptr, 0)) return false;

    // Nothing is committed: the scan visits each queued file once and the
    // callback copies it from the INF's folder.
    DWORD scanResult = 0;
    return setupapi::SetupScanFileQueueA(queue, SPQ_SCAN_USE_CALLBACK, nullptr, &CDeviceUpdater::QueueScanCallback,
                                         this, &scanResult) != FALSE;
}

UINT CALLBACK CDeviceUpdater::QueueScanCallback(PVOID context, UINT notification, UINT_PTR first, UINT_PTR second)
{
    if (notification != SPFILENOTIFY_QUEUESCAN)
        return setupapi::SetupDefaultQueueCallbackA(nullptr, notification, first, second);

    CDeviceUpdater* updater = static_cast<CDeviceUpdater*>(context);
    const char* target = reinterpret_cast<const char*>(first);
    if (!updater || !target) return NO_ERROR;
    // A file in use is copied at the next start (SPQ_DELAYED_COPY).
    if (second) updater->m_needsRestart = 1;
    CString source = CString(updater->m_infFolder) + NameAfterFolder(target);
    setupapi::SetupDecompressOrCopyFileA(source, target, nullptr);
    return NO_ERROR;
}
