// The state of one run (one installation or one removal) and the results and
// messages by which the worker thread reports to the progress dialog.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <vector>

#include "app/os_class.h"
#include "framework/cstring.h"
#include "remove/driver_record.h"

enum SetupResult {
    SETUP_FAILED = 0,
    SETUP_RESTART = 2,
    SETUP_OK = 3,
    REMOVE_OK = 5,
    REMOVE_RESTART = 6,
};

// Posted, never sent, by the worker to the progress dialog.
const UINT WM_SETUP_PROGRESS = 1987;  // wParam: amount to add to the bar
const UINT WM_SETUP_DONE = 1988;

// All devices of all classes while a removal pass runs, else INVALID_HANDLE_VALUE.
extern HDEVINFO g_hDevInfo;
// The Total Cleanup choice of the current removal pass.
extern int g_totalCleanup;

enum DeviceKeyForm { KEYS_NT, KEYS_9X };

class CSetupEngine {
public:
    CSetupEngine() = default;
    CSetupEngine(const CSetupEngine&) = delete;
    CSetupEngine& operator=(const CSetupEngine&) = delete;

    HANDLE m_hDeviceReady = nullptr;
    std::vector<DriverInfRecord> m_infRecords;
    HWND m_hWndNotify = nullptr;
    int m_restartNeeded = 0;
    std::vector<CString> m_oemInfPaths;
    std::vector<CString> m_presentHardwareIds;
    // How long an installation waits for Windows to set up the device.
    DWORD m_deviceReadyLimitMs = 120000;

    SetupResult Install(const CString& source);
    SetupResult Remove(const CString& folder, int totalCleanup, int keepDevices);
    void PostProgress(int amount) const;
    void SignalDeviceReady() const;

    // Installation sequence.
    SetupResult InstallByClassInstallerPath(const CString& source);
    SetupResult InstallBy9xPath(const CString& source);
    SetupResult EndEarly(SetupResult result);
    bool InstallPackagesByClassInstaller(const CString& source);
    bool PreinstallPackages(const CString& source);
    // Signals the device-ready event once no device installation is pending;
    // gives up, without signalling, after limitMs or repeated failed polls.
    void WaitForPendingInstalls(DWORD limitMs);
    SetupResult WaitForDevice();
    // Windows NT 4.0 root-enumerated modem.
    SetupResult InstallNt4Modem(const CString& source);
    CString FirstPackageInfPath() const;
    void PublishModemResponses(HKEY driverKey);

    // Driver records and their discovery.
    void ClearItems();
    void SnapshotHardwareIds();
    void FindSignedDevices();
    void FindChildDevices(int keepDevices);
    bool LoadPackageInfs(const CString& folder);
    void BindPackageItems();
    void CompleteHardwareIds();
    void ReadInfIdentity(DriverInfRecord& record, const CString& infPath);
    void ReadDeviceDetails(DriverInfRecord& record);

    // Registry cleanup.
    void DeleteDeviceKeys(const DriverInfRecord& record, DeviceKeyForm form);
    void DeleteWaveEntry(const DriverInfRecord& record);
    void DeleteResponsesKey(const DriverInfRecord& record);
    void DeleteUninstallEntries();
    // INF and file cleanup.
    void DeleteInstalledFiles(const DriverInfRecord& record);
    void DeleteInfAndPnf(const DriverInfRecord& record);
    void DeleteSignedInfs();
    void FindSignedInfs(const CString& folder);
    // Services and device nodes.
    bool RemoveDevices();
    bool RemoveDevice(const DriverInfRecord& record);
    void DeleteInfServices(const DriverInfRecord& record);
    void StopDriverService();
    // Setup commands and extension restore.
    void CollectSetupCommands(DriverInfRecord& record);
    int RunExtensionRestore(const DriverInfRecord& record);
};

// Free helpers of the installation and removal.
void CopyScpPackages(const CString& source);
bool ReenumerateDeviceTree(ULONG flags);
void ShowErrorBox(const char* format, unsigned long number);
bool IsProtectedFile(const char* path);
bool InfMentionsSignature(const char* path);
