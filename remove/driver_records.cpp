// Filling m_infRecords at the start of a removal pass: the installed devices
// that carry the signature value with their children, or the INF files of a
// driver package matched to present devices.
#include <algorithm>
#include <cstring>

#include "app/setup_engine.h"
#include "platform/cfgmgr_bind.h"
#include "platform/handles.h"
#include "platform/reg_key.h"
#include "platform/setupapi_bind.h"
#include "remove/removal_support.h"

namespace {
const DWORD INF_TEXT_BYTES = 512;
const DWORD SIGNATURE_BYTES = 200;
const DWORD INF_NAME_BYTES = 200;
const DWORD DEVICE_HARDWARE_ID_BYTES = 256;
const DWORD SNAPSHOT_HARDWARE_ID_BYTES = 512;
const ULONG DEVICE_ID_CHARS = 256;
const DWORD DRIVER_VALUE_BYTES = 256;

// The value fields of an INF line, or false when they do not fit the buffer.
bool ReadLineText(INFCONTEXT& line, CString& text)
{
    char buffer[INF_TEXT_BYTES + 1] = {0};
    if (!setupapi::SetupGetLineTextA(&line, nullptr, nullptr, nullptr, buffer, INF_TEXT_BYTES, nullptr)) return false;
    text = buffer;
    return true;
}

bool SectionHasLines(HINF inf, const char* section)
{
    INFCONTEXT line;
    return setupapi::SetupFindFirstLineA(inf, section, nullptr, &line) != FALSE;
}

// The first [Manufacturer] line that names a section with lines; false when a
// line cannot be read or none names such a section.
bool FindModelsSection(HINF inf, CString& section)
{
    INFCONTEXT line;
    if (!setupapi::SetupFindFirstLineA(inf, "Manufacturer", nullptr, &line)) return false;
    do {
        CString text;
        if (!ReadLineText(line, text)) return false;
        if (SectionHasLines(inf, text)) {
            section = text;
            return true;
        }
    } while (setupapi::SetupFindNextLine(&line, &line));
    return false;
}

bool StartsWith(const CString& text, const CString& prefix)
{
    return text.GetLength() >= prefix.GetLength() &&
           std::strncmp(text.c_str(), prefix.c_str(), static_cast<size_t>(prefix.GetLength())) == 0;
}

// An empty entry (a models line ending in its comma) would begin every
// identifier and bind the package to whatever device comes first.
bool EntryMatches(const CString& hardwareId, const CString& entry)
{
    return !entry.IsEmpty() && StartsWith(hardwareId, entry);
}

bool MatchesAnyEntry(const CString& hardwareId, const DriverInfRecord& record)
{
    for (const CString& entry : record.hardwareIds)
        if (EntryMatches(hardwareId, entry)) return true;
    return false;
}

bool EnumDevice(DWORD index, SP_DEVINFO_DATA& device)
{
    std::memset(&device, 0, sizeof(device));
    device.cbSize = sizeof(SP_DEVINFO_DATA);
    return setupapi::SetupDiEnumDeviceInfo(g_hDevInfo, index, &device) != FALSE;
}

bool FindDeviceByDevInst(DEVINST devInst, SP_DEVINFO_DATA& device)
{
    for (DWORD index = 0; EnumDevice(index, device); ++index)
        if (device.DevInst == devInst) return true;
    return false;
}

// The first child of a device node. The output starts out as the parent itself:
// a configuration manager that reports success without writing a child (Wine's
// stub does) then gives no child instead of whatever the variable held.
bool FirstChildOf(DEVINST parent, DEVINST& child)
{
    child = parent;
    if (cfgmgr::CM_Get_Child(&child, parent, 0) != CR_SUCCESS) return false;
    return child != parent;
}

DriverInfRecord MakeDeviceRecord(const SP_DEVINFO_DATA& device, bool primary)
{
    DriverInfRecord record;
    record.devInfoData = device;
    record.isDevice = true;
    record.isPrimary = primary;
    return record;
}
}  // namespace

void CSetupEngine::ClearItems()
{
    m_infRecords.clear();
    m_restartNeeded = 0;
}

void CSetupEngine::SnapshotHardwareIds()
{
    SP_DEVINFO_DATA device;
    for (DWORD index = 0; EnumDevice(index, device); ++index) {
        CString hardwareId;
        if (ReadFirstHardwareId(device, SNAPSHOT_HARDWARE_ID_BYTES, hardwareId))
            m_presentHardwareIds.push_back(hardwareId.MakeUpper());
    }
}

void CSetupEngine::FindSignedDevices()
{
    SP_DEVINFO_DATA device;
    for (DWORD index = 0; EnumDevice(index, device); ++index) {
        DevRegKey driverKey = OpenDeviceDriverKey(device, KEY_READ);
        if (!driverKey) continue;
        CString signature;
        if (!ReadBoundedValue(driverKey, "VXSignature", SIGNATURE_BYTES, signature)) continue;
        DriverInfRecord record = MakeDeviceRecord(device, true);
        record.signature = signature;
        ReadDeviceDetails(record);
        m_infRecords.push_back(record);
    }
}

void CSetupEngine::FindChildDevices(int keepDevices)
{
    // Indexed, because children appended here are walked too.
    for (size_t at = 0; at < m_infRecords.size(); ++at) {
        DEVINST childInst = 0;
        if (!FirstChildOf(m_infRecords[at].devInfoData.DevInst, childInst)) continue;
        bool listed = std::any_of(m_infRecords.begin(), m_infRecords.end(), [&](const DriverInfRecord& record) {
            return record.devInfoData.DevInst == childInst;
        });
        if (listed) continue;
        SP_DEVINFO_DATA child;
        if (!FindDeviceByDevInst(childInst, child)) continue;

        DriverInfRecord record = MakeDeviceRecord(child, false);
        ReadDeviceDetails(record);
        if (keepDevices)
            RemoveDevice(record);  // the parents stay for the installation; their children go now
        else
            m_infRecords.push_back(record);
    }
}

bool CSetupEngine::LoadPackageInfs(const CString& folder)
{
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA(folder + "*.INF", &entry));
    if (!search) return false;
    do {
        DriverInfRecord record;
        ReadInfIdentity(record, folder + entry.cFileName);
        m_infRecords.push_back(record);
    } while (FindNextFileA(search, &entry));
    return true;
}

void CSetupEngine::BindPackageItems()
{
    SP_DEVINFO_DATA device;
    for (DWORD index = 0; EnumDevice(index, device); ++index) {
        CString hardwareId;
        if (!ReadFirstHardwareId(device, SNAPSHOT_HARDWARE_ID_BYTES, hardwareId)) continue;
        hardwareId.MakeUpper();
        for (DriverInfRecord& record : m_infRecords) {
            if (record.isDevice || !MatchesAnyEntry(hardwareId, record)) continue;
            record.devInfoData = device;
            record.isDevice = true;
            ReadDeviceDetails(record);
        }
    }
}

void CSetupEngine::CompleteHardwareIds()
{
    for (const CString& present : m_presentHardwareIds) {
        for (DriverInfRecord& record : m_infRecords) {
            if (record.isDevice) continue;
            for (const CString& entry : record.hardwareIds) {
                if (!EntryMatches(present, entry)) continue;
                if (record.hardwareId.IsEmpty() || present.GetLength() < record.hardwareId.GetLength())
                    record.hardwareId = present;
            }
        }
    }
}

void CSetupEngine::ReadInfIdentity(DriverInfRecord& record, const CString& infPath)
{
    InfHandle inf(setupapi::SetupOpenInfFileA(infPath, nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) return;
    CString modelsSection;
    if (!FindModelsSection(inf, modelsSection)) return;

    record.modelsSection = modelsSection;
    record.hardwareIds.clear();
    INFCONTEXT line;
    bool more = setupapi::SetupFindFirstLineA(inf, modelsSection, nullptr, &line) != FALSE;
    for (; more; more = setupapi::SetupFindNextLine(&line, &line) != FALSE) {
        CString text;
        if (!ReadLineText(line, text)) continue;
        text.MakeUpper();
        // "install section,hardware id[,...]": the last line with a section decides it.
        int comma = text.Find(',');
        if (comma > 0) {
            record.installSection = text.Left(comma);
            record.hardwareIds.push_back(text.Mid(comma + 1));
        } else {
            record.hardwareIds.push_back(text);
        }
    }
    record.infPath = infPath;
    record.infPath.MakeUpper();
}

void CSetupEngine::ReadDeviceDetails(DriverInfRecord& record)
{
    // 1. The identity of the INF that installed the device, where it can still be read.
    if (DevRegKey driverKey = OpenDeviceDriverKey(record.devInfoData, KEY_READ)) {
        CString infName;
        if (ReadBoundedValue(driverKey, "InfPath", INF_NAME_BYTES, infName)) {
            ReadInfIdentity(record, g_windowsDir + "\\inf\\" + infName);
            if (record.infPath.IsEmpty()) ReadInfIdentity(record, g_windowsDir + "\\inf\\other\\" + infName);
        }
    }

    // 2. The identifier the device reports first.
    record.hardwareId.Empty();
    ReadFirstHardwareId(record.devInfoData, DEVICE_HARDWARE_ID_BYTES, record.hardwareId);

    // 3. The instance identifier names the enumeration key.
    char instanceId[DEVICE_ID_CHARS + 1] = {0};
    if (cfgmgr::CM_Get_Device_IDA(record.devInfoData.DevInst, instanceId, DEVICE_ID_CHARS, 0) != CR_SUCCESS) return;
    // An empty identifier would name the whole enumeration tree, which removal deletes.
    if (instanceId[0] == '\0') return;

    // 4. Its enumeration key, by the family's registry layout.
    record.enumKeyPath = CString(IsWin9x() ? "ENUM" : "SYSTEM\\CurrentControlSet\\Enum") + "\\" + instanceId;

    // 5. Its "Driver" value names the driver key below the class tree.
    CRegKeyHolder enumKey;
    if (enumKey.Open(HKEY_LOCAL_MACHINE, record.enumKeyPath, KEY_READ) != ERROR_SUCCESS) return;
    CString driver;
    // An empty value would name the whole class tree, which removal deletes.
    if (!ReadBoundedValue(enumKey, "Driver", DRIVER_VALUE_BYTES, driver) || driver.IsEmpty()) return;
    record.driverKeyPath =
        CString(IsWin9x() ? "SYSTEM\\CurrentControlSet\\Services\\Class" : "SYSTEM\\CurrentControlSet\\Control\\Class") +
        "\\" + driver;
}
