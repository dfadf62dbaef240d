// Registry keys an installation leaves: device keys, the wave entry of a child
// device on Windows 9x, the Unimodem response table, uninstall entries and the
// key of the maker's component. Every failure is silent.
#include <cstring>

#include "app/setup_engine.h"
#include "platform/reg_key.h"
#include "platform/setupapi_bind.h"
#include "remove/removal_support.h"

namespace {
const char WAVE_KEY[] = "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\Wave";
const char RESPONSES_ROOT[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\";
const char UNINSTALL_ROOT[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char* const FIXED_PRODUCT_KEYS[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VXAMRMV",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VXAMRNTO",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VXAMRNTV",
    "SOFTWARE\\Quenzaric\\Tarvo",
};
const int WAVE_NAME_BYTES = 100;
const DWORD SOFTWARE_KEY_BYTES = 200;
const DWORD RESPONSES_NAME_BYTES = 260;

void DeleteTreeIfNamed(const CString& path)
{
    if (!path.IsEmpty()) DeleteMachineKeyTree(path);
}

// The wave subkey whose "SoftwareKey" names the driver key. The walk gives up
// at the first subkey without a readable "SoftwareKey".
bool FindWaveEntryOf(const CString& driverKeyPath, CString& entryPath)
{
    CRegKeyHolder waves;
    if (waves.Open(HKEY_LOCAL_MACHINE, WAVE_KEY, KEY_ALL_ACCESS) != ERROR_SUCCESS) return false;
    char name[WAVE_NAME_BYTES] = {0};
    for (DWORD index = 0; RegEnumKeyA(waves, index, name, sizeof(name)) == ERROR_SUCCESS; ++index) {
        CString path = CString(WAVE_KEY) + "\\" + name;
        CRegKeyHolder entry;
        if (entry.Open(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS) != ERROR_SUCCESS) continue;
        CString softwareKey;
        if (!ReadBoundedValue(entry, "SoftwareKey", SOFTWARE_KEY_BYTES, softwareKey)) return false;
        if (_stricmp(softwareKey, driverKeyPath) == 0) {
            entryPath = path;
            return true;
        }
    }
    return false;
}
}  // namespace

void CSetupEngine::DeleteDeviceKeys(const DriverInfRecord& record, DeviceKeyForm form)
{
    if (!record.isDevice) return;
    if (form == KEYS_NT) {
        DeleteTreeIfNamed(record.driverKeyPath);
        return;
    }
    // Windows 9x: SetupAPI first; the stored paths only when it cannot.
    SP_DEVINFO_DATA device = record.devInfoData;
    if (setupapi::SetupDiDeleteDevRegKey(g_hDevInfo, &device, DICS_FLAG_GLOBAL, 0, DIREG_BOTH)) return;
    DeleteTreeIfNamed(record.driverKeyPath);
    DeleteTreeIfNamed(record.enumKeyPath);
}

void CSetupEngine::DeleteWaveEntry(const DriverInfRecord& record)
{
    // Only a child device (the modem's wave function) has a wave entry. Without
    // a driver key path it has none to find: an empty path would match any
    // entry with an empty "SoftwareKey" and delete another driver's entry.
    if (record.isPrimary || record.driverKeyPath.IsEmpty()) return;
    CString entryPath;
    if (FindWaveEntryOf(record.driverKeyPath, entryPath)) DeleteMachineKeyTree(entryPath);
}

void CSetupEngine::DeleteResponsesKey(const DriverInfRecord& record)
{
    if (!record.isDevice) return;
    DevRegKey driverKey = OpenDeviceDriverKey(record.devInfoData, KEY_ALL_ACCESS);
    if (!driverKey) return;
    CString responsesName;
    if (!ReadBoundedValue(driverKey, "ResponsesKeyName", RESPONSES_NAME_BYTES, responsesName)) return;
    // An empty name would make the path the parent of every modem's responses.
    if (responsesName.IsEmpty()) return;
    DeleteMachineKeyTree(CString(RESPONSES_ROOT) + responsesName);
}

void CSetupEngine::DeleteUninstallEntries()
{
    CRegKeyHolder machine;
    if (machine.Open(HKEY_LOCAL_MACHINE, "", KEY_ALL_ACCESS) == ERROR_SUCCESS) {
        for (const char* path : FIXED_PRODUCT_KEYS) machine.DeleteSubtree(path);
    }
    machine.Close();
    // One entry per signature, also when the machine key could not be opened above.
    for (const DriverInfRecord& record : m_infRecords)
        if (!record.signature.IsEmpty()) DeleteMachineKeyTree(CString(UNINSTALL_ROOT) + record.signature);
}
