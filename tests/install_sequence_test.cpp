// The installation sequence on each Windows version: keep folders for the
// package description files, the removal passes that come first, the 9x
// driver database, re-enumeration, the wait for the device and the results
// and progress of every way out.
#include <windows.h>
#include <cfgmgr32.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_engine.h"
#include "platform/files.h"
#include "platform/late_binding.h"
#include "support/machine.h"
#include "support/test_support.h"

namespace {

const char kCfgFill[] = "cfgfill.dll";
const char kKeepRoot[] = "C:\\windows\\Tarvo\\";

bool Exists(const std::string& path) { return FileExists(path.c_str()); }

void DeleteKeepFolders() { DeleteDirectoryTree("C:\\windows\\Tarvo", false); }

bool Contains(const std::vector<int>& amounts, int amount)
{
    for (int a : amounts)
        if (a == amount) return true;
    return false;
}

DWORD WINAPI SignalWhenWaiting(void* parameter)
{
    CSetupEngine* engine = static_cast<CSetupEngine*>(parameter);
    while (!InterlockedCompareExchangePointer(&engine->m_hDeviceReady, nullptr, nullptr)) Sleep(50);
    Sleep(300);
    engine->SignalDeviceReady();
    return 0;
}

// Binds a configuration manager and the pending-installation library by name
// for one test, and forgets them afterwards.
class ScopedLibraries {
public:
    ScopedLibraries(const char* cfgMgr, const char* pendingWait)
    {
        late_binding::ForgetCfgMgr();
        late_binding::SetCfgMgrLibraryName(cfgMgr);
        late_binding::SetPendingInstallLibraryName(pendingWait);
    }
    ~ScopedLibraries()
    {
        late_binding::ForgetCfgMgr();
        late_binding::SetCfgMgrLibraryName(nullptr);
        late_binding::SetPendingInstallLibraryName(nullptr);
    }
};

class InstallSequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReadWindowsDirectory();
        m_log = std::string(m_scratch.Path().c_str()) + "calls.log";
        SetEnvironmentVariableA("CFGMGR_FILL_LOG", m_log.c_str());
        SetEnvironmentVariableA("PENDING_WAIT_LOG", m_log.c_str());
        SetEnvironmentVariableA("ZEDOR_FIXTURE_LOG", (std::string(m_scratch.Path().c_str()) + "zedor.log").c_str());
        late_binding::SetExtensionLibraryName("zedor_fixture.dll");
        m_engine.m_hWndNotify = m_progress.Handle();
    }
    void TearDown() override
    {
        for (const std::string& id : m_devices) machine::RemoveDeviceIfPresent(id);
        DeleteKeepFolders();
        late_binding::SetExtensionLibraryName(nullptr);
        SetEnvironmentVariableA("PENDING_WAIT_SCRIPT", nullptr);
        if (m_engine.m_hDeviceReady) CloseHandle(m_engine.m_hDeviceReady);
    }

    void SignedDevice(const std::string& id, const std::string& signature)
    {
        ASSERT_TRUE(machine::CreateSignedDevice(id, machine::PciHardwareIds("PCI\\VEN_8086&DEV_2416", "00000000", "01"),
                                                signature, "oemseq.inf"));
        m_devices.push_back(id);
    }
    // A package folder with one description file and its cabinet, no INF.
    CString PackageWithoutInf()
    {
        m_scratch.Write("pkg\\seq.scp", "[General]\nVXSignature=VXSEQPKG\nSource=SEQCAB\n");
        m_scratch.Write("pkg\\SEQCAB.CAB", "cabinet");
        return m_scratch.Path() + "pkg\\";
    }
    std::string Log() const { return ReadWholeFile(m_log.c_str()); }

    ScratchFolder m_scratch;
    std::string m_log;
    machine::ProgressWindow m_progress;
    CSetupEngine m_engine;
    std::vector<std::string> m_devices;
};

TEST_F(InstallSequenceTest, DescriptionFilesAndCabinetsGoIntoTheKeepFolderOfEveryMasterPackage)
{
    m_scratch.Write("scp\\a.scp", "[General]\nVXSignature=VXSEQ_A\nSource=PKGA\n");
    m_scratch.Write("scp\\b.scp", "[General]\nVXSignature = VXSEQ_B\nSlave=1\n");
    m_scratch.Write("scp\\c.scp", "[General]\nVXSignature=VXSEQ_C\nSource=vxallmdm\nSlave=0x1\n");
    m_scratch.Write("scp\\d.scp", "[General]\nSource=PKGD\n");
    m_scratch.Write("scp\\e.scp", "[General]\nVXSignature=\n");
    for (const char* cabinet : {"PKGA.CAB", "VXSEQ_B.CAB", "VXALLMDM.CAB", "vxallmdm.CAB", "PKGD.CAB"})
        m_scratch.Write((std::string("scp\\") + cabinet).c_str(), cabinet);

    CopyScpPackages(m_scratch.Path() + "scp\\");

    const std::string keep = std::string(kKeepRoot) + "VXSEQ_A\\";
    for (const char* copied : {"a.scp", "PKGA.CAB", "b.scp", "VXSEQ_B.CAB", "c.scp"})
        EXPECT_TRUE(Exists(keep + copied)) << copied;
    for (const char* left : {"d.scp", "e.scp", "PKGD.CAB", "VXALLMDM.CAB"}) EXPECT_FALSE(Exists(keep + left)) << left;
    EXPECT_EQ("PKGA.CAB", ReadWholeFile((keep + "PKGA.CAB").c_str()));
    // Slave packages get no keep folder of their own.
    EXPECT_FALSE(Exists(std::string(kKeepRoot) + "VXSEQ_B"));
    EXPECT_FALSE(Exists(std::string(kKeepRoot) + "VXSEQ_C"));
}

TEST_F(InstallSequenceTest, NoDescriptionFileMakesNoKeepFolder)
{
    m_scratch.Write("none\\x.inf", "[Version]\n");
    CopyScpPackages(m_scratch.Path() + "none\\");
    EXPECT_FALSE(Exists(kKeepRoot));
}

TEST_F(InstallSequenceTest, ReenumerationStartsAtTheRootAndPassesItsFlags)
{
    {
        ScopedLibraries wine(nullptr, nullptr);  // Wine's own configuration manager: stubs that fail
        EXPECT_FALSE(ReenumerateDeviceTree(CM_REENUMERATE_SYNCHRONOUS));
    }
    ScopedLibraries machine(kCfgFill, nullptr);
    EXPECT_TRUE(ReenumerateDeviceTree(CM_REENUMERATE_SYNCHRONOUS));
    EXPECT_TRUE(ReenumerateDeviceTree(CM_REENUMERATE_NORMAL));
    EXPECT_EQ("reenumerate 0 1\r\nreenumerate 0 0\r\n", Log());
}

TEST_F(InstallSequenceTest, PendingInstallPollsSignalOnlyWhenNothingIsPending)
{
    struct Case {
        const char* library;
        const char* script;
        DWORD limitMs;
        bool signalled;
        const char* polls;
    } cases[] = {
        {"setupapi.dll", nullptr, 60000, true, ""},         // Wine's: nothing pending at once
        {"setupapi_none.dll", nullptr, 60000, false, ""},   // no such export: only the dialog can signal
        {"no_such_library.dll", nullptr, 60000, false, ""}, // library missing
        {"pending_wait.dll", "TT0", 60000, true, "TT0"},    // pending twice, then done
        {"pending_wait.dll", "FFT0", 60000, true, "FFT0"},  // failures that recover
        {"pending_wait.dll", "F", 60000, false, "FFFFFFFFFF"},  // ten failures in a row: give up
        {"pending_wait.dll", "T", 1200, false, nullptr},    // pending for ever: the limit ends it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.library) + " " + (c.script ? c.script : ""));
        DeleteFileA(m_log.c_str());
        SetEnvironmentVariableA("PENDING_WAIT_SCRIPT", c.script);
        ScopedLibraries libraries(nullptr, c.library);
        CSetupEngine engine;
        engine.m_hDeviceReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        engine.WaitForPendingInstalls(c.limitMs);
        EXPECT_EQ(c.signalled, WaitForSingleObject(engine.m_hDeviceReady, 0) == WAIT_OBJECT_0);
        if (c.polls) {
            EXPECT_EQ(c.polls, Log());
        } else {
            std::string polls = Log();
            EXPECT_GE(polls.size(), 2u);
            EXPECT_LE(polls.size(), 4u);
        }
        CloseHandle(engine.m_hDeviceReady);
    }
}

TEST_F(InstallSequenceTest, EveryVersionWithoutEarlierInstallationEndsReadyWithFullBar)
{
    struct Case {
        const VersionRecord& version;
        std::vector<int> tail;
    } cases[] = {
        {kWin95, {4000, 12000}},
        {kWin98, {4000, 10000, 12000}},
        {kWinMe, {4000, 10000, 12000}},
        {kWin2000, {4000, 12000}},
        {kWinXp, {4000, 12000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version.name);
        ScopedVersion version(c.version);
        ScopedLibraries libraries(kCfgFill, nullptr);
        CSetupEngine engine;
        engine.m_hWndNotify = m_progress.Handle();
        m_progress.Amounts();
        EXPECT_EQ(SETUP_OK, engine.Install(PackageWithoutInf()));
        EXPECT_EQ(c.tail, m_progress.LastAmounts(c.tail.size()));
        EXPECT_NE(nullptr, engine.m_hDeviceReady);
        EXPECT_TRUE(Exists(std::string(kKeepRoot) + "VXSEQPKG\\SEQCAB.CAB"));
        DeleteKeepFolders();
        CloseHandle(engine.m_hDeviceReady);
    }
}

TEST_F(InstallSequenceTest, NineXPathDiscardsTheDriverDatabaseEvenWhenOneFileIsMissing)
{
    ScopedVersion win98(kWin98);
    ScopedLibraries libraries(kCfgFill, nullptr);
    const std::string index = machine::InfFolder() + "\\DRVIDX.BIN";
    const std::string data = machine::InfFolder() + "\\DRVDATA.BIN";
    for (bool indexPresent : {true, false}) {
        if (indexPresent) machine::WriteTextFile(index, "index");
        machine::WriteTextFile(data, "data");
        CSetupEngine engine;
        EXPECT_EQ(SETUP_OK, engine.Install(PackageWithoutInf()));
        EXPECT_FALSE(Exists(index));
        EXPECT_FALSE(Exists(data)) << "index present: " << indexPresent;
        CloseHandle(engine.m_hDeviceReady);
    }
}

TEST_F(InstallSequenceTest, NineXPathFailsWhenTheDeviceTreeCannotBeEnumeratedAgain)
{
    ScopedVersion me(kWinMe);
    ScopedLibraries wine(nullptr, nullptr);
    EXPECT_EQ(SETUP_FAILED, m_engine.Install(PackageWithoutInf()));
    EXPECT_EQ((std::vector<int>{4000, 10000, 12000}), m_progress.LastAmounts(3));
    EXPECT_EQ(nullptr, m_engine.m_hDeviceReady);
}

TEST_F(InstallSequenceTest, EarlierSignedInstallationIsRemovedAndAsksForRestartWithoutWaiting)
{
    struct Case {
        const VersionRecord& version;
        bool deviceKept;  // the class-installer path keeps device nodes for the update
        std::vector<int> tail;
    } cases[] = {
        {kWinXp, true, {4000, 12000}},
        {kWin98, false, {4000, 10000, 12000}},
    };
    int n = 0;
    const std::string extensionLog = std::string(m_scratch.Path().c_str()) + "zedor.log";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version.name);
        ScopedVersion version(c.version);
        ScopedLibraries libraries(kCfgFill, "setupapi_none.dll");  // a wait would never end by itself
        const std::string device = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&SEQOLD" + std::to_string(n++);
        SignedDevice(device, "VXSEQOLD");
        DeleteFileA(extensionLog.c_str());
        CSetupEngine engine;
        engine.m_hWndNotify = m_progress.Handle();
        m_progress.Amounts();
        EXPECT_EQ(SETUP_RESTART, engine.Install(PackageWithoutInf()));
        // The removal pass without folder found it: its restore ran, and the node went or stayed.
        EXPECT_NE(std::string::npos, ReadWholeFile(extensionLog.c_str()).find("\\Tarvo\\VXSEQOLD\\VXExtBU"));
        EXPECT_EQ(c.deviceKept, machine::DeviceExists(device));
        EXPECT_EQ(c.tail, m_progress.LastAmounts(c.tail.size()));
        EXPECT_EQ(nullptr, engine.m_hDeviceReady);
        machine::RemoveDeviceIfPresent(device);
    }
}

TEST_F(InstallSequenceTest, NineXPathStopsAtTheFirstPackageThatCannotBePreinstalled)
{
    ScopedVersion win98(kWin98);
    ScopedLibraries libraries(kCfgFill, nullptr);
    // a.inf names a catalog that is not there, which makes copying it as an OEM
    // INF fail; b.inf, listed after it, would install.
    const char* inf =
        "[Version]\nSignature=\"$CHICAGO$\"\nClass=Modem\nClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}\n"
        "Provider=Seq\n%s\n[Manufacturer]\nSeq=Models\n[Models]\nSeq Modem=MODEM1,PCI\\VEN_8086&DEV_24FF\n"
        "[MODEM1]\nAddReg=R\n[R]\nHKR,,Seq,,1\n";
    char a[512], b[512];
    snprintf(a, sizeof(a), inf, "CatalogFile=absent.cat");
    snprintf(b, sizeof(b), inf, "");
    m_scratch.Write("fail\\a_seqfail.inf", a);
    m_scratch.Write("fail\\b_seqfail.inf", b);
    EXPECT_EQ(SETUP_FAILED, m_engine.Install(m_scratch.Path() + "fail\\"));
    std::vector<int> amounts = m_progress.Amounts();
    EXPECT_FALSE(Contains(amounts, 10000));
    EXPECT_FALSE(Contains(amounts, 12000));
    EXPECT_FALSE(Exists(machine::InfFolder() + "\\b_seqfail.inf"));
    EXPECT_EQ(nullptr, m_engine.m_hDeviceReady);
}

TEST_F(InstallSequenceTest, Nt4RunsNoRemovalAndNeverReportsPlainSuccess)
{
    ScopedVersion nt4(kNt4);
    const std::string device = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&SEQNT4";
    SignedDevice(device, "VXSEQNT4");
    EXPECT_EQ(SETUP_FAILED, m_engine.Install(PackageWithoutInf()));  // no INF in the package
    EXPECT_TRUE(machine::DeviceExists(device));
    EXPECT_TRUE(m_progress.Amounts().empty());
    EXPECT_TRUE(Exists(std::string(kKeepRoot) + "VXSEQPKG\\seq.scp"));
}

TEST_F(InstallSequenceTest, WaitEndsByTheDialogsSignalOrByItsLimit)
{
    ScopedVersion win98(kWin98);
    ScopedLibraries libraries(kCfgFill, "setupapi_none.dll");  // only the dialog signals on 98
    {
        // The dialog's device-change rules signal from another thread.
        CSetupEngine engine;
        HANDLE dialog = CreateThread(nullptr, 0, SignalWhenWaiting, &engine, 0, nullptr);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(SETUP_OK, engine.Install(PackageWithoutInf()));
        WaitForSingleObject(dialog, 10000);
        CloseHandle(dialog);
        CloseHandle(engine.m_hDeviceReady);
    }
    CSetupEngine engine;
    engine.m_deviceReadyLimitMs = 1000;
    engine.m_hWndNotify = m_progress.Handle();
    m_progress.Amounts();
    DWORD started = GetTickCount();
    EXPECT_EQ(SETUP_RESTART, engine.Install(PackageWithoutInf()));  // the device never reported ready
    EXPECT_GE(GetTickCount() - started, 900u);
    EXPECT_EQ((std::vector<int>{10000, 12000}), m_progress.LastAmounts(2));
    CloseHandle(engine.m_hDeviceReady);
}

// On Windows 98 and Me the package is only made known to Windows: Plug and
// Play sets up the modem once the tree is enumerated again. The machine's
// configuration manager plays the PCI bus (from its hardware list) and Plug
// and Play, which Wine lacks.
TEST_F(InstallSequenceTest, NineXPathLeavesTheModemToPlugAndPlayFromThePreinstalledInf)
{
    const std::string busKey = "Software\\WineMachine\\Bus";
    int n = 0;
    for (const VersionRecord* version : {&kWin98, &kWinMe}) {
        SCOPED_TRACE(version->name);
        ScopedVersion scoped(*version);
        ScopedLibraries libraries(kCfgFill, nullptr);
        const std::string device = "PCI\\VEN_8086&DEV_2416&SUBSYS_24168086&REV_01\\3&SEQPNP" + std::to_string(n);
        const std::vector<std::string> ids = machine::PciHardwareIds("PCI\\VEN_8086&DEV_2416", "24168086", "01");
        ASSERT_TRUE(machine::CreateDevice(device, ids));
        m_devices.push_back(device);
        std::string bus = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
        bus.push_back('\0');
        for (const std::string& id : ids) bus += id + std::string(1, '\0');
        bus.push_back('\0');
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, busKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegSetValueExA(key, device.c_str(), 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(bus.data()),
                       static_cast<DWORD>(bus.size()));
        RegCloseKey(key);

        machine::ModemInf inf;
        inf.signature = "VXSEQPNP";
        inf.files = {"seqpnp" + std::to_string(n) + ".vxd"};
        const std::string folder = "pnp" + std::to_string(n) + "\\";
        m_scratch.Write((folder + "seqpnp" + std::to_string(n) + ".inf").c_str(), inf.Text());
        m_scratch.Write((folder + inf.files[0]).c_str(), "driver");
        DeleteFileA(m_log.c_str());

        CSetupEngine engine;
        EXPECT_EQ(SETUP_OK, engine.Install(m_scratch.Path() + folder.c_str()));
        // The removal pass took the node away; the bus found it again and it
        // was set up from the INF copied into the INF folder.
        std::string log = Log();
        EXPECT_NE(std::string::npos, log.find("found " + device)) << log;
        EXPECT_NE(std::string::npos, log.find("installed " + device)) << log;
        EXPECT_TRUE(Exists(machine::SystemFolder() + "\\" + inf.files[0]));
        const std::string driverKey = machine::DriverKeyPath(device);
        ASSERT_FALSE(driverKey.empty());
        char signature[64] = {0};
        DWORD size = sizeof(signature);
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_LOCAL_MACHINE, driverKey.c_str(), "VXSignature", RRF_RT_REG_SZ,
                                              nullptr, signature, &size));
        EXPECT_STREQ("VXSEQPNP", signature);
        CloseHandle(engine.m_hDeviceReady);
        machine::DeleteMachineKey(busKey);
        machine::RemoveDeviceIfPresent(device);
        DeleteFileA((machine::SystemFolder() + "\\" + inf.files[0]).c_str());
        ++n;
    }
}

}  // namespace
