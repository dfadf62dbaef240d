// The sample driver package set up and removed by the real setup.exe under
// every Windows version setting, on a machine made as the demo machine is:
// the modem on the machine's bus, its configuration manager for setup.exe, and
// setup.exe started through the filler.
#include <gtest/gtest.h>

#include <windows.h>
#include <setupapi.h>

#include <string>

#include "support/gui.h"
#include "support/test_support.h"

namespace {

const char kModemInstance[] = "PCI\\VEN_8086&DEV_2416&SUBSYS_24168086&REV_01\\3&2411E6FE&0&F7";
const DWORD kRunLimitMs = 180000;

std::string Bin() { return std::string(ProgramFolder().c_str()) + "\\"; }

bool PreferOurConfigurationManager(const char* program)
{
    std::string path = std::string("Software\\Wine\\AppDefaults\\") + program + "\\DllOverrides";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const char order[] = "native,builtin";
    bool set = RegSetValueExA(key, "cfgmgr32", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof(order)) ==
               ERROR_SUCCESS;
    RegCloseKey(key);
    return set;
}

// Devices whose driver key carries the package's signature value.
int SignedDeviceCount()
{
    HDEVINFO all = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (all == INVALID_HANDLE_VALUE) return -1;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    int count = 0;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(all, index, &device); ++index) {
        HKEY key = SetupDiOpenDevRegKey(all, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        if (RegQueryValueExA(key, "VXSignature", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) ++count;
        RegCloseKey(key);
    }
    SetupDiDestroyDeviceInfoList(all);
    return count;
}

class SampleEveryVersionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char system[MAX_PATH] = {0};
        GetSystemDirectoryA(system, sizeof(system));
        ASSERT_TRUE(CopyFileA((Bin() + "machine\\cfgmgr32.dll").c_str(), (std::string(system) + "\\cfgmgr32.dll").c_str(),
                              FALSE));
        ASSERT_TRUE(PreferOurConfigurationManager("setup.exe"));
        ASSERT_TRUE(PreferOurConfigurationManager("make-machine.exe"));
        ASSERT_EQ(0, RunProgramToEnd("\"" + Bin() + "make-machine.exe\"", kRunLimitMs));
    }

    // Runs setup.exe with the arguments to its end, then lets Plug and Play
    // find and set up devices, as a restart of the machine would (Windows NT
    // 4.0 has no Plug and Play).
    void RunSetupThenRestart(const std::string& arguments, const VersionRecord& version)
    {
        SetupProcess setup;
        ASSERT_TRUE(setup.StartWithFiller(arguments));
        ASSERT_TRUE(setup.WaitForExit(kRunLimitMs)) << "setup.exe " << arguments << " did not end (a box waiting?)";
        if (&version == &kNt4) return;
        ASSERT_EQ(0, RunProgramToEnd("\"" + Bin() + "make-machine.exe\" --plug-and-play", kRunLimitMs));
    }
};

TEST_F(SampleEveryVersionTest, InstallsAndRemovesCleanly)
{
    const std::string package = std::string(BinaryDirectory().c_str()) + "\\sample-modem";
    for (const VersionRecord* version : kAllVersions) {
        SCOPED_TRACE(version->name);
        SetProgramWindowsVersion("setup.exe", version->name);
        // The command line takes the folder as it stands (no quotes); this one has no blanks.
        RunSetupThenRestart(package + " /SILENT", *version);
        EXPECT_EQ(1, SignedDeviceCount()) << "after setup";
        RunSetupThenRestart("/REMOVE /SILENT", *version);
        EXPECT_EQ(0, SignedDeviceCount()) << "after removal";
        // The modem itself is still plugged in.
        HDEVINFO list = SetupDiCreateDeviceInfoList(nullptr, nullptr);
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof(device);
        EXPECT_TRUE(SetupDiOpenDeviceInfoA(list, kModemInstance, nullptr, 0, &device));
        SetupDiDestroyDeviceInfoList(list);
    }
}

}  // namespace
