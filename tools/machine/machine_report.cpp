// machine-report.exe [FILE]
//
// A plain-text snapshot of what a modem driver installation touches on the
// machine, one fact per line, sorted, the same from run to run while nothing
// changes (sizes and checksums, never times). Written to FILE (a Windows path)
// or to standard output. tools/machine-diff.py compares two snapshots.
//
// Each line is "<kind> <what>" or "<kind> <what> = <value>":
//   device          every device: class, first hardware id, driver key, service, description
//   driver-key      values of the driver keys (below ...\Control\Class) of the
//                   modem class and of any class whose key has "VXSignature"
//   inf             C:\windows\inf (any depth): oem*.* files, files that mention
//                   VXSignature (INF copies of any name) with their PNF, and inf\Catalog
//   system-file     files of the sample package's names (zx*, zedor*, vx*) in
//                   the system folder, its drivers folder and C:\windows\system
//   tarvo           the keep folders C:\windows\Tarvo, with the lines of *.log files
//   service         VXService and any service whose binary is a zx2416 file (from the
//                   registry; the state from the service manager)
//   pending         PendingFileRenameOperations and wininit.ini [rename]
//   uninstall       the keys below ...\CurrentVersion\Uninstall
//   component       the maker's component key SOFTWARE\Quenzaric\Tarvo
//   nt4-modem-list  System\CurrentControlSet\Services\Modem\Enum
//   unimodem        ...\CurrentVersion\Unimodem\DeviceSpecific
#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "machine_folders.h"
#include "platform/handles.h"

namespace {
const GUID kModemClass = {0x4d36e96d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const char kClassRoot[] = "SYSTEM\\CurrentControlSet\\Control\\Class";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kComponentKey[] = "SOFTWARE\\Quenzaric\\Tarvo";
const char kModemList[] = "System\\CurrentControlSet\\Services\\Modem\\Enum";
const char kUnimodem[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific";
const size_t kMaxLogLines = 40;
const size_t kMaxHexBytes = 32;

std::vector<std::string> g_facts;

void Fact(const std::string& kind, const std::string& what, const std::string& value = std::string())
{
    std::string line = kind + " " + what;
    if (!value.empty()) line += " = " + value;
    g_facts.push_back(line);
}

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool StartsWithIgnoringCase(const std::string& text, const char* prefix)
{
    return Upper(text).compare(0, std::strlen(prefix), Upper(prefix)) == 0;
}

bool ContainsIgnoringCase(const std::string& text, const char* what)
{
    return Upper(text).find(Upper(what)) != std::string::npos;
}

// Control characters as \xNN, so that every fact stays on one line.
std::string Printable(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
            out += escaped;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string FormatRegistryValue(DWORD type, const std::vector<BYTE>& data)
{
    const char* chars = reinterpret_cast<const char*>(data.data());
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::string text(chars, strnlen(chars, data.size()));
        return (type == REG_EXPAND_SZ ? "expand:" : "") + (text.empty() ? std::string("\"\"") : Printable(text));
    }
    case REG_MULTI_SZ: {
        std::string joined;
        for (size_t at = 0; at < data.size() && chars[at] != '\0';) {
            size_t length = strnlen(chars + at, data.size() - at);
            if (!joined.empty()) joined += " | ";
            joined += Printable(std::string(chars + at, length));
            at += length + 1;
        }
        return "multi:" + joined;
    }
    case REG_DWORD:
        if (data.size() == sizeof(DWORD)) {
            DWORD value = 0;
            std::memcpy(&value, data.data(), sizeof(value));
            return "dword:" + Hex(value);
        }
        break;
    default:
        break;
    }
    std::string hex = "hex:";
    for (size_t i = 0; i < data.size() && i < kMaxHexBytes; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof(byte), i ? ",%02X" : "%02X", data[i]);
        hex += byte;
    }
    if (data.size() > kMaxHexBytes) hex += ",... (" + std::to_string(data.size()) + " bytes)";
    if (data.empty()) hex += "(empty)";
    return hex;
}

DevRegKey OpenMachineKey(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return DevRegKey();
    return DevRegKey(key);
}

std::vector<std::string> SubkeyNames(HKEY key)
{
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    return names;
}

bool ReadValue(HKEY key, const char* name, DWORD& type, std::vector<BYTE>& data)
{
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    data.assign(size, 0);
    if (size == 0) return true;
    if (RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return false;
    data.resize(size);
    return true;
}

// Every value of the key and of its subkeys, as "<kind> <shown>[\sub] <name> = <value>".
void ReportKeyTree(HKEY key, const std::string& kind, const std::string& shown)
{
    bool any = false;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD length = sizeof(name);
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DWORD type = 0;
        std::vector<BYTE> data;
        if (!ReadValue(key, name, type, data)) continue;
        Fact(kind, shown + " " + (name[0] ? Printable(name) : std::string("(default)")),
             FormatRegistryValue(type, data));
        any = true;
    }
    std::vector<std::string> subkeys = SubkeyNames(key);
    for (const std::string& name : subkeys) {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) continue;
        DevRegKey sub(opened);
        ReportKeyTree(sub, kind, shown + "\\" + name);
    }
    if (!any && subkeys.empty()) Fact(kind, shown, "(empty key)");
}

void ReportMachineKeyTree(const std::string& path, const std::string& kind, const std::string& shown)
{
    DevRegKey key = OpenMachineKey(path);
    if (key) ReportKeyTree(key, kind, shown);
}

// ---- Devices and driver keys --------------------------------------------------

std::string FormatGuid(const GUID& guid);

std::string DeviceProperty(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property)
{
    char buffer[1024] = {0};
    if (!SetupDiGetDeviceRegistryPropertyA(list, &device, property, nullptr, reinterpret_cast<BYTE*>(buffer),
                                           sizeof(buffer) - 2, nullptr))
        return "-";
    return buffer[0] ? Printable(buffer) : std::string("-");  // the first string of a list
}

// The class name; devices made without one by name have their class GUID.
std::string DeviceClass(HDEVINFO list, SP_DEVINFO_DATA& device)
{
    std::string name = DeviceProperty(list, device, SPDRP_CLASS);
    if (name != "-") return name;
    if (device.ClassGuid == GUID_NULL) return "-";
    char className[64] = {0};
    if (SetupDiClassNameFromGuidA(&device.ClassGuid, className, sizeof(className), nullptr) && className[0])
        return className;
    return FormatGuid(device.ClassGuid);
}

void ReportDevices()
{
    DevInfoList list(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
    if (!list) return;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(list, index, &device); ++index) {
        char id[512] = {0};
        if (!SetupDiGetDeviceInstanceIdA(list, &device, id, sizeof(id), nullptr)) continue;
        Fact("device", id,
             "class=" + DeviceClass(list, device) +
                 "; hwid=" + DeviceProperty(list, device, SPDRP_HARDWAREID) +
                 "; driver=" + DeviceProperty(list, device, SPDRP_DRIVER) +
                 "; service=" + DeviceProperty(list, device, SPDRP_SERVICE) +
                 "; desc=" + DeviceProperty(list, device, SPDRP_DEVICEDESC));
    }
}

std::string FormatGuid(const GUID& guid)
{
    char text[48];
    std::snprintf(text, sizeof(text), "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

// Driver keys of the modem class, and any other that carries the signature
// value, also those that no device names any more.
void ReportDriverKeys()
{
    DevRegKey classes = OpenMachineKey(kClassRoot);
    if (!classes) return;
    std::string modemClass = Upper(FormatGuid(kModemClass));
    for (const std::string& className : SubkeyNames(classes)) {
        std::string classPath = std::string(kClassRoot) + "\\" + className;
        DevRegKey classKey = OpenMachineKey(classPath);
        if (!classKey) continue;
        for (const std::string& instance : SubkeyNames(classKey)) {
            DevRegKey driverKey = OpenMachineKey(classPath + "\\" + instance);
            if (!driverKey) continue;
            bool signedKey = RegQueryValueExA(driverKey, "VXSignature", nullptr, nullptr, nullptr, nullptr) ==
                             ERROR_SUCCESS;
            if (signedKey || Upper(className) == modemClass)
                ReportKeyTree(driverKey, "driver-key", className + "\\" + instance);
        }
    }
}

// ---- Files ------------------------------------------------------------------

bool ReadFileBytes(const std::string& path, std::string& content)
{
    StdioFile file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    content.clear();
    char buffer[8192];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof(buffer), file)) > 0) content.append(buffer, read);
    return true;
}

// Size and a 32-bit FNV-1a checksum of the content: equal files, equal text.
std::string FileSummary(const std::string& content)
{
    unsigned long hash = 2166136261UL;
    for (unsigned char c : content) hash = ((hash ^ c) * 16777619UL) & 0xFFFFFFFFUL;
    char text[64];
    std::snprintf(text, sizeof(text), "%lu bytes, checksum %08lx", static_cast<unsigned long>(content.size()), hash);
    return text;
}

std::vector<std::string> TextLines(const std::string& content)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// "DriverVer" of an INF's text, to tell package versions apart.
std::string DriverVersion(const std::string& content)
{
    for (const std::string& line : TextLines(content)) {
        if (!StartsWithIgnoringCase(line, "DriverVer")) continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string value = line.substr(equals + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        return Printable(value);
    }
    return std::string();
}

struct FolderEntry {
    std::string name;
    bool folder;
};

std::vector<FolderEntry> ListFolder(const std::string& folder, const char* pattern = "*")
{
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA((folder + "\\" + pattern).c_str(), &entry));
    if (!search) return entries;
    do {
        if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) continue;
        entries.push_back({entry.cFileName, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(search, &entry));
    return entries;
}

void ReportInfFolder(const std::string& folder, bool catalogFolder)
{
    std::vector<FolderEntry> entries = ListFolder(folder);
    std::vector<std::string> signedInfs;  // name stems, upper case
    for (const FolderEntry& entry : entries) {
        if (entry.folder || catalogFolder || StartsWithIgnoringCase(entry.name, "oem")) continue;
        std::string content;
        if (!ReadFileBytes(folder + "\\" + entry.name, content)) continue;
        if (ContainsIgnoringCase(content, "VXSignature"))
            signedInfs.push_back(Upper(entry.name.substr(0, entry.name.rfind('.'))));
    }
    for (const FolderEntry& entry : entries) {
        std::string path = folder + "\\" + entry.name;
        if (entry.folder) {
            ReportInfFolder(path, catalogFolder || Upper(entry.name) == "CATALOG");
            continue;
        }
        std::string stem = Upper(entry.name.substr(0, entry.name.rfind('.')));
        bool reported = catalogFolder || StartsWithIgnoringCase(entry.name, "oem") ||
                        std::find(signedInfs.begin(), signedInfs.end(), stem) != signedInfs.end();
        std::string content;
        if (!reported || !ReadFileBytes(path, content)) continue;
        std::string summary = FileSummary(content);
        std::string version = ContainsIgnoringCase(entry.name, ".inf") ? DriverVersion(content) : std::string();
        if (!version.empty()) summary += ", DriverVer " + version;
        Fact("inf", path, summary);
    }
}

bool IsPackageFileName(const std::string& name)
{
    return StartsWithIgnoringCase(name, "zx") || StartsWithIgnoringCase(name, "zedor") ||
           StartsWithIgnoringCase(name, "vx");
}

void ReportPackageFiles(const std::string& folder)
{
    for (const FolderEntry& entry : ListFolder(folder)) {
        std::string content;
        if (entry.folder || !IsPackageFileName(entry.name)) continue;
        if (ReadFileBytes(folder + "\\" + entry.name, content))
            Fact("system-file", folder + "\\" + entry.name, FileSummary(content));
    }
}

void ReportTarvo(const std::string& folder)
{
    for (const FolderEntry& entry : ListFolder(folder)) {
        std::string path = folder + "\\" + entry.name;
        if (entry.folder) {
            Fact("tarvo", path + "\\", "folder");
            ReportTarvo(path);
            continue;
        }
        std::string content;
        if (!ReadFileBytes(path, content)) continue;
        Fact("tarvo", path, FileSummary(content));
        if (Upper(path).size() < 4 || Upper(path).compare(path.size() - 4, 4, ".LOG") != 0) continue;
        std::vector<std::string> lines = TextLines(content);
        for (size_t i = 0; i < lines.size() && i < kMaxLogLines; ++i) {
            char number[16];
            std::snprintf(number, sizeof(number), "%02u", static_cast<unsigned>(i + 1));
            Fact("tarvo", path + " line " + number, lines[i].empty() ? "(empty)" : Printable(lines[i]));
        }
    }
}

// ---- Services ---------------------------------------------------------------

std::string ServiceTypeText(DWORD type)
{
    if (type & SERVICE_KERNEL_DRIVER) return "kernel driver";
    if (type & SERVICE_FILE_SYSTEM_DRIVER) return "file system driver";
    if (type & SERVICE_WIN32_OWN_PROCESS) return "own process";
    if (type & SERVICE_WIN32_SHARE_PROCESS) return "shared process";
    return Hex(type);
}

std::string StartTypeText(DWORD start)
{
    switch (start) {
    case SERVICE_BOOT_START: return "boot";
    case SERVICE_SYSTEM_START: return "system";
    case SERVICE_AUTO_START: return "auto";
    case SERVICE_DEMAND_START: return "demand";
    case SERVICE_DISABLED: return "disabled";
    default: return Hex(start);
    }
}

std::string StateText(DWORD state)
{
    switch (state) {
    case SERVICE_STOPPED: return "stopped";
    case SERVICE_START_PENDING: return "starting";
    case SERVICE_STOP_PENDING: return "stopping";
    case SERVICE_RUNNING: return "running";
    default: return Hex(state);
    }
}

DWORD ReadDword(HKEY key, const char* name)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!ReadValue(key, name, type, data) || type != REG_DWORD || data.size() < sizeof(DWORD)) return 0xFFFFFFFF;
    DWORD value = 0;
    std::memcpy(&value, data.data(), sizeof(value));
    return value;
}

std::string ReadText(HKEY key, const char* name)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!ReadValue(key, name, type, data) || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
    return std::string(reinterpret_cast<const char*>(data.data()), strnlen(reinterpret_cast<const char*>(data.data()),
                                                                            data.size()));
}

// A service as its registry key describes it (Wine's service manager may not
// list a service that SetupAPI has just installed), with its state from the
// service manager when it knows the service.
void ReportService(SC_HANDLE manager, const std::string& name)
{
    DevRegKey key = OpenMachineKey("SYSTEM\\CurrentControlSet\\Services\\" + name);
    if (!key) return;
    std::string binary = ReadText(key, "ImagePath");
    if (Upper(name) != "VXSERVICE" && !ContainsIgnoringCase(binary, "zx2416")) return;
    std::string state = "-";
    bool marked = false;
    ServiceHandle service(OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS | SERVICE_CHANGE_CONFIG));
    if (service) {
        SERVICE_STATUS status = {};
        if (QueryServiceStatus(service, &status)) state = StateText(status.dwCurrentState);
        // A service marked for deletion still opens, but takes no change.
        marked = !ChangeServiceConfigA(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) &&
                 GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
    }
    Fact("service", name,
         "type=" + ServiceTypeText(ReadDword(key, "Type")) + "; start=" + StartTypeText(ReadDword(key, "Start")) +
             "; binary=" + Printable(binary) + "; state=" + state + (marked ? "; marked for deletion" : ""));
}

void ReportServices()
{
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    DevRegKey services = OpenMachineKey("SYSTEM\\CurrentControlSet\\Services");
    if (!services) return;
    std::vector<std::string> names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof(name);
        LONG status = RegEnumKeyExA(services, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_SUCCESS) names.push_back(name);
    }
    for (const std::string& service : names) ReportService(manager, service);
}

// ---- Operations at the next start ------------------------------------------

std::string WithoutNtPrefix(const std::string& path)
{
    if (path.compare(0, 4, "\\??\\") == 0) return path.substr(4);
    return path;
}

void ReportPendingOperations()
{
    DevRegKey key = OpenMachineKey(kSessionManager);
    DWORD type = 0;
    std::vector<BYTE> data;
    std::vector<std::string> operations;
    if (key && ReadValue(key, "PendingFileRenameOperations", type, data)) {
        std::vector<std::string> strings;
        const char* chars = reinterpret_cast<const char*>(data.data());
        for (size_t at = 0; at < data.size();) {
            size_t length = strnlen(chars + at, data.size() - at);
            strings.emplace_back(chars + at, length);
            at += length + 1;
        }
        // Pairs of source and target; an empty target deletes. The list ends
        // in empty strings.
        for (size_t i = 0; i + 1 < strings.size(); i += 2) {
            if (strings[i].empty()) break;
            std::string target = strings[i + 1];
            if (target.empty())
                operations.push_back("delete " + Printable(WithoutNtPrefix(strings[i])));
            else
                operations.push_back("rename " + Printable(WithoutNtPrefix(strings[i])) + " -> " +
                                     Printable(WithoutNtPrefix(target[0] == '!' ? target.substr(1) : target)));
        }
    }
    char renames[32768] = {0};
    std::string wininit = WindowsFolder() + "\\wininit.ini";
    DWORD length = GetPrivateProfileSectionA("rename", renames, sizeof(renames), wininit.c_str());
    for (const char* line = renames; line < renames + length && *line; line += std::strlen(line) + 1)
        operations.push_back("wininit.ini " + Printable(line));

    std::sort(operations.begin(), operations.end());
    for (size_t i = 0; i < operations.size();) {
        size_t same = i;
        while (same < operations.size() && operations[same] == operations[i]) ++same;
        Fact("pending", operations[i], same - i > 1 ? std::to_string(same - i) + " times" : std::string());
        i = same;
    }
}

// ---- Registry ----------------------------------------------------------------

void ReportUninstallEntries()
{
    DevRegKey root = OpenMachineKey(kUninstallRoot);
    if (!root) return;
    for (const std::string& name : SubkeyNames(root))
        ReportMachineKeyTree(std::string(kUninstallRoot) + "\\" + name, "uninstall", name);
}

bool WriteReport(const char* path)
{
    std::sort(g_facts.begin(), g_facts.end());
    g_facts.erase(std::unique(g_facts.begin(), g_facts.end()), g_facts.end());
    if (!path) {
        for (const std::string& fact : g_facts) std::printf("%s\n", fact.c_str());
        return std::fflush(stdout) == 0;
    }
    StdioFile file(std::fopen(path, "wb"));
    if (!file) return false;
    for (const std::string& fact : g_facts) std::fprintf(file, "%s\n", fact.c_str());
    return !std::ferror(file);
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: machine-report.exe [FILE]\n");
        return 2;
    }
    std::string windows = WindowsFolder();
    std::string system = SystemFolder();

    ReportDevices();
    ReportDriverKeys();
    ReportInfFolder(windows + "\\inf", false);
    ReportPackageFiles(system);
    ReportPackageFiles(system + "\\drivers");
    if (Upper(system) != Upper(windows + "\\system")) ReportPackageFiles(windows + "\\system");
    ReportTarvo(windows + "\\Tarvo");
    ReportServices();
    ReportPendingOperations();
    ReportUninstallEntries();
    ReportMachineKeyTree(kComponentKey, "component", "Tarvo");
    ReportMachineKeyTree(kModemList, "nt4-modem-list", "Enum");
    ReportMachineKeyTree(kUnimodem, "unimodem", "DeviceSpecific");

    if (!WriteReport(argc == 2 ? argv[1] : nullptr)) {
        std::fprintf(stderr, "machine-report: cannot write the report\n");
        return 1;
    }
    return 0;
}
