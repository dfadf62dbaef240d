// The Pre and Post command sets of a device's driver key, and the extension
// restore handed to the optional extension library.
#include "app/setup_engine.h"
#include "platform/ext_lib.h"
#include "platform/reg_key.h"
#include "remove/removal_support.h"

namespace {
const char PRE_COMMANDS_KEY[] = "HostBasedModemData\\Parameters\\Setup\\Pre\\";
const char POST_COMMANDS_KEY[] = "HostBasedModemData\\Parameters\\Setup\\Post\\";

void LoadCommandSet(HKEY driverKey, const char* subKey, CCommandSet& commands)
{
    CRegKeyHolder key;
    if (key.Open(driverKey, subKey, KEY_ALL_ACCESS) == ERROR_SUCCESS) commands.LoadFromKey(key);
}

// -s:<windows>\Tarvo\<signature>\VXExtBU -r:<driver key> -NoReboot[ -ClearTarvo]
CString ExtensionRestoreCommand(const DriverInfRecord& record)
{
    CString command = "-s:" + g_windowsDir + "\\Tarvo\\" + record.signature + "\\VXExtBU -r:" +
                      record.driverKeyPath + " -NoReboot";
    if (g_totalCleanup) command += " -ClearTarvo";
    return command;
}
}  // namespace

void CSetupEngine::CollectSetupCommands(DriverInfRecord& record)
{
    if (!record.isDevice) return;
    DevRegKey driverKey = OpenDeviceDriverKey(record.devInfoData, KEY_ALL_ACCESS);
    if (!driverKey) return;
    LoadCommandSet(driverKey, PRE_COMMANDS_KEY, record.preCommands);
    LoadCommandSet(driverKey, POST_COMMANDS_KEY, record.postCommands);
}

int CSetupEngine::RunExtensionRestore(const DriverInfRecord& record)
{
    if (record.signature.IsEmpty()) return 0;
    CString command = ExtensionRestoreCommand(record);
    return VXAddExtra(0, 0, command, 0);
}
