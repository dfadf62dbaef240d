// A configuration manager for Wine machines (tests and the demo machine; never
// part of setup.exe). Wine's own answers CM_Locate_DevNodeA and
// CM_Reenumerate_DevNode with a failure and CM_Get_Child with success without
// a child. Wine has no device tree and no bus to enumerate again, so this one
// says what such a machine has:
//   CM_Locate_DevNodeA   the root (no identifier) is node 0; an identifier is
//                        looked up by SetupAPI;
//   CM_Reenumerate_DevNode  does the bus's and Plug and Play's part of a
//                        re-enumeration. Wine has no PCI bus: the machine lists
//                        the hardware it has under the machine key
//                        "Software\WineMachine\Bus", one REG_MULTI_SZ value per
//                        device (name = instance id; data = class GUID, then the
//                        hardware ids), and a listed device that is not
//                        registered (removed by a driver removal) is found again.
//                        Then every present device that has no driver yet (its
//                        driver key has no "InfPath") gets the best compatible
//                        driver of the Windows INF folder, as Windows 98 and Me
//                        set up a modem from a pre-installed INF. Files are
//                        not copied (the INF's files are in place by then) and
//                        co-installers are not registered.
//                        Succeeds. Each call is appended as "reenumerate <node>
//                        <flags>", each device set up as "installed <instance
//                        id>", to the file that CFGMGR_FILL_LOG names, if set;
//   CM_Get_Child         no device has children;
//   CM_Get_Device_IDA    SetupAPI's own.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/env_log.h"

namespace {
using DevInst = DWORD;
using ConfigRet = DWORD;
const ConfigRet CR_SUCCESS_ = 0x00;
const ConfigRet CR_INVALID_POINTER_ = 0x03;
const ConfigRet CR_NO_SUCH_DEVNODE_ = 0x0D;
const ConfigRet CR_FAILURE_ = 0x13;
const DevInst ROOT_NODE = 0;

FARPROC SetupApiExport(const char* name)
{
    static HMODULE setupApi = LoadLibraryA("setupapi.dll");
    return setupApi ? GetProcAddress(setupApi, name) : nullptr;
}

template <typename Function>
Function SetupApiFunction(const char* name)
{
    FARPROC entry = SetupApiExport(name);
    Function function = nullptr;
    static_assert(sizeof(function) == sizeof(entry), "function pointer sizes differ");
    std::memcpy(&function, &entry, sizeof(function));
    return function;
}

void AppendToLog(const std::string& line)
{
    AppendToFileNamedBy("CFGMGR_FILL_LOG", line);
}

bool HasDriver(HDEVINFO devices, SP_DEVINFO_DATA& device)
{
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return false;
    bool has = RegQueryValueExA(key, "InfPath", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return has;
}

bool InstallBestDriver(HDEVINFO devices, SP_DEVINFO_DATA& device)
{
    SP_DEVINSTALL_PARAMS_A params;
    std::memset(&params, 0, sizeof(params));
    params.cbSize = sizeof(params);
    if (!SetupDiGetDeviceInstallParamsA(devices, &device, &params)) return false;
    params.Flags |= DI_QUIETINSTALL | DI_NOFILECOPY;
    if (!SetupDiSetDeviceInstallParamsA(devices, &device, &params)) return false;
    if (!SetupDiBuildDriverInfoList(devices, &device, SPDIT_COMPATDRIVER)) return false;
    if (!SetupDiCallClassInstaller(DIF_SELECTBESTCOMPATDRV, devices, &device)) return false;
    // No DIF_REGISTER_COINSTALLERS: Wine copies co-installer files then even
    // with DI_NOFILECOPY, from the folder of the INF's source disk, and loops
    // for ever when they are not there (an INF copied into the INF folder).
    return SetupDiCallClassInstaller(DIF_INSTALLDEVICE, devices, &device) != FALSE;
}

const char BUS_KEY[] = "Software\\WineMachine\\Bus";

// The strings of a REG_MULTI_SZ value, in order.
int SplitMultiString(const char* data, DWORD size, const char* strings[], int most)
{
    int count = 0;
    for (DWORD at = 0; at < size && data[at] && count < most; at += static_cast<DWORD>(std::strlen(data + at)) + 1)
        strings[count++] = data + at;
    return count;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
bool ParseGuid(const char* text, GUID& guid)
{
    unsigned long data1 = 0;
    unsigned int data2 = 0, data3 = 0, bytes[8] = {0};
    int fields = std::sscanf(text, "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &data1, &data2, &data3, &bytes[0],
                             &bytes[1], &bytes[2], &bytes[3], &bytes[4], &bytes[5], &bytes[6], &bytes[7]);
    if (fields != 11) return false;
    guid.Data1 = data1;
    guid.Data2 = static_cast<unsigned short>(data2);
    guid.Data3 = static_cast<unsigned short>(data3);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(bytes[i]);
    return true;
}

void FindDevice(const char* instanceId, const char* hardwareIds, DWORD size)
{
    const char* strings[2] = {nullptr, nullptr};
    if (SplitMultiString(hardwareIds, size, strings, 2) < 2) return;
    GUID deviceClass;
    if (!ParseGuid(strings[0], deviceClass)) return;

    HDEVINFO devices = SetupDiCreateDeviceInfoList(&deviceClass, nullptr);
    if (devices == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device;
    std::memset(&device, 0, sizeof(device));
    device.cbSize = sizeof(device);
    const char* idList = strings[1];
    DWORD idListSize = size - static_cast<DWORD>(idList - hardwareIds);
    if (SetupDiCreateDeviceInfoA(devices, instanceId, &deviceClass, nullptr, nullptr, 0, &device) &&
        SetupDiSetDeviceRegistryPropertyA(devices, &device, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(idList),
                                          idListSize) &&
        SetupDiRegisterDeviceInfo(devices, &device, 0, nullptr, nullptr, nullptr)) {
        AppendToLog(std::string("found ") + instanceId + "\r\n");
    }
    SetupDiDestroyDeviceInfoList(devices);
}

bool IsRegistered(const char* instanceId)
{
    HDEVINFO devices = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (devices == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA device;
    std::memset(&device, 0, sizeof(device));
    device.cbSize = sizeof(device);
    bool registered = SetupDiOpenDeviceInfoA(devices, instanceId, nullptr, 0, &device) != FALSE;
    SetupDiDestroyDeviceInfoList(devices);
    return registered;
}

void FindListedHardware()
{
    HKEY bus = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, BUS_KEY, 0, KEY_READ, &bus) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        char name[256] = {0};
        char data[1024] = {0};
        DWORD nameSize = sizeof(name);
        DWORD dataSize = sizeof(data) - 2;  // room for the closing NULs
        DWORD type = 0;
        LONG status = RegEnumValueA(bus, index, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                    &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_MULTI_SZ || IsRegistered(name)) continue;
        FindDevice(name, data, dataSize + 2);
    }
    RegCloseKey(bus);
}

void InstallDriverlessDevices()
{
    HDEVINFO devices = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device;
    for (DWORD index = 0;; ++index) {
        std::memset(&device, 0, sizeof(device));
        device.cbSize = sizeof(device);
        if (!SetupDiEnumDeviceInfo(devices, index, &device)) break;
        if (HasDriver(devices, device) || !InstallBestDriver(devices, device)) continue;
        char id[201] = {0};
        if (SetupDiGetDeviceInstanceIdA(devices, &device, id, sizeof(id), nullptr))
            AppendToLog(std::string("installed ") + id + "\r\n");
    }
    SetupDiDestroyDeviceInfoList(devices);
}
}  // namespace

extern "C" __declspec(dllexport) ConfigRet WINAPI CM_Locate_DevNodeA(DevInst* node, char* id, ULONG flags)
{
    if (!node) return CR_INVALID_POINTER_;
    if (!id || !*id) {
        *node = ROOT_NODE;
        return CR_SUCCESS_;
    }
    using Locate = ConfigRet(WINAPI*)(DevInst*, char*, ULONG);
    Locate locate = SetupApiFunction<Locate>("CM_Locate_DevNodeA");
    return locate ? locate(node, id, flags) : CR_FAILURE_;
}

extern "C" __declspec(dllexport) ConfigRet WINAPI CM_Reenumerate_DevNode(DevInst node, ULONG flags)
{
    AppendToLog("reenumerate " + std::to_string(node) + " " + std::to_string(flags) + "\r\n");
    FindListedHardware();
    InstallDriverlessDevices();
    return CR_SUCCESS_;
}

extern "C" __declspec(dllexport) ConfigRet WINAPI CM_Get_Child(DevInst* child, DevInst, ULONG)
{
    if (!child) return CR_INVALID_POINTER_;
    return CR_NO_SUCH_DEVNODE_;
}

extern "C" __declspec(dllexport) ConfigRet WINAPI CM_Get_Device_IDA(DevInst node, char* buffer, ULONG length,
                                                                    ULONG flags)
{
    using GetId = ConfigRet(WINAPI*)(DevInst, char*, ULONG, ULONG);
    GetId getId = SetupApiFunction<GetId>("CM_Get_Device_IDA");
    return getId ? getId(node, buffer, length, flags) : CR_FAILURE_;
}
