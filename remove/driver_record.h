// One installed modem device or one INF file of a driver package (or both,
// once a package INF has been matched to a device).
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <vector>

#include "framework/cstring.h"
#include "platform/command_set.h"

struct DriverInfRecord {
    DriverInfRecord();

    std::vector<CString> hardwareIds;  // models-section entries, uppercased
    CString infPath;                   // uppercased; empty until an INF was read
    CString hardwareId;                // the device's first id, or the best snapshot id
    CString enumKeyPath;               // below HKEY_LOCAL_MACHINE
    CString driverKeyPath;             // below HKEY_LOCAL_MACHINE
    CCommandSet preCommands;
    CCommandSet postCommands;
    SP_DEVINFO_DATA devInfoData;       // element of g_hDevInfo when isDevice
    bool isDevice = false;
    bool isPrimary = true;
    CString signature;                 // "VXSignature" of the driver key
    CString installSection;            // uppercased
    CString modelsSection;             // as the INF spells it
    int installNeedsRestart = 0;

    // Installation of a package record (class-installer path).
    bool InstallByClassInstaller(const CString& source);
    bool HasCabinetSource() const;
    // Pre-installation of the package INF as an OEM INF.
    bool PreinstallOemInf(const CString& source);
    CString WriteAdjustedInf() const;
};
