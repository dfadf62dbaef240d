// Installation of one package record through the class installer: the
// record's device gets its driver updated in place; a record without a known
// device is pre-installed and left to Plug and Play.
#include <windows.h>
#include <cfgmgr32.h>

#include <cstring>

#include "app/setup_engine.h"
#include "framework/cstring.h"
#include "inf/inf_file.h"
#include "install/device_updater.h"
#include "platform/handles.h"
#include "remove/driver_record.h"

namespace {
// Held while a device's driver is updated, for other programs to observe.
const char kSetupMutexName[] = "VX_MODEM_Setup_MUTEX";

// The device part of a hardware id (what follows its first backslash), or
// nothing when the id names no device this installer can look for: no
// backslash, nothing after it, or more than the updater's buffers hold.
bool DeviceSearchText(const CString& hardwareId, CString& search)
{
    const int kMaxHardwareIdLength = 259;
    if (hardwareId.GetLength() > kMaxHardwareIdLength) return false;
    int backslash = hardwareId.Find('\\');
    if (backslash < 0) return false;
    search = hardwareId.Mid(backslash + 1);
    return !search.IsEmpty() && static_cast<size_t>(search.GetLength()) <= CDeviceUpdater::kMaxSearchLength;
}
}  // namespace

bool DriverInfRecord::InstallByClassInstaller(const CString& source)
{
    CString search;
    if (!DeviceSearchText(hardwareId, search)) {
        if (!PreinstallOemInf(source)) return false;
        return ReenumerateDeviceTree(CM_REENUMERATE_SYNCHRONOUS);
    }

    CDeviceUpdater updater(search, infPath);
    if (!updater.m_found) return true;  // the device has gone: nothing to update
    // Take the device from a fresh list, as it is now.
    updater.ReleaseDevice();
    updater.FindDevice(search);

    // Owned by this thread until the handle closes; never waited on here.
    KernelHandle mutex(CreateMutexA(nullptr, TRUE, kSetupMutexName));
    if (HasCabinetSource() && !PreinstallOemInf(source)) return false;
    if (!updater.UpdateDriver()) return false;
    installNeedsRestart = updater.m_needsRestart;
    return true;
}

bool DriverInfRecord::HasCabinetSource() const
{
    CInfFile inf(infPath);
    inf.Load();  // an unreadable INF leaves the model empty
    char value[128];
    std::memset(value, 0, sizeof(value));
    if (inf.GetValue("SourceDisksNames", "1", value, sizeof(value), nullptr, 0, nullptr) != 1) return false;
    UpperCaseAscii(value);
    return std::strstr(value, ".CAB") != nullptr;
}
