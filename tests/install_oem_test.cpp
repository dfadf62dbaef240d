// Pre-installation of a package INF as an OEM INF, on each Windows version:
// the adjusted INF copy, the catalog and its registration, the OEM INF that
// SetupAPI makes, and the copy of the install sections' files with its callback.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/setup_engine.h"
#include "framework/winapp.h"
#include "install/oem_preinstall.h"
#include "platform/files.h"
#include "support/machine.h"
#include "support/test_support.h"

namespace {

const char kModelLine[] = "%Modem%=MODEM1,PCI\\VEN_8086&DEV_2416";
const char kDeviceId[] = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000";
const char kInsertedLine[] = "%Modem%=MODEM1,PCI\\VEN_8086&DEV_2416&SUBSYS_00000000";
// Every target folder of the tests lies below this folder of the Windows directory.
const char kTargetRoot[] = "OemTest";

std::string Crlf(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string WindowsDir() { return g_windowsDir.c_str(); }
std::string TargetFolder(const std::string& name) { return WindowsDir() + "\\" + kTargetRoot + "\\" + name; }

std::string TempFolder()
{
    char folder[MAX_PATH] = {0};
    GetTempPathA(sizeof(folder), folder);
    return folder;
}

// A modem package INF of ours: one model in [Models], install section MODEM1
// with its .NT and .NT.Coinstallers forms, files copied below the Windows
// directory (dirid 10) into OemTest\<destination>.
struct PackageInf {
    std::string tag;  // a comment line, so that no two packages are alike
    std::string catalogLines;
    std::string destination;
    std::vector<std::string> files, ntFiles, coinstallerFiles;

    std::string Text() const
    {
        std::string text = "; " + tag + "\r\n";
        text += "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Modem\r\n"
                "ClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}\r\nProvider=%Maker%\r\n" +
                catalogLines + "DriverVer=01/01/2004,1.0.0.0\r\n\r\n";
        text += "[Manufacturer]\r\n%Maker%=Models\r\n\r\n[Models]\r\n" + std::string(kModelLine) + "\r\n\r\n";
        text += "[DestinationDirs]\r\nDefaultDestDir=10," + std::string(kTargetRoot) + "\\" + destination + "\r\n\r\n";
        auto part = [&text](const std::string& name, const std::vector<std::string>& copied) {
            text += "[" + name + "]\r\n";
            if (!copied.empty()) text += "CopyFiles=" + name + ".Files\r\n\r\n[" + name + ".Files]\r\n" + Crlf(copied);
            text += "\r\n";
        };
        part("MODEM1", files);
        part("MODEM1.NT", ntFiles);
        part("MODEM1.NT.Coinstallers", coinstallerFiles);
        text += "[Strings]\r\nMaker=\"Quenzaric Test\"\r\nModem=\"Test soft modem\"\r\n";
        return text;
    }
};

// A package record as the removal pass leaves it for the installation.
DriverInfRecord PackageRecord(const std::string& infPath, const char* hardwareId)
{
    DriverInfRecord record;
    record.infPath = Upper(infPath).c_str();
    record.hardwareId = hardwareId;
    record.installSection = "MODEM1";
    record.modelsSection = "Models";
    return record;
}

// The file names of a folder (no subfolders).
std::set<std::string> FilesOf(const std::string& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

std::string SystemText(DWORD error)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, error, LANG_USER_DEFAULT,
                   reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text ? text : "";
    LocalFree(text);
    return result;
}

class OemPreinstallTest : public ::testing::Test {
protected:
    void SetUp() override { ReadWindowsDirectory(); }
    void TearDown() override
    {
        DeleteDirectoryTree((WindowsDir() + "\\" + kTargetRoot).c_str(), false);
        machine::ClearPendingOperations();
    }

    // Writes the package INF and a source file for each file it copies
    // (content: the file's name) into the package folder; returns the INF's path.
    std::string WritePackage(const PackageInf& inf, const std::string& infName,
                             const std::vector<std::string>& missing = {})
    {
        for (const auto* list : {&inf.files, &inf.ntFiles, &inf.coinstallerFiles})
            for (const std::string& name : *list)
                if (std::find(missing.begin(), missing.end(), name) == missing.end())
                    m_scratch.Write(("pkg\\" + name).c_str(), name);
        return m_scratch.Write(("pkg\\" + infName).c_str(), inf.Text()).c_str();
    }
    CString Source() const { return m_scratch.Path() + "pkg\\"; }

    MessageBoxCapture m_boxes;
    ScratchFolder m_scratch;
};

TEST_F(OemPreinstallTest, AdjustedInfLeadsTheModelsSectionWithTheDevice)
{
    const std::string longLine = "; " + std::string(300, 'L');
    struct Case {
        const char* name;
        const VersionRecord* version;
        const char* hardwareId;
        std::vector<std::string> input;
        std::vector<std::string> expected;
    } cases[] = {
        {"inserted after the header, the model line kept", &kWinXp, kDeviceId,
         {"[Version]", "CatalogFile=pkg.cat", "[Models]", kModelLine, "[Other]"},
         {"[Version]", "CatalogFile=pkg.cat", "[Models]", kInsertedLine, kModelLine, "[Other]"}},
        {"header in another case", &kWinXp, kDeviceId,
         {"[MODELS]", kModelLine},
         {"[MODELS]", kInsertedLine, kModelLine}},
        {"catalog lines dropped on Windows 98", &kWin98, kDeviceId,
         {"[Version]", "CatalogFile=pkg.cat", "catalogfile.NTx86=nt.cat", " CatalogFile=kept.cat", "[Models]",
          kModelLine},
         {"[Version]", " CatalogFile=kept.cat", "[Models]", kInsertedLine, kModelLine}},
        {"catalog lines kept on Windows 95", &kWin95, kDeviceId,
         {"CatalogFile=pkg.cat", "[Models]", kModelLine},
         {"CatalogFile=pkg.cat", "[Models]", kInsertedLine, kModelLine}},
        {"catalog lines kept on Windows Me", &kWinMe, kDeviceId,
         {"CatalogFile=pkg.cat", "[Models]", kModelLine},
         {"CatalogFile=pkg.cat", "[Models]", kInsertedLine, kModelLine}},
        {"catalog lines kept on Windows 2000", &kWin2000, "",
         {"CatalogFile=pkg.cat"},
         {"CatalogFile=pkg.cat"}},
        {"only the first matching header", &kWinXp, kDeviceId,
         {"[Models]", kModelLine, "[models]", "%Other%=MODEM2,PCI\\VEN_1234"},
         {"[Models]", kInsertedLine, kModelLine, "[models]", "%Other%=MODEM2,PCI\\VEN_1234"}},
        {"no = in the following line", &kWinXp, kDeviceId,
         {"[Models]", "; the models", kModelLine},
         {"[Models]", "; the models", kModelLine}},
        {"= first in the following line", &kWinXp, kDeviceId,
         {"[Models]", "=MODEM1,PCI\\VEN_8086"},
         {"[Models]", "=MODEM1,PCI\\VEN_8086"}},
        {"header as the last line", &kWinXp, kDeviceId,
         {"[Version]", "[Models]"},
         {"[Version]", "[Models]"}},
        {"no hardware id: a plain copy", &kWin95, "",
         {"[Models]", kModelLine},
         {"[Models]", kModelLine}},
        {"lines longer than a read are carried over unchanged", &kWinXp, kDeviceId,
         {longLine, "[Models]", kModelLine, longLine},
         {longLine, "[Models]", kInsertedLine, kModelLine, longLine}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedVersion version(*c.version);
        DriverInfRecord record = PackageRecord(m_scratch.Write("adjust.inf", Crlf(c.input)).c_str(), c.hardwareId);
        CString adjusted = record.WriteAdjustedInf();
        EXPECT_EQ(Crlf(c.expected), ReadWholeFile(adjusted));
        EXPECT_EQ(0, _strnicmp(adjusted, (TempFolder() + "VXT").c_str(), TempFolder().size() + 3)) << adjusted;
        DeleteFileA(adjusted);
    }

    // An INF that cannot be read still gives the (empty) new file.
    DriverInfRecord missing = PackageRecord(m_scratch.Path().str() + "absent.inf", kDeviceId);
    CString adjusted = missing.WriteAdjustedInf();
    EXPECT_TRUE(FileExists(adjusted)) << adjusted;
    EXPECT_EQ("", ReadWholeFile(adjusted));
    DeleteFileA(adjusted);
}

TEST_F(OemPreinstallTest, CatalogNameIsTheUndecoratedVersionKey)
{
    struct Case {
        const char* name;
        std::string versionLines;
        const char* catalog;
    } cases[] = {
        {"undecorated", "CatalogFile=pkg.cat\r\n", "pkg.cat"},
        {"decorated only", "CatalogFile.NT=nt.cat\r\nCatalogFile.NTx86=x86.cat\r\n", ""},
        {"both", "CatalogFile.NT=nt.cat\r\ncatalogfile = \"pkg.cat\"\r\n", "pkg.cat"},
        {"none", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PackageInf inf;
        inf.catalogLines = c.versionLines;
        CString path = m_scratch.Write("catalog.inf", inf.Text());
        EXPECT_EQ(c.catalog, std::string(GetCatalogFileName(path)));
    }
    PackageInf inf;
    CString path = m_scratch.Write("lines.inf", inf.Text());
    EXPECT_EQ("Quenzaric Test", std::string(ReadInfLineText(path, "Strings", "Maker")));
    EXPECT_EQ("Modem", std::string(ReadInfLineText(path, "version", "class")));
    EXPECT_EQ("", std::string(ReadInfLineText(path, "Strings", "Absent")));
    EXPECT_EQ("", std::string(ReadInfLineText(path, "Absent", "Maker")));
    EXPECT_EQ("", std::string(GetCatalogFileName(m_scratch.Path() + "absent.inf")));
}

TEST_F(OemPreinstallTest, CatalogDecidesTheInfTheCopyAndTheRegistration)
{
    const std::string catalogFolder = WindowsDir() + "\\inf\\Catalog";
    const std::string systemFolder = WindowsDir() + "\\system";
    CreateDirectoryA(systemFolder.c_str(), nullptr);
    const std::string tool = systemFolder + "\\sucatreg.exe";
    ASSERT_TRUE(CopyFileA((BinaryDirectory() + "\\bin\\sucatreg.exe").c_str(), tool.c_str(), FALSE));
    const std::string log = m_scratch.Path().str() + "sucatreg.log";
    SetEnvironmentVariableA("SUCATREG_LOG", log.c_str());

    struct Case {
        const VersionRecord* version;
        int catalogBytes;  // 0: the INF names no catalog
        const char* hardwareId;
        bool adjusted;
        bool catalogCopied;
        bool registered;
    } cases[] = {
        {&kWin95, 200, kDeviceId, true, true, true},
        {&kWin98, 200, kDeviceId, true, true, false},
        {&kWinMe, 200, kDeviceId, false, true, true},
        {&kWin2000, 200, kDeviceId, false, false, false},
        {&kWinXp, 200, kDeviceId, false, false, false},
        {&kWin95, 199, kDeviceId, true, false, false},
        {&kWin98, 199, kDeviceId, true, false, false},
        {&kWinMe, 199, kDeviceId, true, false, false},
        {&kWin2000, 199, kDeviceId, true, false, false},
        {&kWinXp, 199, kDeviceId, true, false, false},
        {&kWinXp, 0, kDeviceId, true, false, false},
        {&kWin98, 200, "", false, true, false},
        {&kWinXp, 0, "", false, false, false},
    };
    int index = 0;
    for (const Case& c : cases) {
        ++index;
        const std::string name = "pre" + std::to_string(index);
        SCOPED_TRACE(name + " on " + c.version->name + ", catalog " + std::to_string(c.catalogBytes) +
                     (*c.hardwareId ? "" : ", no hardware id"));
        ScopedVersion version(*c.version);
        PackageInf inf;
        inf.tag = name;
        inf.destination = name;
        inf.files = {name + ".sys"};
        const std::string catalog = name + ".cat";
        if (c.catalogBytes) {
            inf.catalogLines = "CatalogFile=" + catalog + "\r\n";
            m_scratch.Write(("pkg\\" + catalog).c_str(), std::string(c.catalogBytes, 'c'));
        }
        const std::string infPath = WritePackage(inf, name + ".inf");
        DriverInfRecord record = PackageRecord(infPath, c.hardwareId);
        DeleteFileA(log.c_str());

        // Wine's SetupCopyOEMInfA refuses an INF whose catalog is not beside
        // it, which Windows does not check: the adjusted INF in the temporary
        // folder that keeps its CatalogFile line gets a copy of the catalog there.
        const std::string wineCatalog = TempFolder() + catalog;
        if (c.catalogBytes && c.adjusted && c.version != &kWin98) {
            ASSERT_TRUE(CopyFileA((Source() + catalog.c_str()).c_str(), wineCatalog.c_str(), FALSE));
        }

        const std::set<std::string> before = FilesOf(machine::InfFolder());
        ASSERT_TRUE(record.PreinstallOemInf(Source()));
        DeleteFileA(wineCatalog.c_str());

        std::vector<std::string> made;
        for (const std::string& file : FilesOf(machine::InfFolder()))
            if (!before.count(file) && Upper(file).find(".PNF") == std::string::npos) made.push_back(file);
        ASSERT_EQ(1u, made.size());
        const std::string oemInf = machine::InfFolder() + "\\" + made[0];
        const std::string content = ReadWholeFile(oemInf.c_str());
        EXPECT_EQ(c.adjusted, content.find(kInsertedLine) != std::string::npos) << content;
        if (!c.adjusted) {
            EXPECT_EQ(inf.Text(), content);
        }
        const bool catalogLineKept = c.catalogBytes && !(c.adjusted && c.version == &kWin98);
        EXPECT_EQ(catalogLineKept, content.find("CatalogFile=") != std::string::npos) << content;

        EXPECT_EQ(c.catalogCopied, FileExists((catalogFolder + "\\" + catalog).c_str()));
        EXPECT_EQ(c.registered ? Upper(tool + " /i:" + oemInf) + "\n" : "", Upper(ReadWholeFile(log.c_str())));
        EXPECT_TRUE(FileExists((TargetFolder(name) + "\\" + name + ".sys").c_str()));
        EXPECT_TRUE(m_boxes.Boxes().empty());
        DeleteFileA(oemInf.c_str());
        DeleteFileA(machine::PnfOf(oemInf).c_str());
        DeleteFileA((catalogFolder + "\\" + catalog).c_str());
    }
    SetEnvironmentVariableA("SUCATREG_LOG", nullptr);
    DeleteFileA(tool.c_str());
}

TEST_F(OemPreinstallTest, CatalogNameWithAFolderPartIsNoCatalog)
{
    ScopedVersion win98(kWin98);
    m_scratch.Write("outside.cat", std::string(400, 'c'));
    PackageInf inf;
    inf.tag = "catalog outside the package";
    inf.destination = "outside";
    inf.files = {"outside.sys"};
    inf.catalogLines = "CatalogFile=..\\outside.cat\r\n";
    DriverInfRecord record = PackageRecord(WritePackage(inf, "outside.inf"), kDeviceId);
    ASSERT_TRUE(record.PreinstallOemInf(Source()));
    EXPECT_FALSE(FileExists((WindowsDir() + "\\inf\\outside.cat").c_str()));
    EXPECT_FALSE(FileExists((WindowsDir() + "\\inf\\Catalog\\outside.cat").c_str()));
}

TEST_F(OemPreinstallTest, ResultFailsOnlyWithTheOemCopy)
{
    ScopedVersion xp(kWinXp);
    DriverInfRecord none;
    EXPECT_TRUE(none.PreinstallOemInf(Source()));
    DriverInfRecord absent = PackageRecord(m_scratch.Path().str() + "absent.inf", "");
    EXPECT_FALSE(absent.PreinstallOemInf(Source()));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(OemPreinstallTest, SectionFilesComeFromTheSourceFolderAndExistingTargetsStay)
{
    PackageInf inf;
    inf.destination = "sections";
    inf.files = {"base.sys", "kept.sys"};
    inf.ntFiles = {"nt.sys"};
    inf.coinstallerFiles = {"coinst.dll"};
    const std::string infPath = WritePackage(inf, "sections.inf");
    const std::string target = TargetFolder("sections");
    CreateDirectoryPath(target.c_str());
    ASSERT_TRUE(machine::WriteTextFile(target + "\\kept.sys", "installed before"));

    InstallInfSectionFiles(infPath.c_str(), Source(), "MODEM1");

    for (const char* name : {"base.sys", "nt.sys", "coinst.dll"})
        EXPECT_EQ(name, ReadWholeFile((target + "\\" + name).c_str())) << name;
    EXPECT_EQ("installed before", ReadWholeFile((target + "\\kept.sys").c_str()));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(OemPreinstallTest, PendingDeletionOfACopiedFileIsCancelledExceptForWindowsModemFiles)
{
    ScopedVersion xp(kWinXp);
    PackageInf inf;
    inf.destination = "pending";
    inf.files = {"first.sys", "CCPORT.SYS"};
    inf.ntFiles = {"wdmmdmld.vxd", "second.sys"};
    const std::string infPath = WritePackage(inf, "pending.inf");
    const std::string target = TargetFolder("pending");
    struct Case {
        const char* name;
        int pendingAfter;
    } cases[] = {{"first.sys", 0}, {"CCPORT.SYS", 1}, {"wdmmdmld.vxd", 1}, {"second.sys", 0}};
    for (const Case& c : cases)
        ASSERT_TRUE(MoveFileExA((target + "\\" + c.name).c_str(), nullptr,
                                MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));

    InstallInfSectionFiles(infPath.c_str(), Source(), "MODEM1");

    for (const Case& c : cases) {
        EXPECT_EQ(c.pendingAfter, machine::PendingDeleteCount(target + "\\" + c.name)) << c.name;
        EXPECT_TRUE(FileExists((target + "\\" + c.name).c_str())) << c.name;
    }
}

TEST_F(OemPreinstallTest, MissingSourceFileIsReportedOnceAndEndsTheCopy)
{
    ScopedVersion xp(kWinXp);
    PackageInf inf;
    inf.tag = "missing source";
    inf.destination = "missing";
    // Not the first file of its disk: Wine asks for that disk's media for ever.
    inf.files = {"present.sys", "missing.sys", "later.sys"};
    inf.ntFiles = {"nt.sys"};
    const std::string infPath = WritePackage(inf, "missing.inf", {"missing.sys"});
    const std::string target = TargetFolder("missing");

    DriverInfRecord record = PackageRecord(infPath, "");
    EXPECT_TRUE(record.PreinstallOemInf(Source()));

    ASSERT_EQ(1u, m_boxes.Boxes().size());
    const CapturedBox& box = m_boxes.Boxes()[0];
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND) + " (" + Source().str() + "missing.sys)", box.text);
    EXPECT_EQ(std::string(ApplicationTitle()), box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), box.style);
    EXPECT_TRUE(FileExists((target + "\\present.sys").c_str()));
    EXPECT_FALSE(FileExists((target + "\\later.sys").c_str()));
    EXPECT_FALSE(FileExists((target + "\\nt.sys").c_str()));
}

}  // namespace
