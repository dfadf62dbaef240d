// Registry holder, key-tree deletion and command sets on the real registry.
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/command_set.h"
#include "platform/reg_key.h"
#include "tests/support/test_support.h"

namespace {
const char kBase[] = "SOFTWARE\\PlatformRegistryTest";

std::string Under(const char* relative) { return std::string(kBase) + "\\" + relative; }

void CreateKey(const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
}

void SetString(const std::string& path, const char* name, const std::string& value, DWORD type = REG_SZ,
               bool terminated = true)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + (terminated ? 1 : 0)));
    RegCloseKey(key);
}

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Lets everyone read the key but not write it (nor delete below it).
void MakeReadOnly(const std::string& path, bool readOnly)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key), ERROR_SUCCESS);
    char everyone[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(everyone);
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize));
    EXPLICIT_ACCESSA access = {};
    access.grfAccessPermissions = readOnly ? (KEY_READ | READ_CONTROL | WRITE_DAC) : KEY_ALL_ACCESS;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = everyone;
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclA(1, &access, nullptr, &acl), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(acl);
    RegCloseKey(key);
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { CreateKey(kBase); }
    void TearDown() override { DeleteMachineKeyTree(kBase); }
};
}  // namespace

TEST_F(Registry, DeleteSubtreeOfKeyWithoutSubkeys)
{
    SetString(Under("Leaf"), "Value", "x");
    CRegKeyHolder base;
    ASSERT_EQ(base.Open(HKEY_LOCAL_MACHINE, kBase, KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(base.DeleteSubtree("Leaf"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(Under("Leaf")));
    EXPECT_TRUE(KeyExists(kBase));
}

TEST_F(Registry, DeleteSubtreeOfThreeLevelsFromMachineRoot)
{
    for (const char* path : {"Tree\\A\\A1", "Tree\\A\\A2\\X", "Tree\\A\\A2\\Y", "Tree\\B", "Other"})
        CreateKey(Under(path));
    SetString(Under("Tree\\A\\A2\\X"), "Value", "x");
    CRegKeyHolder machine;
    ASSERT_EQ(machine.Open(HKEY_LOCAL_MACHINE, "", KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(machine.DeleteSubtree(Under("Tree").c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(Under("Tree")));
    EXPECT_TRUE(KeyExists(Under("Other")));
    // The holder's own key stays open and usable.
    HKEY again = nullptr;
    EXPECT_EQ(RegOpenKeyExA(machine, kBase, 0, KEY_READ, &again), ERROR_SUCCESS);
    RegCloseKey(again);
}

TEST_F(Registry, DeleteSubtreeOfMissingKey)
{
    CRegKeyHolder base;
    ASSERT_EQ(base.Open(HKEY_LOCAL_MACHINE, kBase, KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(base.DeleteSubtree("Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(base.DeleteSubtree("Missing\\Deeper"), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(KeyExists(kBase));
}

TEST_F(Registry, DeleteSubtreeStopsAtFirstError)
{
    // Subkeys enumerate in name order: A0 goes first, then B fails below it.
    for (const char* path : {"Tree\\A0\\Leaf", "Tree\\B\\Locked\\Leaf", "Tree\\C"}) CreateKey(Under(path));
    MakeReadOnly(Under("Tree\\B\\Locked"), true);

    CRegKeyHolder base;
    ASSERT_EQ(base.Open(HKEY_LOCAL_MACHINE, kBase, KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(base.DeleteSubtree("Tree"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(KeyExists(Under("Tree\\A0")));
    EXPECT_TRUE(KeyExists(Under("Tree\\B\\Locked\\Leaf")));
    EXPECT_TRUE(KeyExists(Under("Tree\\C")));

    MakeReadOnly(Under("Tree\\B\\Locked"), false);
    EXPECT_EQ(base.DeleteSubtree("Tree"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(Under("Tree")));
}

TEST_F(Registry, FailedOpenKeepsTheKeyHeld)
{
    CRegKeyHolder holder;
    ASSERT_EQ(holder.Open(HKEY_LOCAL_MACHINE, kBase, KEY_ALL_ACCESS), ERROR_SUCCESS);
    HKEY held = holder.Get();
    EXPECT_EQ(holder.Open(HKEY_LOCAL_MACHINE, Under("Missing").c_str(), KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(holder.Get(), held);
    const char data[] = "still open";
    EXPECT_EQ(RegSetValueExA(holder, "Probe", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof(data)),
              ERROR_SUCCESS);
    EXPECT_EQ(holder.Close(), ERROR_SUCCESS);
    EXPECT_EQ(holder.Get(), nullptr);
    EXPECT_EQ(holder.Close(), ERROR_SUCCESS);
    CRegKeyHolder empty;
    EXPECT_EQ(empty.Close(), ERROR_SUCCESS);
}

TEST_F(Registry, SuccessfulOpenReplacesTheKeyHeld)
{
    CreateKey(Under("Sub"));
    CRegKeyHolder holder;
    ASSERT_EQ(holder.Open(HKEY_LOCAL_MACHINE, kBase, KEY_ALL_ACCESS), ERROR_SUCCESS);
    HKEY first = holder.Get();
    ASSERT_EQ(holder.Open(HKEY_LOCAL_MACHINE, Under("Sub").c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_NE(holder.Get(), first);
    EXPECT_EQ(RegCloseKey(first), ERROR_INVALID_HANDLE);  // closed by the holder already
    DWORD subkeys = 99;
    EXPECT_EQ(RegQueryInfoKeyA(holder, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u);
}

TEST_F(Registry, DeleteMachineKeyTree)
{
    for (const char* path : {"Machine\\A\\B", "Machine\\C"}) CreateKey(Under(path));
    DeleteMachineKeyTree(Under("Machine").c_str());
    EXPECT_FALSE(KeyExists(Under("Machine")));
    DeleteMachineKeyTree(Under("Machine").c_str());  // missing: nothing happens
    EXPECT_TRUE(KeyExists(kBase));
}

TEST(CommandExpansion, ReplacesEveryPlaceholderInAnyCase)
{
    const struct {
        const char* text;
        const char* expanded;
    } cases[] = {
        {"%windir%\\system32\\X.EXE /a", "C:\\WINDOWS\\system32\\X.EXE /a"},
        {"%WINDIR%\\A %WinDir%\\B", "C:\\WINDOWS\\A C:\\WINDOWS\\B"},
        {"%WINDIR%%WINDIR%", "C:\\WINDOWSC:\\WINDOWS"},
        {"no placeholder", "no placeholder"},
        {"%WINDIR", "%WINDIR"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandWindowsDirectory(c.text, "C:\\WINDOWS"), c.expanded) << c.text;
    // The search starts again from the front, so a placeholder that a
    // replacement completes is replaced too.
    EXPECT_EQ(ExpandWindowsDirectory("%WIN%WINDIR%", "DIR%"), "DIR%");
}

TEST(CommandExpansion, FolderHoldingThePlaceholderEnds)
{
    EXPECT_EQ(ExpandWindowsDirectory("%WINDIR%\\A", "C:\\%windir%"), "C:\\%windir%\\A");
}

TEST_F(Registry, CommandSetReadsSubkeysInByteOrder)
{
    const std::string commands = Under("Commands");
    SetString(commands + "\\1", "Path", "%windir%\\system32\\X.EXE /a");
    SetString(commands + "\\2", "Path", "%WINDIR%\\A %windir%\\B");
    SetString(commands + "\\10", "Path", "TEN");
    SetString(commands + "\\3", "Other", "no Path value");
    SetString(commands + "\\4", "Path", std::string(260, 'x'));           // 261 bytes: too long
    SetString(commands + "\\5", "Path", std::string(259, 'y'));           // 260 bytes: fits
    SetString(commands + "\\6", "Path", "RAW", REG_BINARY, false);         // type not examined, no NUL
    SetString(commands + "\\7", "Path", "%WINDIR%\\E.EXE", REG_EXPAND_SZ);  // expanded by us, not the registry

    CRegKeyHolder key;
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, commands.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    CCommandSet set;
    ASSERT_FALSE(set.m_windowsDirectory.IsEmpty());
    const CString windows = set.m_windowsDirectory;
    EXPECT_EQ(set.LoadFromKey(key), ERROR_NO_MORE_ITEMS);

    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& command : set.Commands()) got.emplace_back(command.first, command.second.str());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"1", windows.str() + "\\system32\\X.EXE /a"},
        {"10", "TEN"},
        {"2", windows.str() + "\\A " + windows.str() + "\\B"},
        {"5", std::string(259, 'y')},
        {"6", "RAW"},
        {"7", windows.str() + "\\E.EXE"},
    };
    EXPECT_EQ(got, expected);

    // A second key with a name already present: the first command stays.
    SetString(Under("More\\1"), "Path", "REPLACEMENT");
    SetString(Under("More\\11"), "Path", "ELEVEN");
    CRegKeyHolder more;
    ASSERT_EQ(more.Open(HKEY_LOCAL_MACHINE, Under("More").c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    set.LoadFromKey(more);
    EXPECT_EQ(set.Count(), 7u);
    EXPECT_EQ(set.Commands().at("1"), windows + "\\system32\\X.EXE /a");
    EXPECT_EQ(set.Commands().at("11"), "ELEVEN");

    // A copy carries both the folder and the commands.
    CCommandSet copy = set;
    EXPECT_EQ(copy.m_windowsDirectory, windows);
    EXPECT_EQ(copy.Count(), 7u);
}

TEST_F(Registry, CommandSetRunsInKeyOrderEachToItsEnd)
{
    ScratchFolder folder;
    const CString log = folder.Path() + "order.txt";
    const std::string commands = Under("Run");
    // Each command appends its name; later ones only see the file complete if
    // the earlier ones have ended.
    for (const char* name : {"1", "2", "10"})
        SetString(commands + "\\" + name, "Path",
                  std::string("%WINDIR%\\system32\\cmd.exe /c echo run") + name + ">>" + log.str());
    SetString(commands + "\\3", "Path", "no_such_program_anywhere.exe");  // skipped at once

    CRegKeyHolder key;
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, commands.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    CCommandSet set;
    set.LoadFromKey(key);
    ASSERT_EQ(set.Count(), 4u);
    set.RunAll();
    EXPECT_EQ(ReadWholeFile(log), "run1\r\nrun10\r\nrun2\r\n");
}
