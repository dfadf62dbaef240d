// The installation of a driver package: keep folders for the package
// description files, then one of three ways by Windows version, then the wait
// until Windows has set up the device.
#include <windows.h>
#include <cfgmgr32.h>

#include <cstring>
#include <vector>

#include "app/setup_engine.h"
#include "inf/inf_file.h"
#include "platform/cfgmgr_bind.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/late_library.h"

namespace {
const int PACKAGES_PREINSTALLED = 10000;
const int INSTALLATION_DONE = 12000;
const DWORD FINAL_PAUSE_MS = 500;
const DWORD POLL_INTERVAL_MS = 500;
const DWORD SCP_VALUE_BYTES = 256;

// A poll that fails this many times in a row will not start answering.
const int FAILED_POLL_LIMIT = 10;

typedef DWORD(WINAPI* WaitNoPendingFunction)(DWORD timeout);

struct ScpPackage {
    CString signature;
    CString cabinet;  // empty: the package names no cabinet
    bool slave = false;
};

// Reads one description file; false when it has no signature.
bool ReadScpPackage(const CString& path, ScpPackage& package)
{
    CInfFile scp(path);
    if (!scp.Load()) return false;
    char signature[SCP_VALUE_BYTES] = {0};
    if (!scp.GetValue("General", "VXSignature", signature, sizeof(signature), nullptr, 0, nullptr) || !signature[0])
        return false;
    package.signature = signature;
    package.slave = scp.GetInt("General", "Slave", 0, 0, nullptr) != 0;
    char cabinet[SCP_VALUE_BYTES] = {0};
    scp.GetValue("General", "Source", cabinet, sizeof(cabinet), signature, 0, nullptr);
    if (_stricmp(cabinet, "VXALLMDM") != 0) package.cabinet = CString(cabinet) + ".CAB";
    return true;
}

void CopyFilesInto(const CString& source, const std::vector<CString>& files, const CString& keepFolder)
{
    CreateDirectoryPath(keepFolder);
    for (const CString& file : files) CopyFileA(source + file, keepFolder + file, FALSE);
}

WaitNoPendingFunction FindWaitNoPending(HMODULE library)
{
    FARPROC entry = GetProcAddress(library, "CMP_WaitNoPendingInstallEvents");
    WaitNoPendingFunction function = nullptr;
    static_assert(sizeof(function) == sizeof(entry), "function pointer sizes differ");
    std::memcpy(&function, &entry, sizeof(function));
    return function;
}
}  // namespace

void CopyScpPackages(const CString& source)
{
    WIN32_FIND_DATAA entry;
    std::vector<CString> files;
    std::vector<CString> keepFolders;
    {
        FindHandle search(FindFirstFileA(source + "*.SCP", &entry));
        if (!search) return;
        do {
            ScpPackage package;
            if (!ReadScpPackage(source + entry.cFileName, package)) continue;
            files.push_back(entry.cFileName);
            if (!package.cabinet.IsEmpty()) files.push_back(package.cabinet);
            if (!package.slave) keepFolders.push_back(g_windowsDir + "\\Tarvo\\" + package.signature + "\\");
        } while (FindNextFileA(search, &entry));
    }
    for (const CString& keepFolder : keepFolders) CopyFilesInto(source, files, keepFolder);
}

bool ReenumerateDeviceTree(ULONG flags)
{
    DEVINST root = 0;
    if (cfgmgr::CM_Locate_DevNodeA(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS) return false;
    return cfgmgr::CM_Reenumerate_DevNode(root, flags) == CR_SUCCESS;
}

SetupResult CSetupEngine::Install(const CString& source)
{
    CopyScpPackages(source);
    if (IsNt4()) return InstallNt4Modem(source);
    if (IsWin98() || IsWinMe()) return InstallBy9xPath(source);
    return InstallByClassInstallerPath(source);
}

SetupResult CSetupEngine::InstallByClassInstallerPath(const CString& source)
{
    Remove(CString(), 0, 1);
    bool earlierInstallFound = !m_infRecords.empty();
    Remove(source, 0, 1);
    if (!InstallPackagesByClassInstaller(source)) return EndEarly(SETUP_FAILED);
    if (earlierInstallFound) return EndEarly(SETUP_RESTART);
    return WaitForDevice();
}

SetupResult CSetupEngine::InstallBy9xPath(const CString& source)
{
    Remove(CString(), 0, 0);
    bool earlierInstallFound = !m_infRecords.empty();
    Remove(source, 0, 0);
    DeleteFileA(g_windowsDir + "\\INF\\DRVIDX.BIN");
    DeleteFileA(g_windowsDir + "\\INF\\DRVDATA.BIN");
    if (!PreinstallPackages(source)) return SETUP_FAILED;
    PostProgress(PACKAGES_PREINSTALLED);
    if (earlierInstallFound) {
        PostProgress(INSTALLATION_DONE);
        return SETUP_RESTART;
    }
    if (!ReenumerateDeviceTree(CM_REENUMERATE_NORMAL)) {
        PostProgress(INSTALLATION_DONE);
        return SETUP_FAILED;
    }
    return WaitForDevice();
}

SetupResult CSetupEngine::EndEarly(SetupResult result)
{
    PostProgress(INSTALLATION_DONE);
    Sleep(FINAL_PAUSE_MS);
    return result;
}

// An unattended run must end even when Windows never tells that the device is
// set up (no device-change notification meets the dialog's rules, or the
// installer service keeps reporting pending or failing polls). The limit,
// two minutes, is well beyond what setting up one modem takes; past it the
// device may still be coming, so the run asks for a restart rather than
// claiming that it is done.
SetupResult CSetupEngine::WaitForDevice()
{
    m_hDeviceReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD started = GetTickCount();
    WaitForPendingInstalls(m_deviceReadyLimitMs);
    bool deviceReady = true;
    if (m_hDeviceReady) {
        DWORD spent = GetTickCount() - started;
        DWORD left = spent < m_deviceReadyLimitMs ? m_deviceReadyLimitMs - spent : 0;
        deviceReady = WaitForSingleObject(m_hDeviceReady, left) == WAIT_OBJECT_0;
    }
    PostProgress(INSTALLATION_DONE);
    return m_restartNeeded || !deviceReady ? SETUP_RESTART : SETUP_OK;
}

void CSetupEngine::WaitForPendingInstalls(DWORD limitMs)
{
    ModuleHandle library(LoadLibraryA(PendingInstallLibraryName()));
    if (!library) return;
    WaitNoPendingFunction waitNoPending = FindWaitNoPending(library);
    if (!waitNoPending) return;
    DWORD started = GetTickCount();
    int failedPolls = 0;
    for (;;) {
        DWORD answer = waitNoPending(0);
        if (answer == WAIT_OBJECT_0) break;
        failedPolls = answer == WAIT_FAILED ? failedPolls + 1 : 0;
        if (failedPolls >= FAILED_POLL_LIMIT || GetTickCount() - started >= limitMs) return;
        Sleep(POLL_INTERVAL_MS);
    }
    SignalDeviceReady();
}

bool CSetupEngine::InstallPackagesByClassInstaller(const CString& source)
{
    for (DriverInfRecord& record : m_infRecords) {
        if (!record.InstallByClassInstaller(source)) return false;
        m_restartNeeded |= record.installNeedsRestart;
    }
    return true;
}

bool CSetupEngine::PreinstallPackages(const CString& source)
{
    for (DriverInfRecord& record : m_infRecords)
        if (!record.PreinstallOemInf(source)) return false;
    return true;
}
