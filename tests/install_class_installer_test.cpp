// Installation of package records through the class installer: a present
// modem's driver updated in place from a package INF of our own, the section
// files the program copies itself, the OEM INF copy, the restart flags, and
// which records are left alone or handed to the pre-installation; then the
// whole installation on Windows XP, also over an earlier installation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/os_class.h"
#include "app/setup_engine.h"
#include "install/device_updater.h"
#include "platform/late_binding.h"
#include "setupapi_fill.h"
#include "support/machine.h"
#include "support/test_support.h"

namespace {

// Wine cannot select a driver through SetupDiSetSelectedDriverA; the filler
// redirects this program's import before any test runs.
class FillerEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_GT(FillSetupApiGaps(), 0); }
};
::testing::Environment* const g_filler = ::testing::AddGlobalTestEnvironment(new FillerEnvironment);

// "Other devices": the class the fixture modems start in before their update.
const GUID kOtherClass = {0x4d36e97e, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const char kModemClassText[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kBase[] = "PCI\\VEN_8086&DEV_2416";
const char kCoinstaller[] = "reboot_coinstaller.dll";

// A package INF of our own. Its source disk is the INF's folder unless a
// path is given (Wine copies co-installer files from it itself, see below).
// Files are named after the prefix, so that each test can tell its own files
// in the system folder.
struct Package {
    std::string prefix;
    std::string modelIds = kBase;
    bool coinstaller = false;
    std::string diskPath;

    std::string File9x() const { return prefix + "9x.sys"; }
    std::string FileNt() const { return prefix + "nt.sys"; }
    std::string FileCo() const { return prefix + "co.dll"; }

    std::string Text() const
    {
        std::string co = coinstaller ? std::string(kCoinstaller) + "\r\n" : std::string();
        return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
               "ClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}\r\nProvider=%Maker%\r\n"
               "DriverVer=01/01/2004,1.0.0.0\r\n\r\n"
               "[SourceDisksNames]\r\n1=%Disk%,,," + diskPath + "\r\n\r\n"
               "[SourceDisksFiles]\r\n" + File9x() + "=1\r\n" + FileNt() + "=1\r\n" + FileCo() + "=1\r\n" +
               co + "\r\n"
               "[Manufacturer]\r\n%Maker%=Models\r\n\r\n"
               "[Models]\r\n%M%=MODEM1," + modelIds + "\r\n\r\n"
               "[DestinationDirs]\r\nDefaultDestDir=11\r\n\r\n"
               "[MODEM1]\r\nCopyFiles=MODEM1.Files9x\r\nAddReg=MODEM1.AddReg\r\n\r\n"
               "[MODEM1.NT]\r\nCopyFiles=MODEM1.FilesNt\r\nAddReg=MODEM1.AddReg\r\n\r\n"
               "[MODEM1.NT.Coinstallers]\r\nCopyFiles=MODEM1.FilesCo\r\n" +
               (coinstaller ? "AddReg=MODEM1.CoReg\r\n" : "") + "\r\n"
               "[MODEM1.Files9x]\r\n" + File9x() + "\r\n\r\n"
               "[MODEM1.FilesNt]\r\n" + FileNt() + "\r\n\r\n"
               "[MODEM1.FilesCo]\r\n" + FileCo() + "\r\n" + co + "\r\n"
               "[MODEM1.AddReg]\r\nHKR,,VXUpdValue,,\"" + prefix + "\"\r\n\r\n"
               "[MODEM1.CoReg]\r\nHKR,,CoInstallers32,0x00010000,\"" + kCoinstaller + ",CoInstallerEntry\"\r\n\r\n"
               "[Strings]\r\nMaker=\"Quenzaric Test\"\r\nM=\"Test soft modem\"\r\nDisk=\"Driver disk\"\r\n";
    }
};

std::string ReadMachineString(const std::string& path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::string();
    char value[512] = {0};
    DWORD size = sizeof(value) - 1;
    LONG read = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS ? std::string(value) : std::string();
}

// The names of the files below C:\windows\inf that match the pattern.
std::vector<std::string> InfFolderFiles(const char* pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((machine::InfFolder() + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

void DeleteOemInfs()
{
    for (const std::string& name : InfFolderFiles("oem*.*")) DeleteFileA((machine::InfFolder() + "\\" + name).c_str());
}

std::string Environment(const char* name)
{
    char value[64] = {0};
    DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    return length > 0 && length < sizeof(value) ? std::string(value) : std::string();
}

bool MutexExists()
{
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "VX_MODEM_Setup_MUTEX");
    if (mutex) CloseHandle(mutex);
    return mutex != nullptr;
}

class ClassInstallerTest : public ::testing::Test {
protected:
    void SetUp() override { ReadWindowsDirectory(); }
    void TearDown() override
    {
        for (const std::string& device : m_devices) machine::RemoveDeviceIfPresent(device);
        for (const std::string& file : m_systemFiles) DeleteFileA((machine::SystemFolder() + "\\" + file).c_str());
    }

    // A PCI modem function of the given subsystem, in the "other devices" class.
    std::string CreateModem(const std::string& subsystem)
    {
        std::string id = std::string(kBase) + "&SUBSYS_" + subsystem + "&REV_01\\3&13C0B0C5&0&FD";
        EXPECT_TRUE(machine::CreateDevice(id, machine::PciHardwareIds(kBase, subsystem, "01"), kOtherClass));
        m_devices.push_back(id);
        return id;
    }
    // The package INF in its own folder with the files its sections name.
    CString WritePackage(const Package& package)
    {
        for (const std::string& file : {package.File9x(), package.FileNt(), package.FileCo()}) {
            m_folder.Write(("pkg\\" + file).c_str(), "package copy of " + file);
            m_systemFiles.push_back(file);
        }
        if (package.coinstaller) {
            std::string dll = ReadWholeFile(BinaryDirectory() + "\\bin\\" + kCoinstaller);
            EXPECT_FALSE(dll.empty());
            m_folder.Write((std::string("pkg\\") + kCoinstaller).c_str(), dll);
        }
        CString path = m_folder.Write(("pkg\\" + package.prefix + ".inf").c_str(), package.Text());
        return path.MakeUpper();  // records hold their INF path uppercased
    }
    std::string SystemFile(const std::string& name) const { return machine::SystemFolder() + "\\" + name; }

    ScopedVersion m_xp{kWinXp};
    ScratchFolder m_folder;
    std::vector<std::string> m_devices;
    std::vector<std::string> m_systemFiles;
};

TEST_F(ClassInstallerTest, PresentModemGetsItsDriverFromThePackageInfAlone)
{
    const std::string device = CreateModem("00000000");
    Package package;
    package.prefix = "vxupd";
    DriverInfRecord record;
    record.infPath = WritePackage(package);
    record.hardwareId = std::string(kBase).c_str();  // search text VEN_8086&DEV_2416
    DeleteOemInfs();

    ASSERT_TRUE(record.InstallByClassInstaller(m_folder.Path() + "pkg\\"));

    EXPECT_EQ(kModemClassText, ReadMachineString(machine::EnumKeyPath(device), "ClassGUID"));
    const std::string driverKey = machine::DriverKeyPath(device);
    EXPECT_EQ("vxupd", ReadMachineString(driverKey, "VXUpdValue"));
    EXPECT_EQ("MODEM1", ReadMachineString(driverKey, "InfSection"));
    EXPECT_EQ(".NT", ReadMachineString(driverKey, "InfSectionExt").substr(0, 3));  // .NT or .NTamd64
    EXPECT_EQ("package copy of vxupdnt.sys", ReadWholeFile(SystemFile("vxupdnt.sys").c_str()));
    EXPECT_EQ("package copy of vxupdco.dll", ReadWholeFile(SystemFile("vxupdco.dll").c_str()));
    EXPECT_FALSE(FileExists(SystemFile("vxupd9x.sys").c_str()));
    EXPECT_EQ(package.Text(), ReadWholeFile((machine::InfFolder() + "\\oem0.inf").c_str()));
    EXPECT_EQ(0, record.installNeedsRestart);
    EXPECT_FALSE(MutexExists());
    DeleteOemInfs();
}

// The files of the actual install section and its co-installer section come
// from the INF's folder whatever source the INF names, and nothing else.
TEST_F(ClassInstallerTest, SectionFilesAreCopiedFromTheInfFolderWhateverSourceTheInfNames)
{
    CreateModem("55550000");
    Package package;
    package.prefix = "vxsect";
    package.diskPath = "\\elsewhere";  // no such folder
    const CString inf = WritePackage(package);

    CDeviceUpdater updater("VEN_8086&DEV_2416&SUBSYS_55550000", inf);
    ASSERT_EQ(1, updater.m_found);
    EXPECT_TRUE(updater.CopySectionFiles());
    EXPECT_EQ("package copy of vxsectnt.sys", ReadWholeFile(SystemFile("vxsectnt.sys").c_str()));
    EXPECT_EQ("package copy of vxsectco.dll", ReadWholeFile(SystemFile("vxsectco.dll").c_str()));
    EXPECT_FALSE(FileExists(SystemFile("vxsect9x.sys").c_str()));
    EXPECT_EQ(0, updater.m_needsRestart);

    // Without a models line for the device, nothing is copied.
    package.modelIds = "PCI\\VEN_8086&DEV_2416&SUBSYS_66660000";
    ASSERT_TRUE(machine::WriteTextFile(inf.str(), package.Text()));
    DeleteFileA(SystemFile("vxsectnt.sys").c_str());
    EXPECT_FALSE(updater.CopySectionFiles());
    EXPECT_FALSE(FileExists(SystemFile("vxsectnt.sys").c_str()));
}

TEST_F(ClassInstallerTest, CoinstallerAskingForRebootSetsTheRecordsRestartFlagWhileTheMutexIsHeld)
{
    const std::string device = CreateModem("11110000");
    Package package;
    package.prefix = "vxreboot";
    package.coinstaller = true;
    m_systemFiles.push_back(kCoinstaller);
    DriverInfRecord record;
    record.infPath = WritePackage(package);
    record.hardwareId = (std::string(kBase) + "&SUBSYS_11110000&REV_01").c_str();
    SetEnvironmentVariableA("REBOOT_COINSTALLER_CALLS", nullptr);
    SetEnvironmentVariableA("REBOOT_COINSTALLER_MUTEX", nullptr);

    ASSERT_TRUE(record.InstallByClassInstaller(m_folder.Path() + "pkg\\"));

    EXPECT_EQ("1", Environment("REBOOT_COINSTALLER_CALLS"));
    EXPECT_EQ("1", Environment("REBOOT_COINSTALLER_MUTEX"));
    EXPECT_EQ(1, record.installNeedsRestart);
    EXPECT_FALSE(MutexExists());  // its handle was closed after the update
    EXPECT_EQ("vxreboot", ReadMachineString(machine::DriverKeyPath(device), "VXUpdValue"));
}

TEST_F(ClassInstallerTest, DeviceWithoutCompatibleDriverFailsTheRecord)
{
    const std::string device = CreateModem("22220000");
    Package package;
    package.prefix = "vxnone";
    package.modelIds = "PCI\\VEN_8086&DEV_9999";
    DriverInfRecord record;
    record.infPath = WritePackage(package);
    record.hardwareId = (std::string(kBase) + "&SUBSYS_22220000&REV_01").c_str();

    EXPECT_FALSE(record.InstallByClassInstaller(m_folder.Path() + "pkg\\"));
    EXPECT_EQ("", ReadMachineString(machine::DriverKeyPath(device), "VXUpdValue"));
    EXPECT_FALSE(FileExists(SystemFile("vxnonent.sys").c_str()));  // no models line matched the device
    EXPECT_FALSE(MutexExists());
}

TEST_F(ClassInstallerTest, RecordWhoseDeviceIsNotPresentIsLeftAlone)
{
    Package package;
    package.prefix = "vxabsent";
    DriverInfRecord record;
    record.infPath = WritePackage(package);
    record.hardwareId = "PCI\\VEN_8086&DEV_2416&SUBSYS_33330000&REV_01";
    DeleteOemInfs();

    EXPECT_TRUE(record.InstallByClassInstaller(m_folder.Path() + "pkg\\"));
    EXPECT_TRUE(InfFolderFiles("oem*.inf").empty());
    EXPECT_TRUE(InfFolderFiles("vxabsent.inf").empty());
    EXPECT_FALSE(FileExists(SystemFile("vxabsentnt.sys").c_str()));
    EXPECT_EQ(0, record.installNeedsRestart);
}

// Which records count as ones with a device to look for. A record without
// one is pre-installed; with an INF that cannot be pre-installed that fails,
// while a record whose device is simply absent succeeds without doing anything.
TEST_F(ClassInstallerTest, OnlyIdsWithADeviceTextThatFitsAreLookedFor)
{
    struct Case {
        std::string hardwareId;
        bool lookedFor;
    } cases[] = {
        {"", false},
        {"VEN_1234&DEV_ABCD", false},
        {"PCI\\", false},
        {"PCI\\VEN_1234&DEV_ABCD", true},
        {"PCI\\" + std::string(199, 'X'), true},
        {"PCI\\" + std::string(200, 'X'), false},
        {std::string(249, 'X') + "\\" + std::string(9, 'Y'), true},   // 259 characters
        {std::string(250, 'X') + "\\" + std::string(9, 'Y'), false},  // 260 characters
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hardwareId);
        DriverInfRecord record;
        record.infPath = m_folder.Path() + "MISSING.INF";
        record.hardwareId = c.hardwareId.c_str();
        EXPECT_EQ(c.lookedFor, record.InstallByClassInstaller(m_folder.Path()));
    }
}

TEST_F(ClassInstallerTest, RecordWithoutDeviceIsPreinstalledAndTheTreeEnumeratedAtOnce)
{
    late_binding::SetCfgMgrLibraryName("cfgfill.dll");
    late_binding::ForgetCfgMgr();
    const CString log = m_folder.Path() + "cfgmgr.log";
    SetEnvironmentVariableA("CFGMGR_FILL_LOG", log);
    Package package;
    package.prefix = "vxnodev";
    DriverInfRecord record;
    record.infPath = WritePackage(package);

    EXPECT_TRUE(record.InstallByClassInstaller(m_folder.Path() + "pkg\\"));
    EXPECT_EQ(1u, InfFolderFiles("vxnodev.inf").size());  // the pre-installation ran
    EXPECT_EQ("reenumerate 0 1\r\n", ReadWholeFile(log));

    SetEnvironmentVariableA("CFGMGR_FILL_LOG", nullptr);
    late_binding::SetCfgMgrLibraryName(nullptr);
    late_binding::ForgetCfgMgr();
    DeleteFileA((machine::InfFolder() + "\\vxnodev.inf").c_str());
    DeleteFileA((machine::InfFolder() + "\\vxnodev.pnf").c_str());
}

TEST_F(ClassInstallerTest, CabinetSourcedInfWhosePreinstallationFailsIsNotUpdated)
{
    const std::string device = CreateModem("44440000");
    Package package;
    package.prefix = "vxcab";
    std::string text = package.Text();
    // A cabinet source, and a catalog that is not there: the pre-installation fails.
    text.replace(text.find("1=%Disk%,,,"), 11, "1=%Disk%,vxdrv.cab,,");
    text.replace(text.find("Provider="), 0, "CatalogFile=vxmissing.cat\r\n");
    DriverInfRecord record;
    record.infPath = WritePackage(package);
    ASSERT_TRUE(machine::WriteTextFile(record.infPath.str(), text));
    record.hardwareId = (std::string(kBase) + "&SUBSYS_44440000").c_str();
    ASSERT_TRUE(record.HasCabinetSource());
    MessageBoxCapture boxes;

    EXPECT_FALSE(record.InstallByClassInstaller(m_folder.Path() + "pkg\\"));
    EXPECT_EQ("", ReadMachineString(machine::DriverKeyPath(device), "VXUpdValue"));
    EXPECT_FALSE(MutexExists());
}

TEST_F(ClassInstallerTest, CabinetSourceIsTheFirstUndecoratedDiskNamingACab)
{
    struct Case {
        std::string sourceDisks;
        bool cabinet;
    } cases[] = {
        {"[SourceDisksNames]\r\n1 = %Disk%,drivers.cab,,\r\n", true},
        {"[SourceDisksNames]\r\n1=\"Disk\",Files\\Drv.Cab\r\n", true},
        {"[SourceDisksNames]\r\n1 = %Disk%,,,\\files\r\n", false},
        {"[SourceDisksNames]\r\n2 = %Disk%,drivers.cab,,\r\n", false},
        {"[SourceDisksNames.x86]\r\n1 = %Disk%,drivers.cab,,\r\n", false},
        {"[SourceDisksNames]\r\n1 = %Disk%,drivers.cab,," + std::string(120, ' ') + "x\r\n", false},  // over 127
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sourceDisks);
        DriverInfRecord record;
        record.infPath = m_folder.Write("cab.inf", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n" + c.sourceDisks);
        EXPECT_EQ(c.cabinet, record.HasCabinetSource());
    }
    DriverInfRecord missing;
    missing.infPath = m_folder.Path() + "none.inf";
    EXPECT_FALSE(missing.HasCabinetSource());
}

TEST_F(ClassInstallerTest, OemCopyTakesTheNumberAfterTheHighestLowerCaseOemInf)
{
    struct Case {
        const char* name;
        std::vector<std::string> present;
        const char* copy;
    } cases[] = {
        {"none", {}, "oem0.inf"},
        {"oem0 to oem7", {"oem0.inf", "oem1.inf", "oem2.inf", "oem3.inf", "oem4.inf", "oem5.inf", "oem6.inf",
                          "oem7.inf"}, "oem8.inf"},
        {"upper case not counted", {"oem0.inf", "oem1.inf", "OEM9.INF"}, "oem2.inf"},
        {"no digits count as 0", {"oemx.inf"}, "oem1.inf"},
        {"gaps", {"oem3.inf", "oem12.inf"}, "oem13.inf"},
    };
    CString inf = m_folder.Write("pkg\\vxoem.inf", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n; vxoem\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteOemInfs();
        for (const std::string& name : c.present) machine::WriteTextFile(machine::InfFolder() + "\\" + name, "x");
        CDeviceUpdater updater(nullptr, inf);
        EXPECT_TRUE(updater.CopyInfAsOem());
        EXPECT_EQ(ReadWholeFile(inf), ReadWholeFile((machine::InfFolder() + "\\" + c.copy).c_str()));
        EXPECT_EQ(c.present.size() + 1, InfFolderFiles("oem*.inf").size());
    }
    DeleteOemInfs();
}

TEST_F(ClassInstallerTest, GuidTextNeedsFortyBytes)
{
    char text[64];
    std::memset(text, '#', sizeof(text));
    EXPECT_TRUE(CDeviceUpdater::FormatGuid(machine::kModemClass, text, 40));
    EXPECT_STREQ(kModemClassText, text);
    const GUID small = {0x1, 0x2, 0xa, {0, 0xb, 0x10, 0xff, 0, 0, 0, 0xc}};
    EXPECT_TRUE(CDeviceUpdater::FormatGuid(small, text, sizeof(text)));
    EXPECT_STREQ("{00000001-0002-000A-000B-10FF0000000C}", text);
    EXPECT_FALSE(CDeviceUpdater::FormatGuid(small, text, 39));
    EXPECT_FALSE(CDeviceUpdater::FormatGuid(small, nullptr, 40));
}

TEST_F(ClassInstallerTest, InstallSectionIsTheDecoratedSectionOfTheFirstModelsLineInTheDeviceId)
{
    CString inf = m_folder.Write("models.inf",
                                 "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n\r\n"
                                 "[Manufacturer]\r\n%Maker%=Empty\r\n%Maker%=Models\r\n\r\n"
                                 "[Empty]\r\n\r\n"
                                 "[Models]\r\n%A%=ONLYNAME\r\n%A%=NOIDS,\r\n%A%=MODEMA,PCI\\A,PCI\\B\r\n"
                                 "%B%=MODEMB,pci\\ven_8086&dev_2416\r\n%C%=MODEMC,PCI\\VEN_8086\r\n\r\n"
                                 "[MODEMA]\r\n[MODEMA.NT]\r\n[MODEMB]\r\n[MODEMB.NT]\r\n[MODEMC]\r\n\r\n"
                                 "[Strings]\r\nMaker=\"M\"\r\nA=\"A\"\r\nB=\"B\"\r\nC=\"C\"\r\n");
    HINF handle = SetupOpenInfFileA(inf, nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    struct Case {
        const char* deviceId;
        const char* section;  // null: none
    } cases[] = {
        {"pci\\a,pci\\b&rev_01", "MODEMA.NT"},
        {"PCI\\A", nullptr},  // the whole id text after the install section must occur
        {"PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01", "MODEMB.NT"},
        {"PCI\\VEN_8086&DEV_1111", "MODEMC"},
        {"ACPI\\VEN_8086", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deviceId);
        CDeviceUpdater updater(nullptr, inf);
        std::strcpy(updater.m_hardwareId, c.deviceId);
        char section[256] = "unchanged";
        EXPECT_EQ(0, updater.FindInstallSection(handle, section, sizeof(section)));  // no device ever found
        updater.m_everFound = 1;
        EXPECT_EQ(c.section != nullptr, updater.FindInstallSection(handle, section, sizeof(section)) != 0);
        if (c.section) {
            EXPECT_STREQ(c.section, section);
        }
        EXPECT_EQ(CString(c.deviceId).MakeUpper(), CString(updater.m_hardwareId));
    }
    SetupCloseInfFile(handle);
}

TEST_F(ClassInstallerTest, DeviceWhoseIdListDoesNotFitTwoHundredBytesIsNeverFound)
{
    // A first id and one filler id, making a list of the given size in bytes.
    auto idList = [](const std::string& first, size_t bytes) {
        return std::vector<std::string>{first, std::string(bytes - first.size() - 3, 'F')};
    };
    const std::string fits = "ROOT\\VXFITS\\0000", tooLong = "ROOT\\VXPAIRA\\0000", shortList = "ROOT\\VXPAIRB\\0000";
    ASSERT_TRUE(machine::CreateDevice(fits, idList("VXFITS\\IDLIST", 200)));
    ASSERT_TRUE(machine::CreateDevice(tooLong, idList("VXPAIR\\IDLIST&A", 201)));  // listed first
    ASSERT_TRUE(machine::CreateDevice(shortList, {"VXPAIR\\IDLIST&B"}));
    m_devices = {fits, tooLong, shortList};

    CDeviceUpdater fitting("FITS\\IDLIST", nullptr);
    EXPECT_EQ(1, fitting.m_found);
    EXPECT_TRUE(fitting.m_hDevList.IsValid());
    EXPECT_STREQ("VXFITS\\IDLIST", fitting.m_hardwareId);

    CDeviceUpdater updater("IDLIST&A", nullptr);
    EXPECT_EQ(0, updater.m_found);
    EXPECT_EQ(0, updater.m_everFound);
    EXPECT_FALSE(updater.m_hDevList.IsValid());
    EXPECT_STREQ("IDLIST&A", updater.m_hardwareId);  // the search text when nothing was found

    EXPECT_EQ(1, updater.FindDevice("PAIR\\IDLIST"));  // the long list is passed over
    EXPECT_STREQ("VXPAIR\\IDLIST&B", updater.m_hardwareId);
    EXPECT_EQ(1, updater.FindDevice("VXFITS"));  // a device held stays held
    EXPECT_STREQ("VXPAIR\\IDLIST&B", updater.m_hardwareId);
    updater.ReleaseDevice();
    EXPECT_EQ(0, updater.m_found);
    EXPECT_FALSE(updater.m_hDevList.IsValid());
    EXPECT_EQ(1, updater.m_everFound);
}

TEST_F(ClassInstallerTest, QueuedFileIsCopiedFromTheInfFolderAndAFileInUseAsksForARestart)
{
    m_folder.Write("pkg\\vxscan.inf", "[Version]\r\n");
    m_folder.Write("pkg\\vxscan.bin", "from the package");
    CDeviceUpdater updater(nullptr, m_folder.Path() + "pkg\\vxscan.inf");
    EXPECT_STREQ(m_folder.Path() + "pkg\\", updater.m_infFolder);
    const CString target = m_folder.Path() + "out\\vxscan.bin";
    CreateDirectoryA(m_folder.Path() + "out", nullptr);

    EXPECT_EQ(0u, CDeviceUpdater::QueueScanCallback(&updater, SPFILENOTIFY_QUEUESCAN,
                                                    reinterpret_cast<UINT_PTR>(target.c_str()), 0));
    EXPECT_EQ(0, updater.m_needsRestart);
    EXPECT_EQ("from the package", ReadWholeFile(target));

    EXPECT_EQ(0u, CDeviceUpdater::QueueScanCallback(&updater, SPFILENOTIFY_QUEUESCAN,
                                                    reinterpret_cast<UINT_PTR>(target.c_str()), SPQ_DELAYED_COPY));
    EXPECT_EQ(1, updater.m_needsRestart);
}



// The whole installation on Windows XP, as the progress dialog's worker runs it.
class XpInstallationTest : public ClassInstallerTest {
protected:
    void TearDown() override
    {
        ClassInstallerTest::TearDown();
        if (m_engine.m_hDeviceReady) CloseHandle(m_engine.m_hDeviceReady);
        DeleteOemInfs();
    }
    // The package of WritePackage with a description file and its cabinet.
    CString WriteDescribedPackage(const Package& package)
    {
        WritePackage(package);
        m_folder.Write("pkg\\vxxp.scp", "[General]\nVXSignature=VXXPPKG\nSource=VXXPCAB\n");
        m_folder.Write("pkg\\VXXPCAB.CAB", "cabinet");
        return m_folder.Path() + "pkg\\";
    }

    machine::ProgressWindow m_progress;
    CSetupEngine m_engine;
};

TEST_F(XpInstallationTest, PresentModemIsUpdatedAndTheRunWaitsUntilItIsReady)
{
    const std::string device = CreateModem("22220000");
    Package package;
    package.prefix = "vxwhole";
    const CString source = WriteDescribedPackage(package);
    m_engine.m_hWndNotify = m_progress.Handle();

    EXPECT_EQ(SETUP_OK, m_engine.Install(source));
    EXPECT_EQ("vxwhole", ReadMachineString(machine::DriverKeyPath(device), "VXUpdValue"));
    EXPECT_NE(nullptr, m_engine.m_hDeviceReady);  // it waited for the device
    EXPECT_EQ((std::vector<int>{4000, 12000}), m_progress.LastAmounts(2));
}

TEST_F(XpInstallationTest, CoinstallerAskingForRebootMakesTheRunAskForARestart)
{
    const std::string device = CreateModem("33330000");
    Package package;
    package.prefix = "vxwhreb";
    package.coinstaller = true;
    m_systemFiles.push_back(kCoinstaller);
    const CString source = WriteDescribedPackage(package);
    m_engine.m_hWndNotify = m_progress.Handle();

    EXPECT_EQ(SETUP_RESTART, m_engine.Install(source));
    EXPECT_EQ("vxwhreb", ReadMachineString(machine::DriverKeyPath(device), "VXUpdValue"));
    EXPECT_NE(nullptr, m_engine.m_hDeviceReady);
    EXPECT_EQ((std::vector<int>{4000, 12000}), m_progress.LastAmounts(2));
}

// Over an earlier installation: the pass without folder removes it, the pass
// with the package binds the package to the present modem, which is updated;
// the run asks for a restart at once.
TEST_F(XpInstallationTest, SetupOverAnEarlierInstallationReplacesItOnThePresentModem)
{
    const std::string device = CreateModem("44440000");
    machine::ModemInf earlier;
    earlier.signature = "VXXPOLD";
    earlier.files = {"vxxpold.sys"};
    const std::string earlierInf = machine::InstallInf("oemxpold.inf", earlier.Text());
    const std::string earlierFile = machine::InstallSystemFile("vxxpold.sys");
    ASSERT_TRUE(machine::SetDriverString(device, "VXSignature", "VXXPOLD"));
    ASSERT_TRUE(machine::SetDriverString(device, "InfPath", "oemxpold.inf"));
    Package package;
    package.prefix = "vxxpnew";
    const CString source = WriteDescribedPackage(package);
    m_engine.m_hWndNotify = m_progress.Handle();

    EXPECT_EQ(SETUP_RESTART, m_engine.Install(source));

    EXPECT_FALSE(FileExists(earlierInf.c_str()));   // the earlier INF went with the first pass
    EXPECT_FALSE(FileExists(earlierFile.c_str()));  // and so did its file
    const std::string driverKey = machine::DriverKeyPath(device);
    EXPECT_EQ("vxxpnew", ReadMachineString(driverKey, "VXUpdValue"));
    EXPECT_EQ("package copy of vxxpnewnt.sys", ReadWholeFile(SystemFile("vxxpnewnt.sys").c_str()));
    EXPECT_EQ(nullptr, m_engine.m_hDeviceReady);  // no wait
    EXPECT_EQ((std::vector<int>{4000, 12000}), m_progress.LastAmounts(2));
    const std::string keep = machine::WindowsFolder() + "\\Tarvo\\VXXPPKG\\";
    EXPECT_EQ("cabinet", ReadWholeFile((keep + "VXXPCAB.CAB").c_str()));
    EXPECT_TRUE(FileExists((keep + "vxxp.scp").c_str()));
}

}  // namespace
