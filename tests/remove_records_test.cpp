// Driver records and how removal finds them: INF identity, device details with
// their buffer limits, signed devices with their children, package records
// bound to present devices.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_engine.h"
#include "support/machine.h"
#include "support/test_support.h"

namespace {

const std::vector<std::string> kModemIds =
    machine::PciHardwareIds("PCI\\VEN_8086&DEV_2416", "00000000", "01");

// g_hDevInfo as a removal pass opens it, for calling its steps one by one.
class ScopedPassDeviceSet {
public:
    ScopedPassDeviceSet() { g_hDevInfo = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES); }
    ~ScopedPassDeviceSet()
    {
        if (g_hDevInfo != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(g_hDevInfo);
        g_hDevInfo = INVALID_HANDLE_VALUE;
    }
};

// Devices a test makes are removed again when it ends.
class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override { ReadWindowsDirectory(); }
    void TearDown() override
    {
        for (const std::string& id : m_devices) machine::RemoveDeviceIfPresent(id);
        machine::ClearChildDevices();
    }
    const std::string& Device(const std::string& instanceId, const std::vector<std::string>& ids = kModemIds)
    {
        EXPECT_TRUE(machine::CreateDevice(instanceId, ids)) << instanceId;
        m_devices.push_back(instanceId);
        return m_devices.back();
    }
    const std::string& SignedDevice(const std::string& instanceId, const std::string& signature,
                                    const std::vector<std::string>& ids = kModemIds)
    {
        Device(instanceId, ids);
        EXPECT_TRUE(machine::SetDriverString(instanceId, "VXSignature", signature));
        return m_devices.back();
    }
    // The record whose enumeration key names the device, or null.
    const DriverInfRecord* RecordOf(const std::string& instanceId) const
    {
        for (const DriverInfRecord& record : m_engine.m_infRecords)
            if (_stricmp(record.enumKeyPath, machine::EnumKeyPath(instanceId).c_str()) == 0) return &record;
        return nullptr;
    }

    ScopedVersion m_xp{kWinXp};
    CSetupEngine m_engine;
    std::vector<std::string> m_devices;
};

TEST_F(RecordsTest, ACopiedRecordOwnsItsStringsListsAndCommandSets)
{
    machine::SetMachineString("SOFTWARE\\ModemSetupTests\\Commands\\1", "Path", "%WINDIR%\\one.exe");
    machine::SetMachineString("SOFTWARE\\ModemSetupTests\\Commands2\\2", "Path", "two.exe");
    HKEY first = nullptr, second = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ModemSetupTests\\Commands", 0, KEY_READ, &first));
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ModemSetupTests\\Commands2", 0, KEY_READ, &second));

    DriverInfRecord original;
    original.infPath = "C:\\WINDOWS\\INF\\OEM1.INF";
    original.hardwareIds = {"PCI\\VEN_8086&DEV_2416"};
    original.preCommands.LoadFromKey(first);
    original.devInfoData.DevInst = 42;

    std::vector<DriverInfRecord> list;
    list.push_back(original);
    DriverInfRecord copy = list.front();
    copy.infPath += "X";
    copy.hardwareIds.push_back("OTHER");
    copy.preCommands.LoadFromKey(second);
    copy.devInfoData.DevInst = 7;
    RegCloseKey(first);
    RegCloseKey(second);
    machine::DeleteMachineKey("SOFTWARE\\ModemSetupTests");

    for (const DriverInfRecord* record : {&original, &list.front()}) {
        EXPECT_EQ(CString("C:\\WINDOWS\\INF\\OEM1.INF"), record->infPath);
        EXPECT_EQ(1u, record->hardwareIds.size());
        ASSERT_EQ(1u, record->preCommands.Count());
        EXPECT_EQ(g_windowsDir + "\\one.exe", record->preCommands.Commands().begin()->second);
        EXPECT_EQ(42u, record->devInfoData.DevInst);
        EXPECT_EQ(sizeof(SP_DEVINFO_DATA), record->devInfoData.cbSize);
        EXPECT_TRUE(record->isPrimary);
        EXPECT_FALSE(record->isDevice);
        EXPECT_EQ(0, record->installNeedsRestart);
    }
    EXPECT_EQ(2u, copy.preCommands.Count());
    EXPECT_EQ(2u, copy.hardwareIds.size());
}

TEST_F(RecordsTest, InfIdentityFollowsManufacturerAndModelsLines)
{
    const std::string header = "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Modem\r\n";
    const std::string longLine = "[Models]\r\n%A%=MODEM1,PCI\\FIRST\r\n%B%=MODEM9," + std::string(600, 'X') + "\r\n";
    struct Case {
        const char* name;
        std::string text;
        const char* models;                     // null: the record stays as it was
        const char* section;
        std::vector<std::string> ids;
    } cases[] = {
        {"two install sections: the last line decides", header +
             "[Manufacturer]\r\n%M%=Models_Sec\r\n[Models_Sec]\r\n%A%=modem1,pci\\ven_8086&dev_2416\r\n"
             "%B%=Modem2,PCI\\VEN_8086&DEV_2417\r\n[Strings]\r\nM=\"Maker\"\r\nA=\"a\"\r\nB=\"b\"\r\n",
         "Models_Sec", "MODEM2", {"PCI\\VEN_8086&DEV_2416", "PCI\\VEN_8086&DEV_2417"}},
        {"two ids after the section stay one entry", header +
             "[Manufacturer]\r\nMaker=Models\r\n[Models]\r\nModem=MODEM1,PCI\\A,PCI\\B\r\n",
         "Models", "MODEM1", {"PCI\\A,PCI\\B"}},
        {"a manufacturer line naming no section is passed over", header +
             "[Manufacturer]\r\nMaker=Missing\r\nMaker2=Present\r\n[Present]\r\nModem=MDM,PCI\\C\r\n",
         "Present", "MDM", {"PCI\\C"}},
        {"a models line without comma is a whole entry", header +
             "[Manufacturer]\r\nMaker=Models\r\n[Models]\r\nModem=PCI\\ONLY\r\n",
         "Models", "OLD", {"PCI\\ONLY"}},
        {"a line longer than the buffer is skipped", header + "[Manufacturer]\r\nMaker=Models\r\n" + longLine,
         "Models", "MODEM1", {"PCI\\FIRST"}},
        {"no manufacturer section", header + "[Models]\r\nModem=MODEM1,PCI\\X\r\n", nullptr, nullptr, {}},
        {"no named section exists", header + "[Manufacturer]\r\nMaker=Gone\r\n", nullptr, nullptr, {}},
    };
    ScratchFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CString path = folder.Write("identity.inf", c.text);
        DriverInfRecord record;
        record.installSection = "OLD";
        record.modelsSection = "OldModels";
        record.hardwareIds = {"OLD\\ID"};
        m_engine.ReadInfIdentity(record, path);
        if (!c.models) {
            EXPECT_TRUE(record.infPath.IsEmpty());
            EXPECT_EQ(CString("OldModels"), record.modelsSection);
            EXPECT_EQ(CString("OLD"), record.installSection);
            EXPECT_EQ(std::vector<CString>{"OLD\\ID"}, record.hardwareIds);
            continue;
        }
        CString upper = path;
        EXPECT_EQ(upper.MakeUpper(), record.infPath);
        EXPECT_EQ(CString(c.models), record.modelsSection);
        EXPECT_EQ(CString(c.section), record.installSection);
        std::vector<CString> ids(c.ids.begin(), c.ids.end());
        EXPECT_EQ(ids, record.hardwareIds);
    }

    DriverInfRecord missing;
    m_engine.ReadInfIdentity(missing, folder.Path() + "absent.inf");
    EXPECT_TRUE(missing.infPath.IsEmpty());
}

TEST_F(RecordsTest, SignedDevicesAreFoundWithTheirDetailsWithinTheBufferSizes)
{
    // The installed INF lies only in inf\other.
    machine::ModemInf inf;
    inf.installSection = "SIGNEDMDM";
    inf.signature = "REC_SIG";
    std::string infPath = machine::InstallInf("other\\recsig1.inf", inf.Text());
    const std::string longestSignature(199, 'S');  // 200 bytes with its NUL
    const std::string longId = "PCI\\VEN_8086&DEV_2416&" + std::string(300, 'L');

    SignedDevice("ROOT\\RECTEST\\0001", "REC_SIG");
    machine::SetDriverString("ROOT\\RECTEST\\0001", "InfPath", "recsig1.inf");
    SignedDevice("ROOT\\RECTEST\\0002", longestSignature);
    machine::SetDriverString("ROOT\\RECTEST\\0002", "InfPath", std::string(200, 'n'));  // 201 bytes: unreadable
    SignedDevice("ROOT\\RECTEST\\0003", longestSignature + "S");                        // 201 bytes: absent
    SignedDevice("ROOT\\RECTEST\\0004", "", {longId, "PCI\\VEN_8086&DEV_2416"});
    Device("ROOT\\RECTEST\\0005");  // no signature value
    // An INF in both places: the one in inf itself is read.
    machine::ModemInf twin = inf;
    twin.installSection = "TWININF";
    std::string twinPath = machine::InstallInf("recsig2.inf", twin.Text());
    twin.installSection = "TWINOTHER";
    std::string twinOtherPath = machine::InstallInf("other\\recsig2.inf", twin.Text());
    SignedDevice("ROOT\\RECTEST\\0006", "REC_SIG");
    machine::SetDriverString("ROOT\\RECTEST\\0006", "InfPath", "recsig2.inf");

    {
        ScopedPassDeviceSet set;
        m_engine.SnapshotHardwareIds();
        m_engine.FindSignedDevices();
    }

    const DriverInfRecord* first = RecordOf("ROOT\\RECTEST\\0001");
    ASSERT_NE(nullptr, first);
    EXPECT_TRUE(first->isDevice);
    EXPECT_TRUE(first->isPrimary);
    EXPECT_EQ(CString("REC_SIG"), first->signature);
    CString expectedInf = (infPath.c_str());
    EXPECT_EQ(expectedInf.MakeUpper(), first->infPath);
    EXPECT_EQ(CString("SIGNEDMDM"), first->installSection);
    EXPECT_EQ(CString("Models"), first->modelsSection);
    EXPECT_EQ(CString(kModemIds[0].c_str()), first->hardwareId);
    EXPECT_EQ(CString(machine::DriverKeyPath("ROOT\\RECTEST\\0001").c_str()), first->driverKeyPath);
    EXPECT_FALSE(first->driverKeyPath.IsEmpty());

    const DriverInfRecord* longest = RecordOf("ROOT\\RECTEST\\0002");
    ASSERT_NE(nullptr, longest);
    EXPECT_EQ(CString(longestSignature.c_str()), longest->signature);
    EXPECT_TRUE(longest->infPath.IsEmpty());

    const DriverInfRecord* twinRecord = RecordOf("ROOT\\RECTEST\\0006");
    ASSERT_NE(nullptr, twinRecord);
    EXPECT_EQ(CString("TWININF"), twinRecord->installSection);

    EXPECT_EQ(nullptr, RecordOf("ROOT\\RECTEST\\0003"));
    EXPECT_EQ(nullptr, RecordOf("ROOT\\RECTEST\\0005"));

    // An empty signature still makes a record; a first id over 256 bytes is unreadable
    // there, though the snapshot (512 bytes) has it.
    const DriverInfRecord* empty = RecordOf("ROOT\\RECTEST\\0004");
    ASSERT_NE(nullptr, empty);
    EXPECT_TRUE(empty->signature.IsEmpty());
    EXPECT_TRUE(empty->hardwareId.IsEmpty());
    CString upperLong = longId.c_str();
    upperLong.MakeUpper();
    EXPECT_NE(m_engine.m_presentHardwareIds.end(),
              std::find(m_engine.m_presentHardwareIds.begin(), m_engine.m_presentHardwareIds.end(), upperLong));

    for (const std::string& path : {infPath, twinPath, twinOtherPath}) {
        DeleteFileA(path.c_str());
        DeleteFileA(machine::PnfOf(path).c_str());
    }
}

TEST_F(RecordsTest, ChildrenAreListedDownTheChainOrRemovedAtOnceWhenDevicesAreKept)
{
    machine::ScopedDeviceTree tree;
    SignedDevice("ROOT\\CHAINTEST\\0001", "CHAIN");
    Device("ROOT\\CHAINTEST\\0002", {"MDMCHILD\\WAVE"});
    Device("ROOT\\CHAINTEST\\0003", {"MDMCHILD\\GRANDCHILD"});
    machine::SetChildDevice("ROOT\\CHAINTEST\\0001", "ROOT\\CHAINTEST\\0002");
    machine::SetChildDevice("ROOT\\CHAINTEST\\0002", "ROOT\\CHAINTEST\\0003");
    // A child that names its parent again must not make the walk go round.
    machine::SetChildDevice("ROOT\\CHAINTEST\\0003", "ROOT\\CHAINTEST\\0001");
    {
        ScopedPassDeviceSet set;
        m_engine.FindSignedDevices();
        m_engine.FindChildDevices(0);
    }
    ASSERT_EQ(3u, m_engine.m_infRecords.size());
    EXPECT_EQ(RecordOf("ROOT\\CHAINTEST\\0001"), &m_engine.m_infRecords[0]);
    EXPECT_EQ(RecordOf("ROOT\\CHAINTEST\\0002"), &m_engine.m_infRecords[1]);
    EXPECT_EQ(RecordOf("ROOT\\CHAINTEST\\0003"), &m_engine.m_infRecords[2]);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_TRUE(m_engine.m_infRecords[i].isDevice);
        EXPECT_FALSE(m_engine.m_infRecords[i].isPrimary);
        EXPECT_TRUE(m_engine.m_infRecords[i].signature.IsEmpty());
    }
    EXPECT_EQ(CString("MDMCHILD\\WAVE"), m_engine.m_infRecords[1].hardwareId);

    // Kept devices: the child goes at once and is not listed.
    m_engine.ClearItems();
    machine::ClearChildDevices();
    machine::SetChildDevice("ROOT\\CHAINTEST\\0001", "ROOT\\CHAINTEST\\0002");
    {
        ScopedPassDeviceSet set;
        m_engine.FindSignedDevices();
        m_engine.FindChildDevices(1);
    }
    ASSERT_EQ(1u, m_engine.m_infRecords.size());
    EXPECT_TRUE(machine::DeviceExists("ROOT\\CHAINTEST\\0001"));
    EXPECT_FALSE(machine::DeviceExists("ROOT\\CHAINTEST\\0002"));
    EXPECT_TRUE(machine::DeviceExists("ROOT\\CHAINTEST\\0003"));
}

TEST_F(RecordsTest, WinesChildStubNamesNoChild)
{
    // The built-in configuration manager reports success for CM_Get_Child and
    // writes nothing: no device may be taken for a child.
    SignedDevice("ROOT\\STUBTEST\\0001", "STUB");
    DWORD devicesBefore = 0, devicesAfter = 0;
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof(data);
    {
        ScopedPassDeviceSet set;
        while (SetupDiEnumDeviceInfo(g_hDevInfo, devicesBefore, &data)) ++devicesBefore;
        m_engine.FindSignedDevices();
        m_engine.FindChildDevices(0);
        m_engine.FindChildDevices(1);
    }
    {
        ScopedPassDeviceSet set;
        while (SetupDiEnumDeviceInfo(g_hDevInfo, devicesAfter, &data)) ++devicesAfter;
    }
    EXPECT_EQ(devicesBefore, devicesAfter);
    ASSERT_EQ(1u, m_engine.m_infRecords.size());
    EXPECT_EQ(CString("STUB"), m_engine.m_infRecords[0].signature);
    EXPECT_TRUE(machine::DeviceExists("ROOT\\STUBTEST\\0001"));
}

TEST_F(RecordsTest, PackageRecordsBindToPresentDevicesOrTakeTheShortestSnapshotId)
{
    // The device bound first keeps its installed INF's identity.
    machine::ModemInf installed;
    installed.installSection = "INSTALLEDMDM";
    std::string installedPath = machine::InstallInf("recbind1.inf", installed.Text());
    Device("PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&BIND&0&FD");
    machine::SetDriverString("PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&BIND&0&FD", "InfPath",
                             "recbind1.inf");
    Device("PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&BINE&0&FD");  // matches as well, listed later

    ScratchFolder package;
    machine::ModemInf modem;  // PCI\VEN_8086&DEV_2416, MODEM1
    machine::ModemInf other;
    other.hardwareId = "pci\\ven_1234&dev_0001";
    other.installSection = "OTHERMDM";
    machine::ModemInf broken;
    broken.manufacturer = false;
    package.Write("a_modem.inf", modem.Text());
    package.Write("b_same.inf", modem.Text());
    package.Write("c_other.inf", other.Text());
    package.Write("d_broken.inf", broken.Text());
    package.Write("e_empty.inf", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n[Manufacturer]\r\nM=Models\r\n"
                                 "[Models]\r\nModem=EMPTYMDM,\r\n");
    package.Write("readme.txt", "not an INF");

    // Identifiers of devices that an earlier pass removed.
    m_engine.m_presentHardwareIds = {"PCI\\VEN_1234&DEV_0001&SUBSYS_11112222&REV_01",
                                     "PCI\\VEN_1234&DEV_0001&REV_02", "PCI\\VEN_1234&DEV_0001&SUBSYS_11112222",
                                     "PCI\\VEN_1234&DEV_0001&REV_01", "PCI\\VEN_9999&DEV_0001"};
    {
        ScopedPassDeviceSet set;
        ASSERT_TRUE(m_engine.LoadPackageInfs(package.Path()));
        m_engine.BindPackageItems();
        m_engine.CompleteHardwareIds();
    }
    ASSERT_EQ(5u, m_engine.m_infRecords.size());
    for (size_t bound = 0; bound < 2; ++bound) {
        const DriverInfRecord& record = m_engine.m_infRecords[bound];
        EXPECT_TRUE(record.isDevice);
        EXPECT_TRUE(record.isPrimary);
        EXPECT_EQ(CString("PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01"), record.hardwareId);
        CString expected = installedPath.c_str();
        EXPECT_EQ(expected.MakeUpper(), record.infPath);
        EXPECT_EQ(CString("INSTALLEDMDM"), record.installSection);
        EXPECT_EQ(CString(machine::EnumKeyPath("PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&BIND&0&FD").c_str()),
                  record.enumKeyPath);
    }
    const DriverInfRecord& unbound = m_engine.m_infRecords[2];
    EXPECT_FALSE(unbound.isDevice);
    EXPECT_EQ(CString("OTHERMDM"), unbound.installSection);
    EXPECT_EQ(CString("PCI\\VEN_1234&DEV_0001&REV_02"), unbound.hardwareId);
    EXPECT_TRUE(m_engine.m_infRecords[3].infPath.IsEmpty());
    EXPECT_TRUE(m_engine.m_infRecords[3].hardwareId.IsEmpty());
    // A models line ending in its comma names no device.
    const DriverInfRecord& endsInComma = m_engine.m_infRecords[4];
    EXPECT_EQ(CString("EMPTYMDM"), endsInComma.installSection);
    EXPECT_FALSE(endsInComma.isDevice);
    EXPECT_TRUE(endsInComma.hardwareId.IsEmpty());

    ScratchFolder empty;
    EXPECT_FALSE(m_engine.LoadPackageInfs(empty.Path()));
    DeleteFileA(installedPath.c_str());
    DeleteFileA(machine::PnfOf(installedPath).c_str());
}

}  // namespace
