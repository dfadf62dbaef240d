// make-machine.exe [--earlier-install]
// make-machine.exe --plug-and-play
//
// Makes the demo machine in the current Wine prefix: the modem setup class and
// the PCI modem controller that setup.exe installs a driver for, as the PCI
// bus would report it (a device of the modem class with the full list of PCI
// hardware ids and no driver yet). With --earlier-install the modem also carries an earlier
// installation of the sample package, as the previous driver version would
// have left it: a driver key with the signature value, its INF below
// C:\windows\inf, its driver files, the kernel driver service, Pre and Post
// setup commands, a keep folder and an uninstall entry. Setup then has
// something to remove before it installs.
//
// --plug-and-play does what Plug and Play does when the machine starts: it has
// the machine's configuration manager enumerate the device tree again (start
// it with cfgmgr32 native, as setup.exe is).
//
// Exit code 0 when the machine is as asked (also when the modem was there
// already: then nothing is changed), 1 on a failure, 2 for a wrong command line.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "machine_folders.h"
#include "platform/handles.h"

namespace {
const GUID kModemClass = {0x4d36e96d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const char kModemClassText[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kInstanceId[] = "PCI\\VEN_8086&DEV_2416&SUBSYS_24168086&REV_01\\3&2411E6FE&0&F7";
const char kDeviceBase[] = "PCI\\VEN_8086&DEV_2416";
const char kSubsystem[] = "24168086";
const char kRevision[] = "01";
const char kControllerName[] = "PCI Simple Communications Controller";

// The earlier installation: the same product (signature) in its first version.
const char kSignature[] = "ZX2416_NT_2K";
const char kServiceName[] = "VXService";
const char kModemName[] = "ZX 2416 Sample Soft Modem";
const char kMaker[] = "ZX Sample Devices";
const char kEarlierDriverFile[] = "ZX2416.SYS";
const char kEarlierHelperFile[] = "ZX2416V1.DLL";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// REG_MULTI_SZ data of a list of strings.
std::string MultiString(const std::vector<std::string>& strings)
{
    std::string data;
    for (const std::string& s : strings) data.append(s).push_back('\0');
    data.push_back('\0');
    return data;
}

// The identifiers a PCI bus reports for one function, most specific first.
std::vector<std::string> PciHardwareIds()
{
    std::string base = kDeviceBase;
    return {base + "&SUBSYS_" + kSubsystem + "&REV_" + kRevision, base + "&SUBSYS_" + kSubsystem,
            base + "&REV_" + kRevision, base};
}

// Class code 07 03 00: a simple communications controller, generic modem.
std::vector<std::string> PciCompatibleIds()
{
    return {"PCI\\VEN_8086&CC_070300", "PCI\\VEN_8086&CC_0703", "PCI\\CC_070300", "PCI\\CC_0703"};
}

bool SetProperty(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property, const std::string& data)
{
    return SetupDiSetDeviceRegistryPropertyA(list, &device, property, reinterpret_cast<const BYTE*>(data.data()),
                                             static_cast<DWORD>(data.size())) != FALSE;
}

bool SetString(HKEY key, const char* name, const std::string& value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool SetMachineString(const std::string& path, const char* name, const std::string& value)
{
    HKEY created = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                        nullptr) != ERROR_SUCCESS)
        return false;
    DevRegKey key(created);
    return SetString(key, name, value);
}

bool WriteTextFile(const std::string& path, const std::string& content)
{
    StdioFile file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    return std::fwrite(content.data(), 1, content.size(), file) == content.size();
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The first name oem<n>.inf that is free in the INF folder.
std::string FreeOemInfName()
{
    std::string folder = WindowsFolder() + "\\inf\\";
    for (int number = 0; number < 10000; ++number) {
        std::string name = "oem" + std::to_string(number) + ".inf";
        if (!FileExists(folder + name)) return name;
    }
    return std::string();
}

// The earlier version's INF, as Windows keeps it below C:\windows\inf: what it
// copied, its service and the settings it wrote into the driver key.
std::string EarlierInfText()
{
    return "; ZX 2416 sample soft modem, first version (installed by make-machine).\r\n"
           "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
           "ClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}\r\nProvider=%ZxMaker%\r\n"
           "DriverVer=09/01/2002,1.0.0.0\r\n\r\n"
           "[Manufacturer]\r\n%ZxMaker%=ZxModels\r\n\r\n"
           "[ZxModels]\r\n%ZxModem%=MODEM1,PCI\\VEN_8086&DEV_2416\r\n\r\n"
           "[DestinationDirs]\r\nDefaultDestDir=11\r\nZxFiles.Drivers=12\r\nZxFiles.System=11\r\n\r\n"
           "[MODEM1]\r\nAddReg=ZxModem.AddReg\r\n\r\n"
           "[MODEM1.NT]\r\nCopyFiles=ZxFiles.Drivers,ZxFiles.System\r\nAddReg=ZxModem.AddReg\r\n\r\n"
           "[MODEM1.NT.Services]\r\nAddService=VXService,0x00000002,ZxService.Install\r\n\r\n"
           "[ZxFiles.Drivers]\r\nZX2416.SYS\r\n\r\n"
           "[ZxFiles.System]\r\nZX2416V1.DLL\r\n\r\n"
           "[ZxService.Install]\r\nServiceType=1\r\nStartType=3\r\nErrorControl=1\r\n"
           "ServiceBinary=%12%\\ZX2416.SYS\r\n\r\n"
           "[ZxModem.AddReg]\r\nHKR,,DriverDesc,,%ZxModem%\r\nHKR,,VXSignature,,%VXSignature%\r\n\r\n"
           "[Strings]\r\nZxMaker=\"ZX Sample Devices\"\r\nZxModem=\"ZX 2416 Sample Soft Modem\"\r\n"
           "VXSignature=\"ZX2416_NT_2K\"\r\n";
}

bool CreateKernelService(const std::string& binary)
{
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return false;
    ServiceHandle service(CreateServiceA(manager, kServiceName, "ZX 2416 sample modem driver", SERVICE_ALL_ACCESS,
                                         SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                         binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    return service.IsValid() || GetLastError() == ERROR_SERVICE_EXISTS;
}

// A Pre or Post setup command below the driver key, as the package's INF
// writes them; %WINDIR% is expanded by setup.exe when it runs the command.
bool AddSetupCommand(HKEY driverKey, const char* phase, const char* text)
{
    std::string path = std::string("HostBasedModemData\\Parameters\\Setup\\") + phase + "\\1";
    HKEY created = nullptr;
    if (RegCreateKeyExA(driverKey, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr) !=
        ERROR_SUCCESS)
        return false;
    DevRegKey command(created);
    return SetString(command, "Path",
                     std::string("%WINDIR%\\system32\\cmd.exe /c echo earlier ZX2416 ") + text +
                         ">>%WINDIR%\\Tarvo\\ZX2416-commands.log");
}

bool WriteDriverKey(HDEVINFO list, SP_DEVINFO_DATA& device, const std::string& infName)
{
    DevRegKey key(SetupDiCreateDevRegKeyA(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr));
    if (!key) return false;
    return SetString(key, "DriverDesc", kModemName) && SetString(key, "ProviderName", kMaker) &&
           SetString(key, "Manufacturer", kMaker) && SetString(key, "DriverVersion", "1.0.0.0") &&
           SetString(key, "DriverDate", "9-1-2002") && SetString(key, "InfPath", infName) &&
           SetString(key, "InfSection", "MODEM1") && SetString(key, "InfSectionExt", ".NT") &&
           SetString(key, "MatchingDeviceId", "PCI\\VEN_8086&DEV_2416") &&
           SetString(key, "VXSignature", kSignature) && AddSetupCommand(key, "Pre", "Pre command") &&
           AddSetupCommand(key, "Post", "Post command");
}

bool MakeEarlierInstallation(HDEVINFO list, SP_DEVINFO_DATA& device)
{
    std::string infName = FreeOemInfName();
    if (infName.empty()) return false;
    std::string infFolder = WindowsFolder() + "\\inf\\";
    std::string system = SystemFolder();
    std::string driver = system + "\\drivers\\" + kEarlierDriverFile;
    std::string keep = WindowsFolder() + "\\Tarvo\\" + kSignature;
    CreateDirectoryA((system + "\\drivers").c_str(), nullptr);
    CreateDirectoryA((WindowsFolder() + "\\Tarvo").c_str(), nullptr);
    CreateDirectoryA(keep.c_str(), nullptr);

    bool made = WriteTextFile(infFolder + infName, EarlierInfText()) &&
                WriteTextFile(infFolder + infName.substr(0, infName.size() - 3) + "pnf",
                              "Precompiled form of " + infName + " (placeholder)\r\n") &&
                WriteTextFile(driver, "ZX 2416 sample soft modem - kernel driver placeholder, version 1.0.\r\n") &&
                WriteTextFile(system + "\\" + kEarlierHelperFile,
                              "ZX 2416 sample soft modem - helper placeholder of version 1.0.\r\n") &&
                WriteTextFile(keep + "\\ZXNT.SCP",
                              "[General]\r\nVXSignature=ZX2416_NT_2K\r\nSource=ZXNT\r\nVersion=1.0\r\n") &&
                WriteDriverKey(list, device, infName) &&
                SetProperty(list, device, SPDRP_SERVICE, std::string(kServiceName) + '\0') &&
                SetProperty(list, device, SPDRP_DEVICEDESC, std::string(kModemName) + '\0') &&
                CreateKernelService("System32\\drivers\\" + std::string(kEarlierDriverFile)) &&
                SetMachineString(kUninstallKey + std::string(kSignature), "DisplayName",
                                 std::string(kModemName) + " 1.0") &&
                SetMachineString(kUninstallKey + std::string(kSignature), "UninstallString",
                                 "setup.exe /REMOVE");
    if (made)
        std::printf("make-machine: earlier installation %s: %s%s, %s, %s\\%s, service %s\n", kSignature,
                    infFolder.c_str(), infName.c_str(), driver.c_str(), system.c_str(), kEarlierHelperFile,
                    kServiceName);
    return made;
}

// The modem setup class, which every Windows has registered and a fresh Wine
// prefix lacks: SetupDiClassGuidsFromNameA("MODEM") finds no class without it.
bool RegisterModemClass()
{
    std::string path = std::string("SYSTEM\\CurrentControlSet\\Control\\Class\\") + kModemClassText;
    return SetMachineString(path, "", "Modems") && SetMachineString(path, "Class", "Modem");
}

// The machine's hardware list, which its configuration manager plays the PCI
// bus from (tools/cfgmgr_fill): a device that a removal took away is found
// again when the device tree is enumerated, as on a machine that still has
// the card plugged in. Value: the class GUID, then the hardware ids.
bool ListOnBus()
{
    std::vector<std::string> entry = PciHardwareIds();
    entry.insert(entry.begin(), kModemClassText);
    std::string data = MultiString(entry);
    HKEY bus = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\WineMachine\\Bus", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &bus,
                        nullptr) != ERROR_SUCCESS)
        return false;
    bool written = RegSetValueExA(bus, kInstanceId, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                  static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
    RegCloseKey(bus);
    return written;
}

int Usage()
{
    std::fprintf(stderr, "usage: make-machine.exe [--earlier-install] | --plug-and-play\n");
    return 2;
}

// What Plug and Play does when the machine starts: the device tree is
// enumerated again through the machine's configuration manager, which finds
// listed hardware that is not registered and sets up devices without a driver.
int PlugAndPlay()
{
    HMODULE cfgMgr = LoadLibraryA("cfgmgr32.dll");
    using Locate = DWORD(WINAPI*)(DWORD*, char*, ULONG);
    using Reenumerate = DWORD(WINAPI*)(DWORD, ULONG);
    FARPROC locateEntry = cfgMgr ? GetProcAddress(cfgMgr, "CM_Locate_DevNodeA") : nullptr;
    FARPROC reenumerateEntry = cfgMgr ? GetProcAddress(cfgMgr, "CM_Reenumerate_DevNode") : nullptr;
    Locate locate = nullptr;
    Reenumerate reenumerate = nullptr;
    std::memcpy(&locate, &locateEntry, sizeof(locate));
    std::memcpy(&reenumerate, &reenumerateEntry, sizeof(reenumerate));
    DWORD root = 0;
    bool done = locate && reenumerate && locate(&root, nullptr, 0) == 0 && reenumerate(root, 1) == 0;
    if (cfgMgr) FreeLibrary(cfgMgr);
    if (!done) {
        std::fprintf(stderr, "make-machine: the device tree could not be enumerated again\n");
        return 1;
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    bool earlierInstall = false;
    if (argc == 2 && std::strcmp(argv[1], "--plug-and-play") == 0) return PlugAndPlay();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--earlier-install") == 0)
            earlierInstall = true;
        else
            return Usage();
    }

    if (!RegisterModemClass() || !ListOnBus()) {
        std::fprintf(stderr, "make-machine: cannot register the modem class or list the modem on the bus\n");
        return 1;
    }
    DevInfoList list(SetupDiCreateDeviceInfoList(&kModemClass, nullptr));
    if (!list) {
        std::fprintf(stderr, "make-machine: no device list (error %lu)\n", GetLastError());
        return 1;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    if (!SetupDiCreateDeviceInfoA(list, kInstanceId, &kModemClass, kControllerName, nullptr, 0, &device)) {
        DWORD error = GetLastError();
        if (error == ERROR_DEVINST_ALREADY_EXISTS) {
            std::printf("make-machine: %s is there already; nothing changed\n", kInstanceId);
            return 0;
        }
        std::fprintf(stderr, "make-machine: cannot create %s (error 0x%lX)\n", kInstanceId, error);
        return 1;
    }
    if (!SetProperty(list, device, SPDRP_HARDWAREID, MultiString(PciHardwareIds())) ||
        !SetProperty(list, device, SPDRP_COMPATIBLEIDS, MultiString(PciCompatibleIds())) ||
        !SetProperty(list, device, SPDRP_CLASSGUID, std::string(kModemClassText) + '\0') ||
        !SetProperty(list, device, SPDRP_CLASS, std::string("Modem") + '\0') ||
        !SetProperty(list, device, SPDRP_DEVICEDESC, std::string(kControllerName) + '\0') ||
        !SetupDiRegisterDeviceInfo(list, &device, 0, nullptr, nullptr, nullptr)) {
        std::fprintf(stderr, "make-machine: cannot register %s (error 0x%lX)\n", kInstanceId, GetLastError());
        return 1;
    }
    std::printf("make-machine: modem %s (class Modem, hardware id %s&SUBSYS_%s&REV_%s)\n", kInstanceId, kDeviceBase,
                kSubsystem, kRevision);

    if (earlierInstall && !MakeEarlierInstallation(list, device)) {
        std::fprintf(stderr, "make-machine: the earlier installation is incomplete (error %lu)\n", GetLastError());
        return 1;
    }
    return 0;
}
