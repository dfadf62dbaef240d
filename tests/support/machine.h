// Windows machines for the installation and removal tests, built for real in
// the Wine prefix of the running test with SetupAPI, the registry, the service
// manager and the file system (the test code calls them directly):
//
//   devices          CreateDevice with a hardware-id list (PciHardwareIds gives
//                    the list a PCI bus reports); driver-key values and the
//                    Pre/Post setup commands of a device's driver key;
//   device children  Wine has no device tree: SetChildDevice writes the table
//                    that the configuration-manager stand-in tree_cfgmgr.dll
//                    answers CM_Get_Child from; ScopedDeviceTree binds it;
//   Windows 9x keys  the ENUM and Services\Class locations and wave entries,
//                    which Wine's NT-style registry lacks (use with ScopedVersion);
//   files            installed INF files (with their PNF) below C:\windows\inf,
//                    driver files in the system folder, files held open;
//   services         created with a binary path only (they never run);
//   registry         keys and string values below HKEY_LOCAL_MACHINE;
//   progress         a message-only window that collects WM_SETUP_PROGRESS.
//
// All tests of one executable share one prefix: use names unique to a test and
// remove what a test made, or check only what it owns.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace machine {

// The modem class {4D36E96D-E325-11CE-BFC1-08002BE10318}.
extern const GUID kModemClass;

// ---- Devices ---------------------------------------------------------------

// The identifiers a PCI bus reports for one function, most specific first:
// base&SUBSYS_s&REV_r, base&SUBSYS_s, base&REV_r, base. SetupAPI matches INF
// entries against them whole, so fixture devices carry all four.
std::vector<std::string> PciHardwareIds(const std::string& base, const std::string& subsystem,
                                        const std::string& revision);

// Creates and registers a device (persistent, seen by every later device list)
// with the given hardware ids and a driver key. The instance id must be new.
bool CreateDevice(const std::string& instanceId, const std::vector<std::string>& hardwareIds,
                  const GUID& deviceClass = kModemClass);
// True while the device is registered (its enumeration key exists).
bool DeviceExists(const std::string& instanceId);
// Removes the device through SetupAPI, if it is there (clean-up of a test).
void RemoveDeviceIfPresent(const std::string& instanceId);
// The enumeration key, "SYSTEM\CurrentControlSet\Enum\<instance id>".
std::string EnumKeyPath(const std::string& instanceId);
// The driver key below HKEY_LOCAL_MACHINE, from the enumeration key's "Driver"
// value ("SYSTEM\CurrentControlSet\Control\Class\{guid}\NNNN"), or empty.
std::string DriverKeyPath(const std::string& instanceId);
// Writes a value into the device's driver key.
bool SetDriverString(const std::string& instanceId, const char* name, const std::string& value);
bool SetDriverValue(const std::string& instanceId, const char* name, DWORD type, const void* data, DWORD size);
// Adds a setup command: subkey HostBasedModemData\Parameters\Setup\<phase>\<name>
// of the driver key with its "Path" value (phase "Pre" or "Post").
bool AddSetupCommand(const std::string& instanceId, const char* phase, const char* name,
                     const std::string& commandLine);
// A device with everything an installed signed modem has in its driver key:
// "VXSignature", "InfPath" (a name below C:\windows\inf or inf\other).
bool CreateSignedDevice(const std::string& instanceId, const std::vector<std::string>& hardwareIds,
                        const std::string& signature, const std::string& infName);

// ---- Device children (configuration-manager stand-in) -----------------------

// The file name of the stand-in, beside the test programs.
extern const char kTreeCfgMgrLibrary[];
// Makes child the first child of parent in the stand-in's table.
void SetChildDevice(const std::string& parentId, const std::string& childId);
// Empties the table.
void ClearChildDevices();
// Binds the stand-in as the program's configuration manager until destroyed.
// While the program walks children, the test keeps no other device list open:
// the stand-in answers with the child's node in the lists open at that time.
class ScopedDeviceTree {
public:
    ScopedDeviceTree();
    ~ScopedDeviceTree();
    ScopedDeviceTree(const ScopedDeviceTree&) = delete;
    ScopedDeviceTree& operator=(const ScopedDeviceTree&) = delete;
};

// ---- Windows 9x registry form ------------------------------------------------

// Makes the keys a Windows 9x machine has for a device: HKLM\ENUM\<instance id>
// with "Driver" = driver (e.g. "MODEM\0000"), and the driver key
// SYSTEM\CurrentControlSet\Services\Class\<driver>. Returns the driver key path.
std::string Create9xDeviceKeys(const std::string& instanceId, const std::string& driver);
std::string Enum9xKeyPath(const std::string& instanceId);
// Adds SYSTEM\CurrentControlSet\Control\MediaResources\Wave\<name>, with the
// value "SoftwareKey" unless softwareKey is null.
std::string AddWaveEntry(const std::string& name, const char* softwareKey);

// ---- Registry below HKEY_LOCAL_MACHINE ---------------------------------------

bool CreateMachineKey(const std::string& path);
bool SetMachineString(const std::string& path, const char* name, const std::string& value);
bool MachineKeyExists(const std::string& path);
void DeleteMachineKey(const std::string& path);

// ---- Files -------------------------------------------------------------------

std::string WindowsFolder();  // C:\windows
std::string InfFolder();      // C:\windows\inf
std::string SystemFolder();   // C:\windows\system32 (the system folder of this build)

// Writes a file (creating its folders); true when it was written.
bool WriteTextFile(const std::string& path, const std::string& content);
// The PNF companion of an INF path: the path without "inf", then "pnf".
std::string PnfOf(const std::string& infPath);
// Installs an INF below C:\windows\inf (relative name such as "oem7.inf" or
// "other\oem7.inf") together with a PNF companion; returns the INF's path.
std::string InstallInf(const std::string& relativeName, const std::string& text);
// Writes a driver file of the given name into the system folder; returns its path.
std::string InstallSystemFile(const std::string& name);

// A modem driver INF as packages write it: one model, an install section with
// copy lists for the section itself, its .NT and .NT.Coinstallers forms
// (target: the system folder), AddService lines, and the signature value.
struct ModemInf {
    std::string hardwareId = "PCI\\VEN_8086&DEV_2416";
    std::string installSection = "MODEM1";
    std::vector<std::string> files;             // [<section>] CopyFiles
    std::vector<std::string> ntFiles;           // [<section>.NT] CopyFiles
    std::vector<std::string> coinstallerFiles;  // [<section>.NT.Coinstallers] CopyFiles
    std::vector<std::string> services;          // AddService lines of [<section>.NT.Services]
    std::string signature;                      // non-empty: AddReg writes "VXSignature"
    bool manufacturer = true;                   // false: no [Manufacturer] section

    std::string Text() const;
};

// Holds a file open without FILE_SHARE_DELETE, so it cannot be deleted.
class HeldOpenFile {
public:
    explicit HeldOpenFile(const std::string& path);
    ~HeldOpenFile();
    HeldOpenFile(const HeldOpenFile&) = delete;
    HeldOpenFile& operator=(const HeldOpenFile&) = delete;
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

// How many pending deletions of the path PendingFileRenameOperations holds.
int PendingDeleteCount(const std::string& path);
// Removes every pending operation (clean-up of a test).
void ClearPendingOperations();

// ---- Services ----------------------------------------------------------------

// Creates a demand-start service with only a binary path.
bool CreateTestService(const std::string& name);
// True when the service can be opened and is not marked for deletion.
bool ServiceExists(const std::string& name);
void DeleteTestService(const std::string& name);

// ---- Progress ----------------------------------------------------------------

// A message-only window of the calling thread that the program can post
// progress to; Amounts() reads the WM_SETUP_PROGRESS wParams queued so far.
class ProgressWindow {
public:
    ProgressWindow();
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    HWND Handle() const { return m_window; }
    std::vector<int> Amounts();
    // The last count of the amounts queued so far (all of them when fewer).
    std::vector<int> LastAmounts(size_t count);

private:
    HWND m_window;
};

}  // namespace machine
