// Whole removal passes on a few machines: the uninstall run on Windows XP and
// on Windows 98, the installation's two passes (without and with the package
// folder), and the passes that end early.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_engine.h"
#include "platform/late_binding.h"
#include "support/machine.h"
#include "support/test_support.h"

namespace {

using machine::PciHardwareIds;

const std::vector<int> kCompleteProgress = {1000, 2000, 3000, 3500, 4000};
const char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kResponsesRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\";

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool Exists(const std::string& path) { return FileExists(path.c_str()); }

class RemoveSequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReadWindowsDirectory();
        m_log = std::string(m_scratch.Path().c_str()) + "run.log";
        // The extension library stand-in writes into the same log as the commands.
        SetEnvironmentVariableA("ZEDOR_FIXTURE_LOG", m_log.c_str());
        late_binding::SetExtensionLibraryName("zedor_fixture.dll");
        m_engine.m_hWndNotify = m_progress.Handle();
    }
    void TearDown() override
    {
        for (const std::string& id : m_devices) machine::RemoveDeviceIfPresent(id);
        for (const std::string& path : m_files) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
        for (const std::string& key : m_keys) machine::DeleteMachineKey(key);
        for (const std::string& service : m_services) machine::DeleteTestService(service);
        machine::ClearChildDevices();
        machine::ClearPendingOperations();
        late_binding::SetExtensionLibraryName(nullptr);
        SetEnvironmentVariableA("ZEDOR_FIXTURE_LOG", nullptr);
    }

    void Device(const std::string& id, const std::vector<std::string>& hardwareIds)
    {
        ASSERT_TRUE(machine::CreateDevice(id, hardwareIds)) << id;
        m_devices.push_back(id);
    }
    void SignedDevice(const std::string& id, const std::vector<std::string>& hardwareIds,
                      const std::string& signature, const std::string& infName)
    {
        ASSERT_TRUE(machine::CreateSignedDevice(id, hardwareIds, signature, infName)) << id;
        m_devices.push_back(id);
    }
    std::string Inf(const std::string& relativeName, const std::string& text)
    {
        std::string path = machine::InstallInf(relativeName, text);
        m_files.push_back(path);
        m_files.push_back(machine::PnfOf(path));
        return path;
    }
    std::string SystemFile(const std::string& name)
    {
        m_files.push_back(machine::InstallSystemFile(name));
        return m_files.back();
    }
    std::string Key(const std::string& path)
    {
        EXPECT_TRUE(machine::CreateMachineKey(path));
        m_keys.push_back(path);
        return path;
    }
    void Service(const std::string& name)
    {
        ASSERT_TRUE(machine::CreateTestService(name));
        m_services.push_back(name);
    }
    // A setup command that logs its tag and whether the path exists when it runs.
    void Command(const std::string& device, const char* phase, const char* name, const std::string& tag,
                 const std::string& checkedPath)
    {
        std::string line = std::string("\"") + BinaryDirectory().c_str() + "\\bin\\command_log.exe\" \"" + m_log +
                           "\" " + tag + " " + checkedPath;
        ASSERT_TRUE(machine::AddSetupCommand(device, phase, name, line));
    }
    std::vector<std::string> Log() const { return LinesOf(ReadWholeFile(m_log.c_str())); }
    std::string ExtensionLine(const std::string& command) const { return "0|0|" + command + "|0"; }

    ScratchFolder m_scratch;
    std::string m_log;
    machine::ProgressWindow m_progress;
    CSetupEngine m_engine;
    std::vector<std::string> m_devices, m_files, m_keys, m_services;
};

// The uninstall run of the dialog on Windows XP, with Total Cleanup.
TEST_F(RemoveSequenceTest, UninstallOnXpRemovesEverythingTheSignedDevicesLeft)
{
    ScopedVersion xp(kWinXp);
    machine::ScopedDeviceTree tree;
    const std::vector<std::string> modemIds = PciHardwareIds("PCI\\VEN_8086&DEV_2416", "00000000", "01");
    const std::string deviceA = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&SEQA&0&FD";
    const std::string deviceB = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&SEQB&0&FD";
    const std::string unsignedDevice = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&SEQU&0&FD";
    const std::string childA = "ROOT\\SEQCHILD\\0001";

    // Two installed signed modems, A's INF in inf, B's in inf\other; A has a child.
    machine::ModemInf infA;
    infA.signature = "VXSEQ_A";
    infA.files = {"seqa1.sys", "CCPORT.SYS"};
    infA.ntFiles = {"seqa2.dll", "wdmmdmld.vxd", "seqa_busy.dll"};
    infA.coinstallerFiles = {"seqaco.dll"};
    infA.services = {"SeqSvcA"};
    machine::ModemInf infB;
    infB.signature = "VXSEQ_B";
    infB.files = {"seqb1.sys"};
    infB.ntFiles = {"seqb2.dll"};
    infB.services = {"SeqSvcB"};
    // The child's own INF names files and a service too.
    machine::ModemInf waveInf;
    waveInf.hardwareId = "MDMCHILD\\SEQWAVE";
    waveInf.files = {"seqwave.sys"};
    waveInf.services = {"SeqWaveSvc"};
    const std::string infPathA = Inf("oemseqa.inf", infA.Text());
    const std::string infPathB = Inf("other\\oemseqb.inf", infB.Text());
    const std::string waveInfPath = Inf("seqwave.inf", waveInf.Text());
    SignedDevice(deviceA, modemIds, "VXSEQ_A", "oemseqa.inf");
    SignedDevice(deviceB, modemIds, "VXSEQ_B", "oemseqb.inf");
    Device(childA, {"MDMCHILD\\SEQWAVE"});
    ASSERT_TRUE(machine::SetDriverString(childA, "InfPath", "seqwave.inf"));
    Device(unsignedDevice, modemIds);
    machine::SetChildDevice(deviceA, childA);
    const std::string driverKeyA = machine::DriverKeyPath(deviceA);
    const std::string driverKeyB = machine::DriverKeyPath(deviceB);
    ASSERT_FALSE(driverKeyA.empty());

    // Their driver files; one is in use.
    std::vector<std::string> driverFiles;
    for (const char* name : {"seqa1.sys", "seqa2.dll", "seqaco.dll", "seqb1.sys", "seqb2.dll"})
        driverFiles.push_back(SystemFile(name));
    const std::string waveFile = SystemFile("seqwave.sys");
    const std::string busyFile = SystemFile("seqa_busy.dll");
    const std::string ccport = SystemFile("CCPORT.SYS");
    const std::string wdmmdmld = SystemFile("WDMMDMLD.VXD");
    machine::HeldOpenFile busy(busyFile);
    ASSERT_TRUE(busy.IsOpen());

    // Other INF files of the inf folder.
    machine::ModemInf signedOnly;
    signedOnly.signature = "VXSEQ_OLD";
    machine::ModemInf plain;
    machine::ModemInf signedWithoutManufacturer = signedOnly;
    signedWithoutManufacturer.manufacturer = false;
    const std::string oldSigned = Inf("other\\seqold.inf", signedOnly.Text());
    const std::string commented = Inf("seqcomment.inf", "; keeps no VXSignature value\r\n" + plain.Text());
    const std::string noManufacturer = Inf("seqnomfg.inf", signedWithoutManufacturer.Text());
    const std::string unsignedInf = Inf("sequnsigned.inf", plain.Text());

    // Services, registry entries, the component folder.
    for (const char* name : {"SeqSvcA", "SeqSvcB", "SeqWaveSvc", "SeqSvcOther"}) Service(name);
    for (const char* key : {"VXAMRMV\\Sub", "VXAMRNTO", "VXAMRNTV", "VXSEQ_A", "VXSEQ_B", "SeqOtherProduct"})
        Key(std::string(kUninstallRoot) + key);
    Key("SOFTWARE\\Quenzaric\\Tarvo\\Settings");
    Key(std::string(kResponsesRoot) + "SeqModemA\\Responses");
    Key(std::string(kResponsesRoot) + "SeqOtherModem");
    m_keys.push_back("SOFTWARE\\Quenzaric");
    ASSERT_TRUE(machine::SetDriverString(deviceA, "ResponsesKeyName", "SeqModemA"));
    const std::string tarvo = machine::WindowsFolder() + "\\Tarvo";
    ASSERT_TRUE(machine::WriteTextFile(tarvo + "\\VXSEQ_A\\VXExtBU.exe", "restore tool"));

    // Setup commands: A's Pre and Post sets in key order 1, 10, 2; one each on B.
    for (const char* name : {"2", "10", "1"}) {
        Command(deviceA, "Pre", name, std::string("A-pre-") + name, "%WINDIR%\\system32\\seqa1.sys");
        Command(deviceA, "Post", name, std::string("A-post-") + name, "%windir%\\system32\\seqa1.sys");
    }
    Command(deviceB, "Pre", "1", "B-pre-1", infPathB);
    Command(deviceB, "Post", "1", "B-post-1", infPathB);

    EXPECT_EQ(REMOVE_RESTART, m_engine.Remove(CString(), 1, 0));

    EXPECT_EQ(kCompleteProgress, m_progress.Amounts());
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_hDevInfo);
    EXPECT_EQ(7, m_engine.m_restartNeeded);  // what the extension library returned
    const std::string restore = "-s:" + machine::WindowsFolder() + "\\Tarvo\\VXSEQ_A\\VXExtBU -r:" + driverKeyA +
                                " -NoReboot -ClearTarvo";
    const std::vector<std::string> expectedLog = {
        "A-pre-1 present",  "A-pre-10 present", "A-pre-2 present",  "B-pre-1 present", ExtensionLine(restore),
        "A-post-1 absent",  "A-post-10 absent", "A-post-2 absent", "B-post-1 absent"};
    EXPECT_EQ(expectedLog, Log());

    // The records: both signed devices in list order, then the child.
    ASSERT_EQ(3u, m_engine.m_infRecords.size());
    EXPECT_EQ(CString("VXSEQ_A"), m_engine.m_infRecords[0].signature);
    EXPECT_EQ(CString("VXSEQ_B"), m_engine.m_infRecords[1].signature);
    EXPECT_FALSE(m_engine.m_infRecords[2].isPrimary);

    for (const std::string& id : {deviceA, deviceB, childA}) EXPECT_FALSE(machine::DeviceExists(id)) << id;
    EXPECT_TRUE(machine::DeviceExists(unsignedDevice));
    EXPECT_FALSE(machine::MachineKeyExists(driverKeyA));
    EXPECT_FALSE(machine::MachineKeyExists(driverKeyB));

    for (const std::string& file : driverFiles) EXPECT_FALSE(Exists(file)) << file;
    EXPECT_TRUE(Exists(waveFile));  // a child's files and INF stay
    EXPECT_TRUE(Exists(waveInfPath));
    EXPECT_TRUE(Exists(ccport));
    EXPECT_TRUE(Exists(wdmmdmld));
    EXPECT_TRUE(Exists(busyFile));
    EXPECT_EQ(1, machine::PendingDeleteCount(busyFile));

    for (const std::string& inf : {infPathA, infPathB, oldSigned, commented}) {
        EXPECT_FALSE(Exists(inf)) << inf;
        EXPECT_FALSE(Exists(machine::PnfOf(inf))) << inf;
    }
    for (const std::string& inf : {noManufacturer, unsignedInf}) {
        EXPECT_TRUE(Exists(inf)) << inf;
        EXPECT_TRUE(Exists(machine::PnfOf(inf))) << inf;
    }

    EXPECT_FALSE(machine::ServiceExists("SeqSvcA"));
    EXPECT_FALSE(machine::ServiceExists("SeqSvcB"));
    EXPECT_FALSE(machine::ServiceExists("SeqWaveSvc"));
    EXPECT_TRUE(machine::ServiceExists("SeqSvcOther"));

    for (const char* key : {"VXAMRMV", "VXAMRNTO", "VXAMRNTV", "VXSEQ_A", "VXSEQ_B"})
        EXPECT_FALSE(machine::MachineKeyExists(std::string(kUninstallRoot) + key)) << key;
    EXPECT_TRUE(machine::MachineKeyExists(std::string(kUninstallRoot) + "SeqOtherProduct"));
    EXPECT_FALSE(machine::MachineKeyExists("SOFTWARE\\Quenzaric\\Tarvo"));
    EXPECT_TRUE(machine::MachineKeyExists("SOFTWARE\\Quenzaric"));
    // The response table outlives the pass: it is looked up through the driver
    // key, which the class installer has already removed (remove_steps_test).
    EXPECT_TRUE(machine::MachineKeyExists(std::string(kResponsesRoot) + "SeqOtherModem"));
    EXPECT_FALSE(Exists(tarvo));
}

// The uninstall run on Windows 98: device keys of the 9x layout, the wave entry
// of the child, no service deletion; the restore of a device without driver key path.
TEST_F(RemoveSequenceTest, UninstallOnWindows98UsesThe9xRegistryLayout)
{
    ScopedVersion win98(kWin98);
    machine::ScopedDeviceTree tree;
    const std::vector<std::string> modemIds = PciHardwareIds("PCI\\VEN_8086&DEV_2416", "00000000", "01");
    const std::string firstDevice = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&NINA&0&FD";
    const std::string secondDevice = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&NINB&0&FD";
    const std::string child = "ROOT\\NINCHILD\\0001";

    machine::ModemInf infA;
    infA.signature = "VX98_A";
    infA.files = {"nin98a.vxd"};
    machine::ModemInf infB;
    infB.signature = "VX98_B";
    infB.files = {"nin98b.vxd"};
    infB.services = {"Nin98Svc"};
    const std::string infPathA = Inf("oem98a.inf", infA.Text());
    const std::string infPathB = Inf("oem98b.inf", infB.Text());
    const std::string fileA = SystemFile("nin98a.vxd");
    const std::string fileB = SystemFile("nin98b.vxd");
    Service("Nin98Svc");

    // The first signed device has no ENUM key: its driver key path stays unknown.
    SignedDevice(firstDevice, modemIds, "VX98_A", "oem98a.inf");
    SignedDevice(secondDevice, modemIds, "VX98_B", "oem98b.inf");
    Device(child, {"MDMCHILD\\NINWAVE"});
    machine::SetChildDevice(secondDevice, child);
    const std::string modemKey = machine::Create9xDeviceKeys(secondDevice, "MODEM\\0098");
    const std::string mediaKey = machine::Create9xDeviceKeys(child, "MEDIA\\0098");
    for (const std::string& key : {modemKey, mediaKey, machine::Enum9xKeyPath(secondDevice),
                                   machine::Enum9xKeyPath(child)})
        m_keys.push_back(key);
    const std::string otherWave = machine::AddWaveEntry("0000", "SYSTEM\\CurrentControlSet\\Services\\Class\\MEDIA\\0001");
    const std::string childWave = machine::AddWaveEntry("0001", Upper(mediaKey).c_str());
    m_keys.push_back("SYSTEM\\CurrentControlSet\\Control\\MediaResources");
    const std::string tarvo = machine::WindowsFolder() + "\\Tarvo";
    ASSERT_TRUE(machine::WriteTextFile(tarvo + "\\VX98_A\\VXExtBU.exe", "restore tool"));
    m_files.push_back(tarvo + "\\VX98_A\\VXExtBU.exe");

    EXPECT_EQ(REMOVE_RESTART, m_engine.Remove(CString(), 0, 0));

    EXPECT_EQ(kCompleteProgress, m_progress.Amounts());
    const std::vector<std::string> expectedLog = {
        ExtensionLine("-s:" + machine::WindowsFolder() + "\\Tarvo\\VX98_A\\VXExtBU -r: -NoReboot")};
    EXPECT_EQ(expectedLog, Log());

    ASSERT_EQ(3u, m_engine.m_infRecords.size());
    EXPECT_TRUE(m_engine.m_infRecords[0].driverKeyPath.IsEmpty());
    EXPECT_EQ(CString(("ENUM\\" + firstDevice).c_str()), m_engine.m_infRecords[0].enumKeyPath);
    EXPECT_EQ(CString(modemKey.c_str()), m_engine.m_infRecords[1].driverKeyPath);
    EXPECT_EQ(CString(mediaKey.c_str()), m_engine.m_infRecords[2].driverKeyPath);

    for (const std::string& key : {modemKey, mediaKey, machine::Enum9xKeyPath(secondDevice),
                                   machine::Enum9xKeyPath(child), childWave})
        EXPECT_FALSE(machine::MachineKeyExists(key)) << key;
    EXPECT_TRUE(machine::MachineKeyExists(otherWave));
    EXPECT_TRUE(machine::ServiceExists("Nin98Svc"));
    EXPECT_TRUE(Exists(tarvo + "\\VX98_A\\VXExtBU.exe"));  // no Total Cleanup
    for (const std::string& path : {fileA, fileB, infPathA, infPathB}) EXPECT_FALSE(Exists(path)) << path;
    RemoveDirectoryA((tarvo + "\\VX98_A").c_str());
    RemoveDirectoryA(tarvo.c_str());
}

// The installation's two passes on Windows XP: first without folder, then with
// the package folder and the devices kept for the installation.
TEST_F(RemoveSequenceTest, InstallationPassesLeavePackageRecordsBoundToPresentDevices)
{
    ScopedVersion xp(kWinXp);
    late_binding::SetExtensionLibraryName("absent_zedor.dll");
    const std::string presentModem = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&PKGP&0&FD";
    Device(presentModem, PciHardwareIds("PCI\\VEN_8086&DEV_2416", "00000000", "01"));
    Command(presentModem, "Pre", "1", "present-pre-1", "%WINDIR%\\system32\\pkgm1.sys");
    // Two earlier installations whose first ids differ in length.
    SignedDevice("PCI\\VEN_1234&DEV_0001&SUBSYS_11112222&REV_01\\4&OLD1&0&00",
                 PciHardwareIds("PCI\\VEN_1234&DEV_0001", "11112222", "01"), "VXOLD", "oemold.inf");
    SignedDevice("PCI\\VEN_1234&DEV_0001&REV_02\\4&OLD2&0&00", {"PCI\\VEN_1234&DEV_0001&REV_02"}, "VXOLD2",
                 "oemold2.inf");
    Service("VXService");

    // First pass: the earlier installations go; the absent extension library is a restart need.
    EXPECT_EQ(REMOVE_RESTART, m_engine.Remove(CString(), 0, 0));
    EXPECT_EQ(-1, m_engine.m_restartNeeded);
    EXPECT_EQ(kCompleteProgress, m_progress.Amounts());
    EXPECT_EQ(2u, m_engine.m_infRecords.size());
    EXPECT_TRUE(Log().empty());

    // The package: one INF for the present modem, one for the removed ones.
    machine::ModemInf modem;
    modem.signature = "VXPKG";
    modem.files = {"pkgm1.sys"};
    modem.ntFiles = {"pkgm2.dll"};
    machine::ModemInf older;
    older.hardwareId = "PCI\\VEN_1234&DEV_0001";
    older.installSection = "OLDMDM";
    older.files = {"pkgo1.sys"};
    ScratchFolder package;
    const std::string modemInf = package.Write("pkgmodem.inf", modem.Text()).c_str();
    const std::string olderInf = package.Write("pkgolder.inf", older.Text()).c_str();
    std::vector<std::string> packageFiles;
    for (const char* name : {"pkgm1.sys", "pkgm2.dll", "pkgo1.sys"}) packageFiles.push_back(SystemFile(name));
    const std::string signedInf = Inf("pkgsigned.inf", modem.Text());

    // Second pass.
    EXPECT_EQ(REMOVE_RESTART, m_engine.Remove(package.Path(), 0, 1));
    EXPECT_EQ(0, m_engine.m_restartNeeded);
    EXPECT_EQ(kCompleteProgress, m_progress.Amounts());
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_hDevInfo);
    ASSERT_EQ(2u, m_engine.m_infRecords.size());
    const DriverInfRecord& bound = m_engine.m_infRecords[0];
    EXPECT_TRUE(bound.isDevice);
    EXPECT_EQ(CString("PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01"), bound.hardwareId);
    EXPECT_EQ(CString(Upper(modemInf).c_str()), bound.infPath);
    EXPECT_EQ(CString("MODEM1"), bound.installSection);
    const DriverInfRecord& unbound = m_engine.m_infRecords[1];
    EXPECT_FALSE(unbound.isDevice);
    EXPECT_EQ(CString("PCI\\VEN_1234&DEV_0001&REV_02"), unbound.hardwareId);
    EXPECT_EQ(CString("OLDMDM"), unbound.installSection);

    // The bound device's commands ran; the files the package will copy are gone;
    // the package's own INFs, the kept device, the driver service and other signed INFs stay.
    EXPECT_EQ(std::vector<std::string>{"present-pre-1 present"}, Log());
    for (const std::string& file : packageFiles) EXPECT_FALSE(Exists(file)) << file;
    for (const std::string& path : {modemInf, olderInf, signedInf}) EXPECT_TRUE(Exists(path)) << path;
    EXPECT_TRUE(machine::DeviceExists(presentModem));
    EXPECT_TRUE(machine::ServiceExists("VXService"));
}

TEST_F(RemoveSequenceTest, PassesThatEndEarlyOrFindNothing)
{
    ScopedVersion xp(kWinXp);
    ScratchFolder emptyFolder;
    ScratchFolder unmatched;
    machine::ModemInf nobody;
    nobody.hardwareId = "PCI\\VEN_FFFF&DEV_FFFF";
    unmatched.Write("nobody.inf", nobody.Text());
    const std::string fixedKey = Key(std::string(kUninstallRoot) + "VXAMRNTO");

    // The device list cannot be had: nothing happens.
    late_binding::SetSetupApiLibraryName("absent_setupapi.dll");
    late_binding::ForgetSetupApi();
    m_engine.m_infRecords.resize(1);
    EXPECT_EQ(SETUP_FAILED, m_engine.Remove(CString(), 0, 0));
    late_binding::SetSetupApiLibraryName(nullptr);
    late_binding::ForgetSetupApi();
    EXPECT_EQ(1u, m_engine.m_infRecords.size());
    EXPECT_TRUE(m_progress.Amounts().empty());
    EXPECT_TRUE(machine::MachineKeyExists(fixedKey));

    // A folder without INF files: the list is emptied and the pass ends.
    EXPECT_EQ(REMOVE_OK, m_engine.Remove(emptyFolder.Path(), 0, 0));
    EXPECT_TRUE(m_engine.m_infRecords.empty());
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_hDevInfo);
    EXPECT_TRUE(m_progress.Amounts().empty());
    EXPECT_TRUE(machine::MachineKeyExists(fixedKey));

    // No signed device: every step runs on an empty list; the fixed keys still go.
    EXPECT_EQ(REMOVE_OK, m_engine.Remove(CString(), 0, 0));
    EXPECT_EQ(kCompleteProgress, m_progress.Amounts());
    EXPECT_FALSE(machine::MachineKeyExists(fixedKey));

    // Kept devices, and package records that are no devices, count as a restart.
    EXPECT_EQ(REMOVE_RESTART, m_engine.Remove(CString(), 0, 1));
    EXPECT_EQ(REMOVE_RESTART, m_engine.Remove(unmatched.Path(), 0, 0));
    ASSERT_EQ(1u, m_engine.m_infRecords.size());
    EXPECT_FALSE(m_engine.m_infRecords[0].isDevice);
    m_progress.Amounts();

    // Without a window the pass is the same, silently.
    m_engine.m_hWndNotify = nullptr;
    EXPECT_EQ(REMOVE_OK, m_engine.Remove(CString(), 0, 0));
    EXPECT_TRUE(m_progress.Amounts().empty());
}

}  // namespace
