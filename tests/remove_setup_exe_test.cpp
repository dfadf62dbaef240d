// The uninstall run as users start it: setup.exe /REMOVE /SILENT removes a
// signed device that an earlier installation left, and nothing else.
#include <gtest/gtest.h>

#include <windows.h>
#include <setupapi.h>

#include <string>

#include "support/machine.h"
#include "support/test_support.h"

namespace {

int CountDevices()
{
    HDEVINFO all = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof(data);
    int count = 0;
    while (SetupDiEnumDeviceInfo(all, static_cast<DWORD>(count), &data)) ++count;
    SetupDiDestroyDeviceInfoList(all);
    return count;
}

TEST(RemoveSetupExeTest, SilentUninstallRemovesTheSignedDevice)
{
    const std::string signedDevice = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&EXESIGNED&0&FD";
    const std::string otherDevice = "PCI\\VEN_8086&DEV_2416&SUBSYS_00000000&REV_01\\3&EXEOTHER&0&FD";
    const auto ids = machine::PciHardwareIds("PCI\\VEN_8086&DEV_2416", "00000000", "01");
    machine::ModemInf inf;
    inf.signature = "VXEXE";
    inf.files = {"exemodem.sys"};
    const std::string infPath = machine::InstallInf("oemexe.inf", inf.Text());
    const std::string driverFile = machine::InstallSystemFile("exemodem.sys");
    ASSERT_TRUE(machine::CreateSignedDevice(signedDevice, ids, "VXEXE", "oemexe.inf"));
    ASSERT_TRUE(machine::CreateDevice(otherDevice, ids));
    const std::string driverKey = machine::DriverKeyPath(signedDevice);
    const std::string uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VXEXE";
    ASSERT_TRUE(machine::CreateMachineKey(uninstallKey));
    const int devicesBefore = CountDevices();

    std::string setup = std::string(BinaryDirectory().c_str()) + "\\bin\\setup.exe";
    ASSERT_TRUE(FileExists(setup.c_str()));
    ASSERT_NE(-1, RunProgramToEnd("\"" + setup + "\" /REMOVE /SILENT", 60000));

    EXPECT_FALSE(machine::DeviceExists(signedDevice));
    EXPECT_FALSE(machine::MachineKeyExists(driverKey));
    EXPECT_FALSE(machine::MachineKeyExists(uninstallKey));
    EXPECT_FALSE(FileExists(driverFile.c_str()));
    EXPECT_FALSE(FileExists(infPath.c_str()));
    EXPECT_FALSE(FileExists(machine::PnfOf(infPath).c_str()));
    // Wine's configuration manager names no children: every other device stays.
    EXPECT_TRUE(machine::DeviceExists(otherDevice));
    EXPECT_EQ(devicesBefore - 1, CountDevices());
}

}  // namespace
