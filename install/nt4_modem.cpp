// Windows NT 4.0 cannot find the modem controller by itself: the program
// creates the device in the root of the device tree, installs the package's
// files, services and driver settings for it, lists it with the NT 4.0 modem
// service and moves its response strings into the shared Unimodem key.
#include <cstdio>
#include <cstring>

#include "app/setup_engine.h"
#include "framework/msgbox.h"
#include "install/oem_preinstall.h"
#include "platform/ext_lib.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/reg_key.h"
#include "platform/setupapi_bind.h"
#include "remove/removal_support.h"

namespace {
const char MODEM_CLASS_NAME[] = "MODEM";
const char DEVICE_ENUMERATOR[] = "Root\\PCI&VEN_8086&DEV_2416";
const char DEVICE_INSTANCE_ID[] = "ROOT\\PCI&VEN_8086&DEV_2416\\0000";
const char DEVICE_DESCRIPTION[] = "New Adapter";
const char DEVICE_HARDWARE_ID[] = "pci\\ven_8086&dev_2416";
const char DEVICE_SERVICE[] = "Modem";
const char FILES_SECTION[] = "Modem1";
const char FILES_SECTION_EXT[] = ".NT";
const char DRIVER_SECTION[] = "MODEM1.NT";
const char SERVICES_SECTION[] = "MODEM1.NT.SERVICES";
const char MODEM_LIST_KEY[] = "System\\CurrentControlSet\\Services\\Modem\\Enum";
const char RESPONSES_ROOT[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\";
const char RESPONSES_SUBKEY[] = "Responses";

const DWORD VALUE_BYTES = 260;
const DWORD RESPONSE_NAME_CHARS = 100;
const DWORD RESPONSE_DATA_BYTES = 100;

// A key this file creates with RegCreateKeyExA / RegCreateKeyA.
using CreatedKey = ScopedHandle<RegKeyTraits>;

CreatedKey CreateMachineKey(const char* path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return CreatedKey();
    return CreatedKey(key);
}

// The string values of the driver key are written without their terminating
// zero, as the NT 4.0 modem installation of the package expects them.
void SetTextWithoutTerminator(HKEY key, const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(std::strlen(text)));
}

void SetText(HKEY key, const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

void SetNumber(HKEY key, const char* name, DWORD number)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
}

DWORD ReadNumberOrZero(HKEY key, const char* name)
{
    DWORD number = 0;
    DWORD size = sizeof(number);
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS ||
        size != sizeof(number))
        return 0;
    return number;
}

CString ReadTextOrEmpty(HKEY key, const char* name)
{
    CString text;
    if (!ReadBoundedValue(key, name, VALUE_BYTES, text)) return CString();
    return text;
}

CString Decimal(DWORD number)
{
    CString text;
    text.Format("%lu", static_cast<unsigned long>(number));
    return text;
}

// Lists the device with the NT 4.0 modem service unless an entry names it already.
void AddToModemList()
{
    CreatedKey list = CreateMachineKey(MODEM_LIST_KEY);
    if (!list) return;
    DWORD count = ReadNumberOrZero(list, "Count");
    DWORD next = ReadNumberOrZero(list, "NextInstance");
    for (DWORD entry = 0; entry < next; ++entry) {
        CString listed;
        if (!ReadBoundedValue(list, Decimal(entry), VALUE_BYTES, listed)) continue;
        if (listed.MakeUpper() == DEVICE_INSTANCE_ID) return;
    }
    SetText(list, Decimal(next), DEVICE_INSTANCE_ID);
    SetNumber(list, "Count", count + 1);
    SetNumber(list, "NextInstance", next + 1);
}

// Copies the values of the driver key's "Responses" into the shared key; the
// first value whose name or data does not fit the buffers ends the copy.
void CopyResponseValues(HKEY driverKey, HKEY target)
{
    CRegKeyHolder source;
    if (source.Open(driverKey, RESPONSES_SUBKEY, KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    char name[RESPONSE_NAME_CHARS];
    BYTE data[RESPONSE_DATA_BYTES];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof(name);
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(source, index, name, &nameLength, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        RegSetValueExA(target, name, 0, type, data, dataSize);
    }
}

// Deletes the driver key's "Responses" with its subkeys; a subkey that cannot
// be deleted leaves "Responses" in place.
void DeleteResponsesOfDriverKey(HKEY driverKey)
{
    CRegKeyHolder responses;
    if (responses.Open(driverKey, RESPONSES_SUBKEY, KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY) != ERROR_SUCCESS)
        return;
    for (;;) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(responses, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (responses.DeleteSubtree(name) != ERROR_SUCCESS) return;
    }
    responses.Close();
    RegDeleteKeyA(driverKey, RESPONSES_SUBKEY);
}

// SetupDiClassGuidsFromNameA succeeds with no GUID at all for a class name
// the system does not know; that is no class to create the device in.
bool ResolveModemClass(GUID& classGuid)
{
    DWORD found = 0;
    if (!setupapi::SetupDiClassGuidsFromNameA(MODEM_CLASS_NAME, &classGuid, 1, &found)) return false;
    if (found == 0) {
        SetLastError(ERROR_INVALID_CLASS);
        return false;
    }
    return true;
}

bool SetDeviceProperty(HDEVINFO devs, SP_DEVINFO_DATA& device, DWORD property, const void* data, DWORD size)
{
    return setupapi::SetupDiSetDeviceRegistryPropertyA(devs, &device, property, static_cast<const BYTE*>(data),
                                                        size) != FALSE;
}

// The three device properties; the result is the last-error code that the
// third write leaves.
DWORD WriteDeviceProperties(HDEVINFO devs, SP_DEVINFO_DATA& device)
{
    char hardwareIds[sizeof(DEVICE_HARDWARE_ID) + 1] = {0};  // the id, its zero and the list's zero
    std::memcpy(hardwareIds, DEVICE_HARDWARE_ID, sizeof(DEVICE_HARDWARE_ID));
    SetDeviceProperty(devs, device, SPDRP_HARDWAREID, hardwareIds, sizeof(hardwareIds));
    DWORD configFlags = 0;
    SetDeviceProperty(devs, device, SPDRP_CONFIGFLAGS, &configFlags, sizeof(configFlags));
    SetDeviceProperty(devs, device, SPDRP_SERVICE, DEVICE_SERVICE, sizeof(DEVICE_SERVICE) - 1);
    return GetLastError();
}

// The driver key of the new device: the package's registry section, where the
// driver came from, and the response strings moved to the shared key.
void InstallDriverKey(CSetupEngine& engine, HWND owner, HINF inf, HDEVINFO devs, SP_DEVINFO_DATA& device,
                      const CString& infPath)
{
    DevRegKey driverKey(setupapi::SetupDiCreateDevRegKeyA(devs, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr,
                                                          nullptr));
    if (!driverKey) return;
    setupapi::SetupInstallFromInfSectionA(owner, inf, DRIVER_SECTION, SPINST_REGISTRY, driverKey, nullptr, 0,
                                          nullptr, nullptr, nullptr, nullptr);
    SetTextWithoutTerminator(driverKey, "InfPath", FileNamePart(infPath));
    SetTextWithoutTerminator(driverKey, "InfSection", FILES_SECTION);
    SetTextWithoutTerminator(driverKey, "InfSectionExt", FILES_SECTION_EXT);
    engine.PublishModemResponses(driverKey);
}

// Files, INF, services, driver key and modem list of the created device.
void InstallPackageForDevice(CSetupEngine& engine, HWND owner, HDEVINFO devs, SP_DEVINFO_DATA& device,
                             const CString& infPath, const CString& source)
{
    InstallInfSectionFiles(infPath, source, FILES_SECTION);
    CopyFileA(infPath, g_windowsDir + "\\INF\\" + FileNamePart(infPath), FALSE);

    InfHandle inf(setupapi::SetupOpenInfFileA(infPath, nullptr, INF_STYLE_WIN4, nullptr));
    if (!inf) return;
    setupapi::SetupInstallServicesFromInfSectionA(inf, SERVICES_SECTION, 0);
    InstallDriverKey(engine, owner, inf, devs, device, infPath);
    inf.Reset();

    AddToModemList();
}

// Steps on the registered device whose failure removes it again; true when
// all of them worked, else err holds the failing step's last-error code.
bool PrepareDriverList(HWND owner, HDEVINFO devs, SP_DEVINFO_DATA& device, const CString& infPath, DWORD& err)
{
    if (!setupapi::SetupDiRegisterDeviceInfo(devs, &device, 0, nullptr, nullptr, nullptr)) {
        err = GetLastError();
        ShowErrorBox("Error 0x%X in SetupDiRegisterDeviceInfo", err);
        return false;
    }
    SP_DEVINSTALL_PARAMS_A params;
    std::memset(&params, 0, sizeof(params));
    params.cbSize = sizeof(params);
    if (!setupapi::SetupDiGetDeviceInstallParamsA(devs, &device, &params)) {
        err = GetLastError();
        ShowErrorBox("Error 0x%X in SetupDiGetDeviceInstallParams", err);
        return false;
    }
    params.Flags = DI_FORCECOPY | DI_QUIETINSTALL | DI_ENUMSINGLEINF;
    params.FlagsEx = DI_FLAGSEX_AUTOSELECTRANK0;
    params.hwndParent = owner;
    // A path that does not fit the record is not cut short to another path.
    bool pathFits = infPath.GetLength() < static_cast<int>(sizeof(params.DriverPath));
    if (pathFits) std::memcpy(params.DriverPath, infPath.c_str(), static_cast<size_t>(infPath.GetLength()) + 1);
    else SetLastError(ERROR_FILENAME_EXCED_RANGE);
    if (!pathFits || !setupapi::SetupDiSetDeviceInstallParamsA(devs, &device, &params)) {
        err = GetLastError();
        ShowErrorBox("Error 0x%X in SetupDiSetDeviceInstallParams", err);
        return false;
    }
    if (!setupapi::SetupDiBuildDriverInfoList(devs, &device, SPDIT_COMPATDRIVER)) {
        err = GetLastError();
        ShowErrorBox("Error 0x%X in SetupDiBuildDriverInfoList", err);
        return false;
    }
    return true;
}
}  // namespace

void ShowErrorBox(const char* format, unsigned long number)
{
    CString text;
    text.Format(format ? format : "", static_cast<unsigned int>(number));
    ShowMessageBox(nullptr, text, "Error", MB_OK);
}

CString CSetupEngine::FirstPackageInfPath() const
{
    return m_infRecords.empty() ? CString() : m_infRecords.front().infPath;
}

SetupResult CSetupEngine::InstallNt4Modem(const CString& source)
{
    ClearItems();
    LoadPackageInfs(source);
    const CString infPath = FirstPackageInfPath();
    if (infPath.IsEmpty()) return SETUP_FAILED;

    HWND owner = GetActiveWindow();
    DWORD err = 0;
    GUID classGuid = {};
    // A failing step whose last-error code is 0 shows its box and counts as
    // done: the code, not the call's result, decides.
    if (!ResolveModemClass(classGuid)) {
        err = GetLastError();
        ShowErrorBox("Error 0x%X in SetupDiClassGuidsFromName", err);
    } else {
        DevInfoList devs(setupapi::SetupDiGetClassDevsA(&classGuid, DEVICE_ENUMERATOR, owner, DIGCF_PRESENT));
        if (!devs) devs.Reset(setupapi::SetupDiCreateDeviceInfoList(&classGuid, owner));
        if (!devs) {
            err = GetLastError();
            ShowErrorBox("Error 0x%X in SetupDiGetClassDevs", err);
        } else {
            SP_DEVINFO_DATA device;
            std::memset(&device, 0, sizeof(device));
            device.cbSize = sizeof(device);
            device.ClassGuid = classGuid;
            bool created = setupapi::SetupDiCreateDeviceInfoA(devs, DEVICE_INSTANCE_ID, &classGuid,
                                                              DEVICE_DESCRIPTION, owner, DICD_INHERIT_CLASSDRVS,
                                                              &device) != FALSE;
            if (!created) {
                // The device is there from an earlier run: take it out of the
                // list and create it afresh.
                if (!setupapi::SetupDiOpenDeviceInfoA(devs, DEVICE_INSTANCE_ID, owner, 0, &device)) {
                    err = GetLastError();
                    ShowErrorBox("Error 0x%X in SetupDiOpenDeviceInfo", err);
                } else {
                    setupapi::SetupDiDeleteDeviceInfo(devs, &device);
                    created = setupapi::SetupDiCreateDeviceInfoA(devs, DEVICE_INSTANCE_ID, &classGuid,
                                                                 DEVICE_DESCRIPTION, owner, DICD_INHERIT_CLASSDRVS,
                                                                 &device) != FALSE;
                    if (!created) {
                        err = GetLastError();
                        ShowErrorBox("Error 0x%X in SetupDiCreateDeviceInfo", err);
                    }
                }
            }
            if (created) {
                if (PrepareDriverList(owner, devs, device, infPath, err)) {
                    InstallPackageForDevice(*this, owner, devs, device, infPath, source);
                    err = WriteDeviceProperties(devs, device);
                } else if (err != 0) {
                    ShowErrorBox("Trying to remove the created device", 0);
                    if (!setupapi::SetupDiRemoveDevice(devs, &device))
                        ShowErrorBox("Error 0x%X in SetupDiRemoveDevice", GetLastError());
                } else {
                    err = WriteDeviceProperties(devs, device);
                }
            }
        }
    }
    if (err != 0) return SETUP_FAILED;
    VXAddExtra(0, 0, "", 0);
    return SETUP_RESTART;
}

void CSetupEngine::PublishModemResponses(HKEY driverKey)
{
    const CString responsesName = ReadTextOrEmpty(driverKey, "DriverDesc") + "::" +
                                  ReadTextOrEmpty(driverKey, "Manufacturer") + "::" +
                                  ReadTextOrEmpty(driverKey, "ProviderName");
    SetText(driverKey, "ResponsesKeyName", responsesName);

    const CString sharedPath = CString(RESPONSES_ROOT) + responsesName;
    if (CreatedKey shared = CreateMachineKey(sharedPath)) SetNumber(shared, "RefCount", 1);

    HKEY created = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, sharedPath + "\\" + RESPONSES_SUBKEY, &created) == ERROR_SUCCESS) {
        CreatedKey target(created);
        CopyResponseValues(driverKey, target);
    }
    DeleteResponsesOfDriverKey(driverKey);
}
