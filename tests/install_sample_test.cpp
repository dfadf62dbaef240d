// The sample driver package of the demo machine (<build>/sample-modem, made by
// the target sample_package), read by the real SetupAPI: its INF files, the
// folder each Windows gets, the files the INF files name, and its extension
// library as the product loads and calls it.
#include <gtest/gtest.h>

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "inf/source_folder.h"
#include "platform/ext_lib.h"
#include "tests/support/machine.h"
#include "tests/support/test_support.h"

namespace {

CString PackageFolder() { return BinaryDirectory() + "\\sample-modem\\"; }

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

using machine::SystemFolder;
using machine::WindowsFolder;

// An INF opened by SetupAPI for the length of a test.
class OpenInf {
public:
    explicit OpenInf(const CString& path) : m_inf(SetupOpenInfFileA(path, nullptr, INF_STYLE_WIN4, nullptr)) {}
    ~OpenInf()
    {
        if (m_inf != INVALID_HANDLE_VALUE) SetupCloseInfFile(m_inf);
    }
    OpenInf(const OpenInf&) = delete;
    OpenInf& operator=(const OpenInf&) = delete;
    HINF Get() const { return m_inf; }
    bool IsOpen() const { return m_inf != INVALID_HANDLE_VALUE; }

    // The text of the first line of the section with the key (all of the
    // section's first line when the key is null), or "(none)".
    std::string LineText(const char* section, const char* key) const
    {
        INFCONTEXT line;
        char text[1024] = {0};
        if (!SetupFindFirstLineA(m_inf, section, key, &line) ||
            !SetupGetLineTextA(&line, nullptr, nullptr, nullptr, text, sizeof(text), nullptr))
            return "(none)";
        return text;
    }

private:
    HINF m_inf;
};

struct PackageFolderCase {
    const char* folder;  // below the package
    const char* signature;
    std::vector<const char*> tags;       // version tags the INF carries
    std::vector<const char*> otherTags;  // and the ones it must not carry
    const char* actualSection;           // for MODEM1 under this (NT) Wine
    const char* cabinet;                 // the .SCP file's Source + ".CAB"
    std::vector<const char*> sections;   // the install sections whose files are copied
    std::vector<std::string> targets;    // where those files go, relative to the system folder
};

void PrintTo(const PackageFolderCase& c, std::ostream* out) { *out << c.folder; }

std::vector<PackageFolderCase> FolderCases()
{
    return {
        {"nt", "ZX2416_NT_2K", {"NT", "2K"}, {"9X", "ME"}, "MODEM1.NT", "ZXNT.CAB",
         {"MODEM1", "MODEM1.NT", "MODEM1.NT.Coinstallers"},
         {"drivers\\ZX2416.SYS", "ZEDor.Dll", "ZX2416CO.DLL"}},
        {"9x", "ZX2416_9X_ME", {"9X", "ME"}, {"NT", "2K"}, "MODEM1", "ZX9X.CAB",
         {"MODEM1"},
         {"ZX2416.VXD", "ZEDor.Dll"}},
    };
}

class SamplePackageFolder : public testing::TestWithParam<PackageFolderCase> {
protected:
    CString Folder() const { return PackageFolder() + GetParam().folder + "\\"; }
    CString InfPath() const { return Folder() + "ZX2416.INF"; }
};

TEST_P(SamplePackageFolder, InfOpensWithModelsLineSectionsAndSignature)
{
    const PackageFolderCase& c = GetParam();
    OpenInf inf(InfPath());
    ASSERT_TRUE(inf.IsOpen()) << InfPath().c_str() << " error " << GetLastError();

    EXPECT_EQ("Modem", inf.LineText("Version", "Class"));
    EXPECT_EQ("ZxModels", inf.LineText("Manufacturer", nullptr));
    EXPECT_EQ("MODEM1,PCI\\VEN_8086&DEV_2416", inf.LineText("ZxModels", nullptr));
    EXPECT_EQ(c.signature, inf.LineText("Strings", "VXSignature"));

    char section[256] = {0};
    ASSERT_TRUE(SetupDiGetActualSectionToInstallA(inf.Get(), "MODEM1", section, sizeof(section), nullptr, nullptr));
    EXPECT_STREQ(c.actualSection, section);

    for (const char* tag : c.tags) EXPECT_TRUE(InfHasSignature(InfPath(), tag)) << tag;
    for (const char* tag : c.otherTags) EXPECT_FALSE(InfHasSignature(InfPath(), tag)) << tag;
    for (const char* tag : c.tags) {
        CString found;
        FindSignedInfFolder(PackageFolder(), tag, found);
        EXPECT_STREQ(Folder(), found) << tag;
    }
}

UINT CALLBACK CollectTarget(PVOID context, UINT notification, UINT_PTR target, UINT_PTR)
{
    if (notification == SPFILENOTIFY_QUEUESCAN)
        static_cast<std::vector<std::string>*>(context)->push_back(Upper(reinterpret_cast<const char*>(target)));
    return NO_ERROR;
}

// Every file the install sections copy lies in the folder (SetupAPI's commit
// never ends when the first file of a disk is missing), the catalog lies
// beside the INF, and the cabinet that the .SCP file names holds the files.
TEST_P(SamplePackageFolder, FilesNamedByTheInfAreInTheFolder)
{
    const PackageFolderCase& c = GetParam();
    OpenInf inf(InfPath());
    ASSERT_TRUE(inf.IsOpen());
    HSPFILEQ queue = SetupOpenFileQueue();
    ASSERT_NE(INVALID_HANDLE_VALUE, queue);
    for (const char* section : c.sections)
        EXPECT_TRUE(SetupInstallFilesFromInfSectionA(inf.Get(), nullptr, queue, section, nullptr, 0)) << section;
    std::vector<std::string> targets;
    DWORD result = 0;
    EXPECT_TRUE(SetupScanFileQueueA(queue, SPQ_SCAN_USE_CALLBACK, nullptr, CollectTarget, &targets, &result));
    SetupCloseFileQueue(queue);

    std::vector<std::string> expected;
    for (const std::string& target : c.targets) expected.push_back(Upper(SystemFolder() + "\\" + target));
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, targets);
    for (const std::string& target : c.targets) {
        std::string name = target.substr(target.rfind('\\') + 1);
        EXPECT_TRUE(FileExists(Folder() + name.c_str())) << name;
    }

    std::string catalog = inf.LineText("Version", "CatalogFile");
    EXPECT_GE(ReadWholeFile(Folder() + catalog.c_str()).size(), 200u) << catalog;

    std::string cabinet = ReadWholeFile(Folder() + c.cabinet);
    EXPECT_EQ(0u, cabinet.rfind("MSCF", 0)) << c.cabinet;
    for (const std::string& target : c.targets)
        EXPECT_NE(std::string::npos, cabinet.find(target.substr(target.rfind('\\') + 1))) << target;
}

INSTANTIATE_TEST_SUITE_P(Folders, SamplePackageFolder, testing::ValuesIn(FolderCases()),
                         [](const testing::TestParamInfo<PackageFolderCase>& info) {
                             return std::string("folder_") + info.param.folder;
                         });

// "zorirav.ini" sends each Windows to its folder.
TEST(SamplePackage, EveryWindowsGetsItsFolder)
{
    struct Case {
        const VersionRecord* version;
        const char* folder;
    };
    const Case cases[] = {{&kWin95, "9x\\"}, {&kWin98, "9x\\"}, {&kWinMe, "9x\\"},
                          {&kNt4, "nt\\"},   {&kWin2000, "nt\\"}, {&kWinXp, "nt\\"}};
    for (const Case& c : cases) {
        ScopedVersion version(*c.version);
        EXPECT_STREQ(PackageFolder() + c.folder, ChooseVersionSourceFolder(PackageFolder())) << c.version->name;
    }
}

// The package's extension library, found by the product in the package folder
// (the current directory of setup), logs each command it is handed.
TEST(SamplePackage, ExtensionLibraryLogsEachCommand)
{
    char saved[MAX_PATH] = {0};
    GetCurrentDirectoryA(sizeof(saved), saved);
    ASSERT_TRUE(SetCurrentDirectoryA(PackageFolder() + "nt"));

    const std::string windows = WindowsFolder();
    const std::string restore = "-s:" + windows + "\\Tarvo\\ZXTEST\\VXExtBU -r:SYSTEM\\CurrentControlSet\\Control\\"
                                "Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0007 -NoReboot -ClearTarvo";
    struct Case {
        std::string command;
        std::string log;   // below the Windows folder
        std::string line;  // what it gains
    };
    const Case cases[] = {
        {restore, "\\Tarvo\\ZXTEST\\VXAddExtra.log", restore},
        {"", "\\Tarvo\\VXAddExtra.log", "(empty command)"},
        // A folder name that would lead out of Tarvo is no keep folder.
        {"-s:" + windows + "\\Tarvo\\..\\VXExtBU -r: -NoReboot", "\\Tarvo\\VXAddExtra.log",
         "-s:" + windows + "\\Tarvo\\..\\VXExtBU -r: -NoReboot"},
    };
    std::string expected[2];
    for (const Case& c : cases) {
        EXPECT_EQ(0, VXAddExtra(0, 0, c.command.c_str(), 0)) << c.command;
        std::string& log = expected[c.log == cases[0].log ? 0 : 1];
        log += c.line + "\r\n";
        EXPECT_EQ(log, ReadWholeFile((windows + c.log).c_str())) << c.command;
    }
    EXPECT_FALSE(FileExists((windows + "\\VXAddExtra.log").c_str()));
    SetCurrentDirectoryA(saved);
}

// The demo machine's tools: make-machine makes the modem with an earlier
// signed installation (once), and machine-report shows it.
TEST(SamplePackage, DemoMachineToolsMakeAndReportTheModem)
{
    const std::string bin = BinaryDirectory().str() + "\\bin\\";
    ASSERT_EQ(0, RunProgramToEnd("\"" + bin + "make-machine.exe\" --earlier-install", 60000));
    EXPECT_EQ(0, RunProgramToEnd("\"" + bin + "make-machine.exe\"", 60000));  // already there: nothing changes
    EXPECT_EQ(2, RunProgramToEnd("\"" + bin + "make-machine.exe\" --unknown", 60000));

    ScratchFolder scratch;
    const CString report = scratch.Path() + "report.txt";
    ASSERT_EQ(0, RunProgramToEnd("\"" + bin + "machine-report.exe\" \"" + report.str() + "\"", 60000));
    const std::string text = ReadWholeFile(report);
    const std::string device = "device PCI\\VEN_8086&DEV_2416&SUBSYS_24168086&REV_01\\3&2411E6FE&0&F7 = class=Modem; "
                               "hwid=PCI\\VEN_8086&DEV_2416&SUBSYS_24168086&REV_01; driver={4D36E96D-E325-11CE-"
                               "BFC1-08002BE10318}\\";
    const std::string driverKey = "driver-key {4D36E96D-E325-11CE-BFC1-08002BE10318}\\";
    const std::vector<std::string> facts = {
        device,
        driverKey,
        " VXSignature = ZX2416_NT_2K\n",
        " InfPath = oem",
        "\\HostBasedModemData\\Parameters\\Setup\\Pre\\1 Path = %WINDIR%\\system32\\cmd.exe /c echo ",
        "\nservice VXService = type=kernel driver; start=demand; ",
        "\nsystem-file " + SystemFolder() + "\\drivers\\ZX2416.SYS = ",
        "\nuninstall ZX2416_NT_2K DisplayName = ",
        "\ntarvo " + WindowsFolder() + "\\Tarvo\\ZX2416_NT_2K\\ = folder\n",
    };
    for (const std::string& fact : facts)
        EXPECT_NE(std::string::npos, text.find(fact)) << fact << "\n" << text;

    // Sorted, so that two snapshots compare line by line.
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()));
    ASSERT_EQ(0, RunProgramToEnd("\"" + bin + "machine-report.exe\" \"" + report.str() + "\"", 60000));
    EXPECT_EQ(text, ReadWholeFile(report)) << "a second snapshot of the same machine differs";
}

}  // namespace
