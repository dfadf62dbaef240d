// Cleaning steps of removal taken one at a time, where the whole pass cannot
// show a case: AddService lines, the wave-entry walk, the response table, the
// signature scan of INF text, protected files, and records whose key paths
// are unknown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_engine.h"
#include "support/machine.h"
#include "support/test_support.h"

namespace {

const char kWaveKey[] = "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\Wave";

class ScopedPassDeviceSet {
public:
    ScopedPassDeviceSet() { g_hDevInfo = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES); }
    ~ScopedPassDeviceSet()
    {
        SetupDiDestroyDeviceInfoList(g_hDevInfo);
        g_hDevInfo = INVALID_HANDLE_VALUE;
    }
};

class RemoveStepsTest : public ::testing::Test {
protected:
    void SetUp() override { ReadWindowsDirectory(); }
    CSetupEngine m_engine;
};

TEST_F(RemoveStepsTest, ServicesOfAddServiceLinesInTheFirstColumnAreDeleted)
{
    struct Case {
        const char* line;
        const char* service;
        bool deleted;
    } cases[] = {
        {"AddService = StepSvcPlain, 0x00000002, Svc_Inst", "StepSvcPlain", true},
        {"addservice=StepSvcTight,2,Svc_Inst", "StepSvcTight", true},
        {"AddService = StepSvcOwn, , Other_Section", "StepSvcOwn", true},
        {"   AddService = StepSvcIndented, 2, Svc_Inst", "StepSvcIndented", false},
        {";AddService = StepSvcComment, 2, Svc_Inst", "StepSvcComment", false},
        {"AddService=StepSvcBlank ,2,Svc_Inst", "StepSvcBlank", false},  // looks up "STEPSVCBLANK "
        {"AddService = StepSvcNoComma", "StepSvcNoComma", false},
        {"AddService, StepSvcEarlyComma = 2", "StepSvcEarlyComma", false},
    };
    std::string text = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n[Any.Section]\r\n";
    for (const Case& c : cases) {
        ASSERT_TRUE(machine::CreateTestService(c.service)) << c.service;
        text += std::string(c.line) + "\r\n";
    }
    ScratchFolder folder;
    DriverInfRecord record;
    record.infPath = folder.Write("services.inf", text);
    record.isPrimary = false;  // child records count too
    m_engine.DeleteInfServices(record);

    for (const Case& c : cases) {
        EXPECT_EQ(!c.deleted, machine::ServiceExists(c.service)) << c.line;
        machine::DeleteTestService(c.service);
    }
    DriverInfRecord noInf;
    m_engine.DeleteInfServices(noInf);  // nothing to read
}

TEST_F(RemoveStepsTest, WaveWalkStopsAtTheFirstEntryWithoutSoftwareKey)
{
    const std::string childKey = "SYSTEM\\CurrentControlSet\\Services\\Class\\MEDIA\\0042";
    DriverInfRecord child;
    child.isDevice = true;
    child.isPrimary = false;
    child.driverKeyPath = childKey.c_str();
    struct Case {
        const char* name;
        std::vector<const char*> softwareKeys;  // one wave entry each, in enumeration order
        int deletedEntry;                       // -1: none
        bool primary;
    } cases[] = {
        {"match in another letter case", {"SYSTEM\\CurrentControlSet\\Services\\Class\\MEDIA\\0001",
                                          "system\\currentcontrolset\\services\\class\\media\\0042"}, 1, false},
        {"an entry without SoftwareKey ends the walk", {nullptr, childKey.c_str()}, -1, false},
        {"primary records have no wave entry", {childKey.c_str()}, -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> entries;
        for (size_t i = 0; i < c.softwareKeys.size(); ++i)
            entries.push_back(machine::AddWaveEntry("000" + std::to_string(i), c.softwareKeys[i]));
        child.isPrimary = c.primary;
        m_engine.DeleteWaveEntry(child);
        for (size_t i = 0; i < entries.size(); ++i)
            EXPECT_EQ(static_cast<int>(i) != c.deletedEntry, machine::MachineKeyExists(entries[i])) << entries[i];
        machine::DeleteMachineKey(kWaveKey);
    }
}

TEST_F(RemoveStepsTest, ResponseTableGoesWhileTheDriverKeyCanStillBeOpened)
{
    ScopedVersion xp(kWinXp);
    const char* const responsesRoot = "Software\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\";
    const std::string device = "ROOT\\STEPRESP\\0001";
    ASSERT_TRUE(machine::CreateDevice(device, {"STEP\\RESPONSES"}));
    ASSERT_TRUE(machine::SetDriverString(device, "ResponsesKeyName", "StepModem"));
    machine::CreateMachineKey(std::string(responsesRoot) + "StepModem\\Init");
    machine::CreateMachineKey(std::string(responsesRoot) + "StepOther");
    {
        ScopedPassDeviceSet set;
        SP_DEVINFO_DATA data = {};
        data.cbSize = sizeof(data);
        for (DWORD i = 0; SetupDiEnumDeviceInfo(g_hDevInfo, i, &data); ++i) {
            DriverInfRecord record;
            record.devInfoData = data;
            record.isDevice = true;
            m_engine.ReadDeviceDetails(record);
            if (record.hardwareId == "STEP\\RESPONSES") m_engine.DeleteResponsesKey(record);
        }
    }
    EXPECT_FALSE(machine::MachineKeyExists(std::string(responsesRoot) + "StepModem"));
    EXPECT_TRUE(machine::MachineKeyExists(std::string(responsesRoot) + "StepOther"));

    // An empty name must not take the parent of every modem's table with it.
    ASSERT_TRUE(machine::SetDriverString(device, "ResponsesKeyName", ""));
    {
        ScopedPassDeviceSet set;
        SP_DEVINFO_DATA data = {};
        data.cbSize = sizeof(data);
        for (DWORD i = 0; SetupDiEnumDeviceInfo(g_hDevInfo, i, &data); ++i) {
            DriverInfRecord record;
            record.devInfoData = data;
            record.isDevice = true;
            m_engine.DeleteResponsesKey(record);
        }
    }
    EXPECT_TRUE(machine::MachineKeyExists(std::string(responsesRoot) + "StepOther"));
    machine::DeleteMachineKey(std::string(responsesRoot) + "StepOther");
    machine::RemoveDeviceIfPresent(device);
}

TEST_F(RemoveStepsTest, DevicesWithoutKnownKeyPathsLeaveTheClassAndEnumTreesAlone)
{
    ScopedVersion xp(kWinXp);
    const std::string device = "ROOT\\STEPNODRIVER\\0001";
    ASSERT_TRUE(machine::CreateDevice(device, {"STEP\\NODRIVER"}));
    // The enumeration key names an empty driver: its path would be the whole class tree.
    ASSERT_TRUE(machine::SetMachineString(machine::EnumKeyPath(device), "Driver", ""));
    {
        ScopedPassDeviceSet set;
        SP_DEVINFO_DATA data = {};
        data.cbSize = sizeof(data);
        for (DWORD i = 0; SetupDiEnumDeviceInfo(g_hDevInfo, i, &data); ++i) {
            DriverInfRecord record;
            record.devInfoData = data;
            record.isDevice = true;
            m_engine.ReadDeviceDetails(record);
            if (record.hardwareId != "STEP\\NODRIVER") continue;
            EXPECT_EQ(CString(machine::EnumKeyPath(device).c_str()), record.enumKeyPath);
            EXPECT_TRUE(record.driverKeyPath.IsEmpty());
            m_engine.DeleteDeviceKeys(record, KEYS_NT);
            {
                ScopedVersion win98(kWin98);
                record.enumKeyPath.Empty();
                m_engine.DeleteDeviceKeys(record, KEYS_9X);
            }
        }
    }
    EXPECT_TRUE(machine::MachineKeyExists("SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}"));
    EXPECT_TRUE(machine::DeviceExists(device));
    machine::RemoveDeviceIfPresent(device);
}

TEST_F(RemoveStepsTest, RecordsThatAreNoDevicesCountAsRemoved)
{
    EXPECT_FALSE(m_engine.RemoveDevices());  // empty list
    m_engine.m_infRecords.resize(1);
    ScopedPassDeviceSet set;
    EXPECT_TRUE(m_engine.RemoveDevices());
    DriverInfRecord stale;
    stale.isDevice = true;  // an element that is in no list: the class installer fails
    EXPECT_FALSE(m_engine.RemoveDevice(stale));
    m_engine.m_infRecords.push_back(stale);
    EXPECT_TRUE(m_engine.RemoveDevices());
}

TEST(RemoveTextTest, ProtectedFilesAndSignatureMentions)
{
    for (const char* path : {"C:\\WINDOWS\\system32\\drivers\\ccport.sys", "WDMMDMLD.VXD", "x\\CcPort.Sys"})
        EXPECT_TRUE(IsProtectedFile(path)) << path;
    for (const char* path : {"C:\\WINDOWS\\system32\\ccport.sys.bak", "C:\\CCPORT.SYS\\modem.sys", "", "xccport.sys"})
        EXPECT_FALSE(IsProtectedFile(path)) << path;

    struct Case {
        const char* name;
        std::string text;
        bool mentions;
    } cases[] = {
        {"AddReg value name", "[Version]\r\n[X.AddReg]\r\nHKR,,VXSignature,,%Sig%\r\n", true},
        {"comment, lower case", "; vxsignature is not written here\r\n", true},
        {"string", "[Strings]\r\nName=\"the VXSIGNATUREs\"\r\n", true},
        {"after the first 510 characters of a line", std::string(600, ' ') + "VXSignature\r\n", true},
        {"split by the 510-character read", std::string(505, ' ') + "VXSignature\r\n", false},
        {"no mention", "[Version]\r\nSignature=\"$CHICAGO$\"\r\nVX Signature\r\n", false},
        {"empty file", "", false},
    };
    ScratchFolder folder;
    for (const Case& c : cases) {
        CString path = folder.Write("scan.inf", c.text);
        EXPECT_EQ(c.mentions, InfMentionsSignature(path)) << c.name;
    }
    EXPECT_FALSE(InfMentionsSignature(folder.Path() + "absent.inf"));
}

}  // namespace
