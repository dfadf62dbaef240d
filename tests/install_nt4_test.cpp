// The Windows NT 4.0 installation: the root modem device created from a
// package folder of our own, the modem list of the NT 4.0 modem service, the
// response strings moved to the shared Unimodem key, and the "Error" boxes of
// failed SetupAPI steps (a stand-in library fails the step asked for).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_engine.h"
#include "platform/late_binding.h"
#include "setupapi_fill.h"
#include "support/machine.h"
#include "support/test_support.h"

namespace {

const char kInstanceId[] = "ROOT\\PCI&VEN_8086&DEV_2416\\0000";
const char kModemClassKey[] = "System\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kModemListKey[] = "System\\CurrentControlSet\\Services\\Modem\\Enum";
const char kResponsesRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\";
const char kResponsesName[] = "Test soft modem::Quenzaric Test::Quenzaric Provider";
const char kScratchKey[] = "SOFTWARE\\VxNt4Test";
const char kInfName[] = "NT4MODEM.INF";
const char kServiceName[] = "VxNt4Svc";
const char* const kPackageFiles[] = {"vxnt4a.sys", "vxnt4b.sys", "vxnt4co.dll"};
const char kFailingSetupApi[] = "setupapi_failing.dll";

// Fills Wine's gaps for the whole program: the late-bound property write
// clears the last-error code after a success, as Windows does.
class FillerEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_GT(FillSetupApiGaps(), 0); }
};
const auto* const g_filler = ::testing::AddGlobalTestEnvironment(new FillerEnvironment);

std::string HexBytes(size_t count, int value)
{
    std::string text;
    char byte[8];
    for (size_t i = 0; i < count; ++i) {
        snprintf(byte, sizeof(byte), ",%02x", value);
        text += byte;
    }
    return text;
}

// The package INF. Response values are named so that name order and INF order
// agree; withLongResponse puts a value of 120 bytes between the two others.
std::string PackageInf(bool withLongResponse)
{
    std::string text =
        "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Modem\r\n"
        "ClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}\r\nProvider=%Maker%\r\n\r\n"
        "[Manufacturer]\r\n%Maker%=Models\r\n\r\n"
        "[Models]\r\n%ModemName%=Modem1,PCI\\VEN_8086&DEV_2416\r\n\r\n"
        "[SourceDisksNames]\r\n1=%Disk%,,,\r\n\r\n"
        "[SourceDisksFiles]\r\nvxnt4a.sys=1\r\nvxnt4b.sys=1\r\nvxnt4co.dll=1\r\n\r\n"
        "[DestinationDirs]\r\nDefaultDestDir=11\r\n\r\n"
        "[Modem1]\r\nCopyFiles=Modem1.Files\r\nAddReg=Modem1.AddReg\r\n\r\n"
        "[Modem1.Files]\r\nvxnt4a.sys\r\n\r\n"
        "[Modem1.NT]\r\nCopyFiles=Modem1.NT.Files\r\nAddReg=Modem1.AddReg\r\n\r\n"
        "[Modem1.NT.Files]\r\nvxnt4b.sys\r\n\r\n"
        "[Modem1.NT.Coinstallers]\r\nCopyFiles=Modem1.Co.Files\r\n\r\n"
        "[Modem1.Co.Files]\r\nvxnt4co.dll\r\n\r\n"
        "[MODEM1.NT.SERVICES]\r\nAddService=VxNt4Svc,0x00000002,Service_Install\r\n\r\n"
        "[Service_Install]\r\nServiceType=1\r\nStartType=3\r\nErrorControl=1\r\n"
        "ServiceBinary=%12%\\vxnt4b.sys\r\n\r\n"
        "[Modem1.AddReg]\r\n"
        "HKR,,DriverDesc,,%ModemName%\r\nHKR,,Manufacturer,,%Maker%\r\nHKR,,ProviderName,,%Provider%\r\n"
        "HKR,Responses,\"A_OK\",1,0d,0a,4f,4b,0d,0a\r\n";
    if (withLongResponse) text += "HKR,Responses,\"B_LONG\",1" + HexBytes(120, 0x41) + "\r\n";
    text += "HKR,Responses,\"C_CONNECT\",1,43,4f,4e,4e\r\n\r\n"
            "[Strings]\r\nMaker=\"Quenzaric Test\"\r\nProvider=\"Quenzaric Provider\"\r\n"
            "ModemName=\"Test soft modem\"\r\nDisk=\"Test disk\"\r\n";
    return text;
}

bool ReadString(const std::string& path, const char* name, std::string& value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[1024] = {0};
    DWORD size = sizeof(buffer) - 1;
    bool read = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (read) value.assign(buffer, strnlen(buffer, size));
    return read;
}

std::string StringOr(const std::string& path, const char* name, const char* missing = "(missing)")
{
    std::string value;
    return ReadString(path, name, value) ? value : missing;
}

DWORD NumberOr(const std::string& path, const char* name, DWORD missing = 0xDEAD)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return missing;
    DWORD number = 0, size = sizeof(number), type = 0;
    bool read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) ==
                    ERROR_SUCCESS &&
                type == REG_DWORD;
    RegCloseKey(key);
    return read ? number : missing;
}

void SetNumber(const std::string& path, const char* name, DWORD number)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    RegCloseKey(key);
}

void SetValue(const std::string& path, const char* name, DWORD type, const std::string& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

// Name, type and data of every value of a key, in enumeration order.
struct Value {
    std::string name;
    DWORD type;
    std::string data;
    bool operator==(const Value& other) const
    {
        return name == other.name && type == other.type && data == other.data;
    }
};
void PrintTo(const Value& value, std::ostream* out) { *out << value.name << "(" << value.type << ")"; }

std::vector<Value> ValuesOf(const std::string& path)
{
    std::vector<Value> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        char name[512];
        BYTE data[1024];
        DWORD nameLength = sizeof(name), size = sizeof(data), type = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        values.push_back({name, type, std::string(reinterpret_cast<char*>(data), size)});
    }
    RegCloseKey(key);
    return values;
}

std::vector<std::string> BoxTexts(const MessageBoxCapture& boxes)
{
    std::vector<std::string> texts;
    for (const CapturedBox& box : boxes.Boxes()) texts.push_back(box.text);
    return texts;
}

std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// A device property read through SetupAPI, or "(missing)".
std::string DeviceProperty(DWORD property)
{
    HDEVINFO list = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    std::string value = "(missing)";
    BYTE buffer[512] = {0};
    DWORD size = 0;
    if (SetupDiOpenDeviceInfoA(list, kInstanceId, nullptr, 0, &device) &&
        SetupDiGetDeviceRegistryPropertyA(list, &device, property, nullptr, buffer, sizeof(buffer), &size))
        value.assign(reinterpret_cast<char*>(buffer), size);
    SetupDiDestroyDeviceInfoList(list);
    return value;
}

// Binds the failing SetupAPI stand-in for the program's late-bound calls.
class ScopedFailingSetupApi {
public:
    explicit ScopedFailingSetupApi(const char* failures, const std::string& log = std::string())
    {
        SetEnvironmentVariableA("SETUPAPI_FIXTURE_FAIL", failures);
        SetEnvironmentVariableA("SETUPAPI_FIXTURE_LOG", log.empty() ? nullptr : log.c_str());
        late_binding::SetSetupApiLibraryName(kFailingSetupApi);
        late_binding::ForgetSetupApi();
    }
    ~ScopedFailingSetupApi()
    {
        late_binding::SetSetupApiLibraryName(nullptr);
        late_binding::ForgetSetupApi();
        SetEnvironmentVariableA("SETUPAPI_FIXTURE_FAIL", nullptr);
        SetEnvironmentVariableA("SETUPAPI_FIXTURE_LOG", nullptr);
    }
    ScopedFailingSetupApi(const ScopedFailingSetupApi&) = delete;
    ScopedFailingSetupApi& operator=(const ScopedFailingSetupApi&) = delete;
};

class Nt4ModemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReadWindowsDirectory();
        // NT 4.0 knows the modem class by name; a fresh Wine prefix does not.
        ASSERT_TRUE(machine::SetMachineString(kModemClassKey, "Class", "Modem"));
        m_extensionLog = std::string(m_scratch.Path().c_str()) + "zedor.log";
        SetEnvironmentVariableA("ZEDOR_FIXTURE_LOG", m_extensionLog.c_str());
        late_binding::SetExtensionLibraryName("zedor_fixture.dll");
        m_engine.m_hWndNotify = m_progress.Handle();
        for (const char* file : kPackageFiles) m_package.Write(file, std::string("payload of ") + file);
    }
    void TearDown() override
    {
        machine::RemoveDeviceIfPresent(kInstanceId);
        machine::DeleteTestService(kServiceName);
        for (const char* file : kPackageFiles) DeleteFileA((machine::SystemFolder() + "\\" + file).c_str());
        DeleteFileA((machine::InfFolder() + "\\" + kInfName).c_str());
        machine::DeleteMachineKey(kModemListKey);
        machine::DeleteMachineKey(std::string(kResponsesRoot) + kResponsesName);
        machine::DeleteMachineKey(kScratchKey);
        late_binding::SetExtensionLibraryName(nullptr);
        SetEnvironmentVariableA("ZEDOR_FIXTURE_LOG", nullptr);
    }

    void WriteInf(bool withLongResponse = false) { m_infPath = m_package.Write(kInfName, PackageInf(withLongResponse)); }
    SetupResult Run() { return m_engine.InstallNt4Modem(m_package.Path()); }
    std::vector<std::string> ExtensionCalls() const { return LinesOf(ReadWholeFile(m_extensionLog.c_str())); }
    std::string DriverKey() const { return machine::DriverKeyPath(kInstanceId); }
    std::string SharedResponses() const { return std::string(kResponsesRoot) + kResponsesName; }

    ScopedVersion m_version{kNt4};
    ScratchFolder m_scratch;
    ScratchFolder m_package;
    CString m_infPath;
    std::string m_extensionLog;
    MessageBoxCapture m_boxes;
    machine::ProgressWindow m_progress;
    CSetupEngine m_engine;
};

TEST_F(Nt4ModemTest, CreatesAndInstallsTheRootModem)
{
    WriteInf();
    ASSERT_EQ(SETUP_RESTART, Run());

    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_TRUE(m_progress.Amounts().empty());
    ASSERT_TRUE(machine::DeviceExists(kInstanceId));
    EXPECT_EQ(std::string("pci\\ven_8086&dev_2416\0\0", 23), DeviceProperty(SPDRP_HARDWAREID));
    EXPECT_EQ(std::string(4, '\0'), DeviceProperty(SPDRP_CONFIGFLAGS));
    EXPECT_STREQ("Modem", DeviceProperty(SPDRP_SERVICE).c_str());

    for (const char* file : kPackageFiles)
        EXPECT_EQ(std::string("payload of ") + file, ReadWholeFile((machine::SystemFolder() + "\\" + file).c_str()))
            << file;
    EXPECT_TRUE(machine::ServiceExists(kServiceName));
    EXPECT_EQ(PackageInf(false), ReadWholeFile((machine::InfFolder() + "\\" + kInfName).c_str()));

    const std::string driverKey = DriverKey();
    ASSERT_FALSE(driverKey.empty());
    EXPECT_EQ(kInfName, StringOr(driverKey, "InfPath"));
    EXPECT_EQ("Modem1", StringOr(driverKey, "InfSection"));
    EXPECT_EQ(".NT", StringOr(driverKey, "InfSectionExt"));
    EXPECT_EQ("Test soft modem", StringOr(driverKey, "DriverDesc"));

    // The modem list did not exist: it starts with this modem.
    EXPECT_EQ(kInstanceId, StringOr(kModemListKey, "0"));
    EXPECT_EQ(1u, NumberOr(kModemListKey, "Count"));
    EXPECT_EQ(1u, NumberOr(kModemListKey, "NextInstance"));

    EXPECT_EQ(kResponsesName, StringOr(driverKey, "ResponsesKeyName"));
    EXPECT_FALSE(machine::MachineKeyExists(driverKey + "\\Responses"));
    EXPECT_EQ(1u, NumberOr(SharedResponses(), "RefCount"));
    std::vector<Value> responses = {{"A_OK", REG_BINARY, "\r\nOK\r\n"}, {"C_CONNECT", REG_BINARY, "CONN"}};
    EXPECT_EQ(responses, ValuesOf(SharedResponses() + "\\Responses"));

    EXPECT_EQ(std::vector<std::string>{"0|0||0"}, ExtensionCalls());
}

// The modem list as other modems and earlier runs left it. The package of
// the second case has a response longer than the copy buffer.
TEST_F(Nt4ModemTest, ModemListKeepsOrExtendsItsEntries)
{
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> entries;
        DWORD count, next;
        const char* expectedEntry;  // the name under which the modem is listed afterwards
        DWORD expectedCount, expectedNext;
        bool longResponse;
        std::vector<Value> expectedResponses;
    };
    const std::vector<Case> cases = {
        {"listed already, in lower case",
         {{"0", "ROOT\\OTHERMODEM\\0000"}, {"1", "root\\pci&ven_8086&dev_2416\\0000"}},
         5, 2, "1", 5, 2, false,
         {{"A_OK", REG_BINARY, "\r\nOK\r\n"}, {"C_CONNECT", REG_BINARY, "CONN"}}},
        {"three other modems",
         {{"0", "ROOT\\MODEMA\\0000"}, {"1", "ROOT\\MODEMB\\0000"}, {"2", "ROOT\\MODEMC\\0000"}},
         3, 3, "3", 4, 4, true,
         {{"A_OK", REG_BINARY, "\r\nOK\r\n"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        machine::DeleteMachineKey(kModemListKey);
        for (const auto& entry : c.entries) machine::SetMachineString(kModemListKey, entry.first.c_str(), entry.second);
        SetNumber(kModemListKey, "Count", c.count);
        SetNumber(kModemListKey, "NextInstance", c.next);
        std::vector<Value> before = ValuesOf(kModemListKey);
        WriteInf(c.longResponse);

        ASSERT_EQ(SETUP_RESTART, Run());
        EXPECT_TRUE(m_boxes.Boxes().empty());
        EXPECT_EQ(c.expectedCount, NumberOr(kModemListKey, "Count"));
        EXPECT_EQ(c.expectedNext, NumberOr(kModemListKey, "NextInstance"));
        if (c.expectedNext == c.next) {
            EXPECT_EQ(before, ValuesOf(kModemListKey));
        } else {
            EXPECT_EQ(kInstanceId, StringOr(kModemListKey, c.expectedEntry));
            for (const auto& entry : c.entries) EXPECT_EQ(entry.second, StringOr(kModemListKey, entry.first.c_str()));
        }
        EXPECT_EQ(c.expectedResponses, ValuesOf(SharedResponses() + "\\Responses"));
        EXPECT_FALSE(machine::MachineKeyExists(DriverKey() + "\\Responses"));

        machine::RemoveDeviceIfPresent(kInstanceId);
        machine::DeleteMachineKey(SharedResponses());
    }
}

// A device left from an earlier run is opened, taken out of the list and
// created again. Wine refuses the new creation while the device stays
// registered (Windows creates it afresh), so under Wine the run ends in the
// creation box; the stand-in library logs the calls that led there.
TEST_F(Nt4ModemTest, DeviceFromAnEarlierRunIsOpenedDroppedAndCreatedAgain)
{
    WriteInf();
    ASSERT_EQ(SETUP_RESTART, Run());
    ASSERT_TRUE(machine::DeviceExists(kInstanceId));

    const std::string log = std::string(m_scratch.Path().c_str()) + "setupapi.log";
    SetupResult second;
    {
        ScopedFailingSetupApi logging("", log);
        second = Run();
    }
    const std::vector<std::string> calls = LinesOf(ReadWholeFile(log.c_str()));
    const std::vector<std::string> expected = {
        "SetupDiClassGuidsFromNameA ok", "SetupDiGetClassDevsA ok",     "SetupDiCreateDeviceInfoA failed",
        "SetupDiOpenDeviceInfoA ok",     "SetupDiDeleteDeviceInfo ok", "SetupDiCreateDeviceInfoA failed",
        "SetupDiDestroyDeviceInfoList ok"};
    EXPECT_EQ(expected, calls);
    EXPECT_EQ(SETUP_FAILED, second);
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    const CapturedBox& box = m_boxes.Boxes()[0];
    EXPECT_EQ("Error 0xE0000207 in SetupDiCreateDeviceInfo", box.text);  // ERROR_DEVINST_ALREADY_EXISTS
    EXPECT_EQ("Error", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), box.style);
    EXPECT_EQ(nullptr, box.owner);
    // Not a failure after registration: the earlier device is not removed.
    EXPECT_TRUE(machine::DeviceExists(kInstanceId));
    EXPECT_EQ(std::vector<std::string>{"0|0||0"}, ExtensionCalls());
}

TEST_F(Nt4ModemTest, WithoutAReadableInfNothingHappens)
{
    struct Case {
        const char* name;
        const char* infText;  // null: no INF in the folder
    };
    const Case cases[] = {
        {"no INF", nullptr},
        {"first INF without [Manufacturer]", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        if (c.infText) folder.Write("A.INF", c.infText);
        EXPECT_EQ(SETUP_FAILED, m_engine.InstallNt4Modem(folder.Path()));
        EXPECT_TRUE(m_boxes.Boxes().empty());
        EXPECT_FALSE(machine::DeviceExists(kInstanceId));
        EXPECT_FALSE(machine::MachineKeyExists(kModemListKey));
        EXPECT_TRUE(ExtensionCalls().empty());
    }
}

// A system without a class of that name (a fresh Wine prefix): SetupAPI
// answers the name lookup with success and no GUID, which is no class to
// create the device in.
TEST_F(Nt4ModemTest, UnknownModemClassFails)
{
    WriteInf();
    HKEY classKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModemClassKey, 0, KEY_ALL_ACCESS, &classKey));
    RegDeleteValueA(classKey, "Class");
    RegCloseKey(classKey);

    const std::string log = std::string(m_scratch.Path().c_str()) + "setupapi.log";
    SetupResult result;
    {
        ScopedFailingSetupApi logging("", log);
        result = Run();
    }
    EXPECT_EQ(std::vector<std::string>{"SetupDiClassGuidsFromNameA ok"}, LinesOf(ReadWholeFile(log.c_str())));
    EXPECT_EQ(SETUP_FAILED, result);
    // ERROR_INVALID_CLASS
    EXPECT_EQ(std::vector<std::string>{"Error 0xE0000206 in SetupDiClassGuidsFromName"}, BoxTexts(m_boxes));
    EXPECT_FALSE(machine::DeviceExists(kInstanceId));
    EXPECT_TRUE(ExtensionCalls().empty());
}

// A failed step shows its box; a non-zero code fails the run (removing the
// device when it was registered), a code of 0 lets the run go on.
TEST_F(Nt4ModemTest, FailedStepsShowTheirBoxes)
{
    enum Outcome { FAILED_REMOVED, FAILED_KEPT, FAILED_NO_DEVICE, DONE_PROPERTIES_ONLY, DONE_NO_DEVICE };
    struct Case {
        const char* failures;
        std::vector<std::string> boxes;
        Outcome outcome;
    };
    const char kTrying[] = "Trying to remove the created device";
    const std::vector<Case> cases = {
        {"SetupDiBuildDriverInfoList=0x57", {"Error 0x57 in SetupDiBuildDriverInfoList", kTrying}, FAILED_REMOVED},
        {"SetupDiGetDeviceInstallParamsA=0xD", {"Error 0xD in SetupDiGetDeviceInstallParams", kTrying},
         FAILED_REMOVED},
        {"SetupDiSetDeviceInstallParamsA=0xE0000100",
         {"Error 0xE0000100 in SetupDiSetDeviceInstallParams", kTrying}, FAILED_REMOVED},
        {"SetupDiBuildDriverInfoList=0x57,SetupDiRemoveDevice=0x5",
         {"Error 0x57 in SetupDiBuildDriverInfoList", kTrying, "Error 0x5 in SetupDiRemoveDevice"}, FAILED_KEPT},
        {"SetupDiGetClassDevsA=0x5,SetupDiCreateDeviceInfoList=0x8", {"Error 0x8 in SetupDiGetClassDevs"},
         FAILED_NO_DEVICE},
        {"SetupDiBuildDriverInfoList=0", {"Error 0x0 in SetupDiBuildDriverInfoList"}, DONE_PROPERTIES_ONLY},
        {"SetupDiClassGuidsFromNameA=0", {"Error 0x0 in SetupDiClassGuidsFromName"}, DONE_NO_DEVICE},
    };
    WriteInf();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failures);
        m_boxes.Clear();
        DeleteFileA(m_extensionLog.c_str());
        SetupResult result;
        {
            ScopedFailingSetupApi failing(c.failures);
            result = Run();
        }
        EXPECT_EQ(c.boxes, BoxTexts(m_boxes));
        bool done = c.outcome == DONE_PROPERTIES_ONLY || c.outcome == DONE_NO_DEVICE;
        EXPECT_EQ(done ? SETUP_RESTART : SETUP_FAILED, result);
        EXPECT_EQ(done ? 1u : 0u, ExtensionCalls().size());
        EXPECT_EQ(c.outcome == FAILED_KEPT || c.outcome == DONE_PROPERTIES_ONLY, machine::DeviceExists(kInstanceId));
        if (c.outcome == DONE_PROPERTIES_ONLY) {
            // Straight to the property writes: nothing of the package is installed.
            EXPECT_EQ(std::string("pci\\ven_8086&dev_2416\0\0", 23), DeviceProperty(SPDRP_HARDWAREID));
            EXPECT_FALSE(machine::ServiceExists(kServiceName));
            EXPECT_FALSE(machine::MachineKeyExists(kModemListKey));
            EXPECT_FALSE(FileExists((machine::SystemFolder() + "\\vxnt4a.sys").c_str()));
        }
        machine::RemoveDeviceIfPresent(kInstanceId);
    }
}

// PublishModemResponses on driver keys made by hand.
TEST_F(Nt4ModemTest, ResponsesMoveToTheSharedKey)
{
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> texts;  // DriverDesc, Manufacturer, ProviderName
        std::vector<Value> responses;                            // the driver key's "Responses", in name order
        const char* subkey;                                      // a subkey tree below "Responses", or null
        const char* sharedName;
        std::vector<Value> copied;
    };
    const std::vector<Case> cases = {
        {"values of every type",
         {{"DriverDesc", "Modem X"}, {"Manufacturer", "M"}, {"ProviderName", "P"}},
         {{"A", REG_BINARY, std::string("\x01\x00\x02", 3)}, {"B", REG_SZ, std::string("text\0", 5)},
          {"C", REG_DWORD, std::string("\x04\x00\x00\x00", 4)}},
         nullptr, "Modem X::M::P",
         {{"A", REG_BINARY, std::string("\x01\x00\x02", 3)}, {"B", REG_SZ, std::string("text\0", 5)},
          {"C", REG_DWORD, std::string("\x04\x00\x00\x00", 4)}}},
        {"data longer than 100 bytes stops the copy",
         {{"DriverDesc", "Modem X"}, {"Manufacturer", "M"}, {"ProviderName", "P"}},
         {{"A", REG_BINARY, "1"}, {"B", REG_BINARY, std::string(101, 'b')}, {"C", REG_BINARY, "3"}},
         nullptr, "Modem X::M::P",
         {{"A", REG_BINARY, "1"}}},
        {"data of exactly 100 bytes is copied",
         {{"DriverDesc", "Modem X"}, {"Manufacturer", "M"}, {"ProviderName", "P"}},
         {{"A", REG_BINARY, std::string(100, 'a')}, {"B", REG_BINARY, "2"}},
         nullptr, "Modem X::M::P",
         {{"A", REG_BINARY, std::string(100, 'a')}, {"B", REG_BINARY, "2"}}},
        {"a name of 100 characters stops the copy",
         {{"DriverDesc", "Modem X"}, {"Manufacturer", "M"}, {"ProviderName", "P"}},
         {{"A", REG_BINARY, "1"}, {"B" + std::string(99, 'n'), REG_BINARY, "2"}, {"C", REG_BINARY, "3"}},
         nullptr, "Modem X::M::P",
         {{"A", REG_BINARY, "1"}}},
        {"subkeys of Responses are deleted with it",
         {{"DriverDesc", "Modem X"}, {"Manufacturer", "M"}, {"ProviderName", "P"}},
         {{"A", REG_BINARY, "1"}},
         "Sub\\Deeper", "Modem X::M::P",
         {{"A", REG_BINARY, "1"}}},
        {"missing texts count as empty",
         {{"Manufacturer", "M"}},
         {},
         nullptr, "::M::",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string driverKey = std::string(kScratchKey) + "\\Driver";
        for (const auto& text : c.texts) machine::SetMachineString(driverKey, text.first, text.second);
        machine::CreateMachineKey(driverKey + "\\Responses");
        for (const Value& value : c.responses) SetValue(driverKey + "\\Responses", value.name.c_str(), value.type,
                                                        value.data);
        if (c.subkey) SetValue(driverKey + "\\Responses\\" + c.subkey, "X", REG_SZ, std::string("x\0", 2));
        const std::string shared = std::string(kResponsesRoot) + c.sharedName;

        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, driverKey.c_str(), 0, KEY_ALL_ACCESS, &key));
        m_engine.PublishModemResponses(key);
        RegCloseKey(key);

        EXPECT_EQ(c.sharedName, StringOr(driverKey, "ResponsesKeyName"));
        EXPECT_EQ(1u, NumberOr(shared, "RefCount"));
        EXPECT_TRUE(machine::MachineKeyExists(shared + "\\Responses"));
        EXPECT_EQ(c.copied, ValuesOf(shared + "\\Responses"));
        EXPECT_FALSE(machine::MachineKeyExists(driverKey + "\\Responses"));

        machine::DeleteMachineKey(shared);
        machine::DeleteMachineKey(kScratchKey);
    }
}

}  // namespace
