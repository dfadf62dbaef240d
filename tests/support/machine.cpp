#include "machine.h"

#include <setupapi.h>

#include <cstdio>
#include <cstring>

#include "app/setup_engine.h"
#include "platform/late_binding.h"

namespace machine {

const GUID kModemClass = {0x4d36e96d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const char kTreeCfgMgrLibrary[] = "tree_cfgmgr.dll";

namespace {
const char CHILD_TABLE_KEY[] = "Software\\ModemSetupTests\\DeviceChildren";
const char SESSION_MANAGER_KEY[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char PENDING_VALUE[] = "PendingFileRenameOperations";

// A device list holding just the named device, for the calls that need one.
class OpenedDevice {
public:
    explicit OpenedDevice(const std::string& instanceId)
    {
        m_list = SetupDiCreateDeviceInfoList(nullptr, nullptr);
        m_data.cbSize = sizeof(m_data);
        m_open = m_list != INVALID_HANDLE_VALUE &&
                 SetupDiOpenDeviceInfoA(m_list, instanceId.c_str(), nullptr, 0, &m_data);
    }
    ~OpenedDevice()
    {
        if (m_list != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(m_list);
    }
    OpenedDevice(const OpenedDevice&) = delete;
    OpenedDevice& operator=(const OpenedDevice&) = delete;

    bool IsOpen() const { return m_open; }
    HDEVINFO List() const { return m_list; }
    SP_DEVINFO_DATA* Data() { return &m_data; }

    // The driver key, created when the device has none yet.
    HKEY CreateDriverKey()
    {
        if (!m_open) return nullptr;
        HKEY key = SetupDiCreateDevRegKeyA(m_list, &m_data, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr);
        return key == INVALID_HANDLE_VALUE ? nullptr : key;
    }

private:
    HDEVINFO m_list = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA m_data = {};
    bool m_open = false;
};

// REG_MULTI_SZ data of a list of strings.
std::string MultiString(const std::vector<std::string>& strings)
{
    std::string data;
    for (const std::string& s : strings) data.append(s).push_back('\0');
    data.push_back('\0');
    return data;
}

std::string Lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

bool SetStringValue(HKEY key, const char* name, const std::string& value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

void CreateFolderPath(const std::string& folder)
{
    for (size_t at = folder.find('\\'); at != std::string::npos; at = folder.find('\\', at + 1))
        CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
}

std::string StripPrefix(const std::string& path)
{
    if (path.compare(0, 4, "\\??\\") == 0) return path.substr(4);
    if (path.compare(0, 5, "!\\??\\") == 0) return path.substr(5);
    return path;
}
}  // namespace

// ---- Devices ---------------------------------------------------------------

std::vector<std::string> PciHardwareIds(const std::string& base, const std::string& subsystem,
                                        const std::string& revision)
{
    return {base + "&SUBSYS_" + subsystem + "&REV_" + revision, base + "&SUBSYS_" + subsystem,
            base + "&REV_" + revision, base};
}

bool CreateDevice(const std::string& instanceId, const std::vector<std::string>& hardwareIds, const GUID& deviceClass)
{
    HDEVINFO list = SetupDiCreateDeviceInfoList(&deviceClass, nullptr);
    if (list == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    std::string ids = MultiString(hardwareIds);
    bool made = SetupDiCreateDeviceInfoA(list, instanceId.c_str(), &deviceClass, nullptr, nullptr, 0, &device) &&
                SetupDiSetDeviceRegistryPropertyA(list, &device, SPDRP_HARDWAREID,
                                                  reinterpret_cast<const BYTE*>(ids.data()),
                                                  static_cast<DWORD>(ids.size())) &&
                SetupDiRegisterDeviceInfo(list, &device, 0, nullptr, nullptr, nullptr);
    if (made) {
        HKEY driverKey = SetupDiCreateDevRegKeyA(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr);
        made = driverKey != INVALID_HANDLE_VALUE;
        if (made) RegCloseKey(driverKey);
    }
    SetupDiDestroyDeviceInfoList(list);
    return made;
}

bool DeviceExists(const std::string& instanceId)
{
    return MachineKeyExists(EnumKeyPath(instanceId));
}

void RemoveDeviceIfPresent(const std::string& instanceId)
{
    // Once, under a heavily loaded machine, a removal left devices behind for
    // the next test to find: try again while the device is still there.
    for (int attempt = 0; attempt < 5 && DeviceExists(instanceId); ++attempt) {
        if (attempt > 0) Sleep(200);
        OpenedDevice device(instanceId);
        if (device.IsOpen()) SetupDiRemoveDevice(device.List(), device.Data());
    }
}

std::string EnumKeyPath(const std::string& instanceId)
{
    return "SYSTEM\\CurrentControlSet\\Enum\\" + instanceId;
}

std::string DriverKeyPath(const std::string& instanceId)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EnumKeyPath(instanceId).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::string();
    char driver[256] = {0};
    DWORD size = sizeof(driver) - 1;
    LONG read = RegQueryValueExA(key, "Driver", nullptr, nullptr, reinterpret_cast<BYTE*>(driver), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || driver[0] == '\0') return std::string();
    return std::string("SYSTEM\\CurrentControlSet\\Control\\Class\\") + driver;
}

bool SetDriverValue(const std::string& instanceId, const char* name, DWORD type, const void* data, DWORD size)
{
    OpenedDevice device(instanceId);
    HKEY key = device.CreateDriverKey();
    if (!key) return false;
    bool written = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

bool SetDriverString(const std::string& instanceId, const char* name, const std::string& value)
{
    return SetDriverValue(instanceId, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool AddSetupCommand(const std::string& instanceId, const char* phase, const char* name,
                     const std::string& commandLine)
{
    OpenedDevice device(instanceId);
    HKEY driverKey = device.CreateDriverKey();
    if (!driverKey) return false;
    std::string path = std::string("HostBasedModemData\\Parameters\\Setup\\") + phase + "\\" + name;
    HKEY command = nullptr;
    bool written = RegCreateKeyExA(driverKey, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &command,
                                   nullptr) == ERROR_SUCCESS &&
                   SetStringValue(command, "Path", commandLine);
    if (command) RegCloseKey(command);
    RegCloseKey(driverKey);
    return written;
}

bool CreateSignedDevice(const std::string& instanceId, const std::vector<std::string>& hardwareIds,
                        const std::string& signature, const std::string& infName)
{
    return CreateDevice(instanceId, hardwareIds) && SetDriverString(instanceId, "VXSignature", signature) &&
           SetDriverString(instanceId, "InfPath", infName);
}

// ---- Device children -----------------------------------------------------------

void SetChildDevice(const std::string& parentId, const std::string& childId)
{
    HKEY table = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, CHILD_TABLE_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &table,
                        nullptr) != ERROR_SUCCESS)
        return;
    SetStringValue(table, parentId.c_str(), childId);
    RegCloseKey(table);
}

void ClearChildDevices()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, CHILD_TABLE_KEY);
}

ScopedDeviceTree::ScopedDeviceTree()
{
    late_binding::ForgetCfgMgr();
    late_binding::SetCfgMgrLibraryName(kTreeCfgMgrLibrary);
}

ScopedDeviceTree::~ScopedDeviceTree()
{
    late_binding::ForgetCfgMgr();
    late_binding::SetCfgMgrLibraryName(nullptr);
}

// ---- Windows 9x registry form ------------------------------------------------

std::string Enum9xKeyPath(const std::string& instanceId)
{
    return "ENUM\\" + instanceId;
}

std::string Create9xDeviceKeys(const std::string& instanceId, const std::string& driver)
{
    std::string driverKey = "SYSTEM\\CurrentControlSet\\Services\\Class\\" + driver;
    SetMachineString(Enum9xKeyPath(instanceId), "Driver", driver);
    SetMachineString(driverKey, "DriverDesc", "Test soft modem");
    return driverKey;
}

std::string AddWaveEntry(const std::string& name, const char* softwareKey)
{
    std::string path = "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\Wave\\" + name;
    if (softwareKey)
        SetMachineString(path, "SoftwareKey", softwareKey);
    else
        SetMachineString(path, "Description", "wave driver without software key");
    return path;
}

// ---- Registry below HKEY_LOCAL_MACHINE ---------------------------------------

bool CreateMachineKey(const std::string& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool SetMachineString(const std::string& path, const char* name, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool written = SetStringValue(key, name, value);
    RegCloseKey(key);
    return written;
}

bool MachineKeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteMachineKey(const std::string& path)
{
    // Depth first: RegDeleteKey takes only keys without subkeys.
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    std::vector<std::string> children;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : children) DeleteMachineKey(path + "\\" + child);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

// ---- Files -------------------------------------------------------------------

std::string WindowsFolder()
{
    char folder[MAX_PATH] = {0};
    GetWindowsDirectoryA(folder, sizeof(folder));
    return folder;
}

std::string InfFolder() { return WindowsFolder() + "\\inf"; }

std::string SystemFolder()
{
    char folder[MAX_PATH] = {0};
    GetSystemDirectoryA(folder, sizeof(folder));
    return folder;
}

bool WriteTextFile(const std::string& path, const std::string& content)
{
    size_t slash = path.rfind('\\');
    if (slash != std::string::npos) CreateFolderPath(path.substr(0, slash));
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    return std::fclose(file) == 0 && written;
}

std::string PnfOf(const std::string& infPath)
{
    return infPath.substr(0, infPath.size() - 3) + "pnf";
}

std::string InstallInf(const std::string& relativeName, const std::string& text)
{
    std::string path = InfFolder() + "\\" + relativeName;
    WriteTextFile(path, text);
    WriteTextFile(PnfOf(path), "PNF of " + relativeName);
    return path;
}

std::string InstallSystemFile(const std::string& name)
{
    std::string path = SystemFolder() + "\\" + name;
    WriteTextFile(path, "driver file " + name);
    return path;
}

std::string ModemInf::Text() const
{
    const std::string& section = installSection;
    std::string text;
    text += "; Modem driver INF made by the test machine\r\n";
    text += "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Modem\r\n"
            "ClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}\r\nProvider=%Maker%\r\n"
            "DriverVer=01/01/2004,1.0.0.0\r\n\r\n";
    if (manufacturer) {
        text += "[Manufacturer]\r\n%Maker%=Models\r\n\r\n";
        text += "[Models]\r\n%ModemName%=" + section + "," + hardwareId + "\r\n\r\n";
    }
    text += "[DestinationDirs]\r\nDefaultDestDir=11\r\n\r\n";

    auto installPart = [&](const std::string& name, const std::vector<std::string>& copied, bool addReg) {
        text += "[" + name + "]\r\n";
        if (!copied.empty()) text += "CopyFiles=" + name + ".Files\r\n";
        if (addReg) text += "AddReg=" + section + ".AddReg\r\n";
        text += "\r\n";
        if (!copied.empty()) text += "[" + name + ".Files]\r\n" + Lines(copied) + "\r\n";
    };
    installPart(section, files, true);
    installPart(section + ".NT", ntFiles, true);
    if (!coinstallerFiles.empty()) installPart(section + ".NT.Coinstallers", coinstallerFiles, false);

    if (!services.empty()) {
        text += "[" + section + ".NT.Services]\r\n";
        for (const std::string& service : services)
            text += "AddService = " + service + ", 0x00000002, Service_Install\r\n";
        text += "\r\n[Service_Install]\r\nServiceType=1\r\nStartType=3\r\nErrorControl=1\r\n"
                "ServiceBinary=%12%\\vxtest.sys\r\n\r\n";
    }

    text += "[" + section + ".AddReg]\r\nHKR,,FriendlyDriver,,\"test\"\r\n";
    if (!signature.empty()) text += "HKR,,VXSignature,,%VXSignature%\r\n";
    text += "\r\n[Strings]\r\nMaker=\"Quenzaric Test\"\r\nModemName=\"Test soft modem\"\r\n";
    if (!signature.empty()) text += "VXSignature=\"" + signature + "\"\r\n";
    return text;
}

HeldOpenFile::HeldOpenFile(const std::string& path)
    : m_handle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr))
{
}

HeldOpenFile::~HeldOpenFile()
{
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
}

int PendingDeleteCount(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD size = 0;
    std::vector<char> data;
    if (RegQueryValueExA(key, PENDING_VALUE, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size > 0) {
        data.assign(size + 2, '\0');
        if (RegQueryValueExA(key, PENDING_VALUE, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS)
            data.clear();
    }
    RegCloseKey(key);

    std::vector<std::string> strings;
    for (size_t at = 0; at < size && at < data.size();) {
        std::string s(&data[at]);
        strings.push_back(s);
        at += s.size() + 1;
    }
    int count = 0;
    for (size_t i = 0; i + 1 < strings.size(); i += 2)
        if (strings[i + 1].empty() && _stricmp(StripPrefix(strings[i]).c_str(), path.c_str()) == 0) ++count;
    return count;
}

void ClearPendingOperations()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, PENDING_VALUE);
    RegCloseKey(key);
}

// ---- Services ----------------------------------------------------------------

bool CreateTestService(const std::string& name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    std::string binary = SystemFolder() + "\\" + name + ".exe";
    SC_HANDLE service = CreateServiceA(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                       binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

bool ServiceExists(const std::string& name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS);
    bool exists = false;
    if (service) {
        // A service marked for deletion still opens but takes no change.
        exists = ChangeServiceConfigA(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) ||
                 GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE;
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return exists;
}

void DeleteTestService(const std::string& name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    if (SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS)) {
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

// ---- Progress ----------------------------------------------------------------

ProgressWindow::ProgressWindow()
    : m_window(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
{
}

ProgressWindow::~ProgressWindow()
{
    if (m_window) DestroyWindow(m_window);
}

std::vector<int> ProgressWindow::Amounts()
{
    std::vector<int> amounts;
    MSG message;
    while (PeekMessageA(&message, m_window, WM_SETUP_PROGRESS, WM_SETUP_PROGRESS, PM_REMOVE))
        amounts.push_back(static_cast<int>(message.wParam));
    return amounts;
}

std::vector<int> ProgressWindow::LastAmounts(size_t count)
{
    std::vector<int> amounts = Amounts();
    if (amounts.size() > count) amounts.erase(amounts.begin(), amounts.end() - static_cast<long>(count));
    return amounts;
}

}  // namespace machine
