// The removal pass: find the records, then clean up after them in a fixed order.
#include <algorithm>

#include "app/setup_engine.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/setupapi_bind.h"

namespace {
// g_hDevInfo for the steps that work on device elements: opened in step 1 and
// released in step 11, or on whatever earlier way the pass ends.
class GlobalDeviceSet {
public:
    GlobalDeviceSet() = default;
    GlobalDeviceSet(const GlobalDeviceSet&) = delete;
    GlobalDeviceSet& operator=(const GlobalDeviceSet&) = delete;
    ~GlobalDeviceSet() { Release(); }

    // Every device of every class, present or not.
    bool Open()
    {
        m_list.Reset(setupapi::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
        g_hDevInfo = m_list ? m_list.Get() : INVALID_HANDLE_VALUE;
        return m_list.IsValid();
    }
    void Release()
    {
        g_hDevInfo = INVALID_HANDLE_VALUE;
        m_list.Reset();
    }

private:
    DevInfoList m_list;
};
}  // namespace

SetupResult CSetupEngine::Remove(const CString& folder, int totalCleanup, int keepDevices)
{
    const bool searchInstalled = folder.IsEmpty();

    // 1. The device information set of all classes.
    g_totalCleanup = totalCleanup;
    GlobalDeviceSet devices;
    if (!devices.Open()) return SETUP_FAILED;

    // 2. The records: installed devices by signature, or the package's INF files.
    ClearItems();
    if (searchInstalled) {
        SnapshotHardwareIds();
        FindSignedDevices();
        FindChildDevices(keepDevices);
    } else {
        if (!LoadPackageInfs(folder)) return REMOVE_OK;
        BindPackageItems();
        CompleteHardwareIds();
    }

    // 3. Every command set is read before anything is removed; then the Pre commands run.
    for (DriverInfRecord& record : m_infRecords) CollectSetupCommands(record);
    for (const DriverInfRecord& record : m_infRecords) record.preCommands.RunAll();

    // 4.
    PostProgress(1000);

    // 5. Only the first signed record gets the extension restore.
    auto firstSigned = std::find_if(m_infRecords.begin(), m_infRecords.end(),
                                    [](const DriverInfRecord& record) { return !record.signature.IsEmpty(); });
    if (firstSigned != m_infRecords.end()) m_restartNeeded |= RunExtensionRestore(*firstSigned);

    // 6. Total Cleanup: the maker's component folder, after its restore tool has run.
    if (totalCleanup) DeleteDirectoryTree(g_windowsDir + "\\Tarvo\\", false);

    // 7. Device nodes, unless the installation that follows keeps them.
    SetupResult result = REMOVE_OK;
    if (keepDevices)
        result = REMOVE_RESTART;
    else if (RemoveDevices())
        result = REMOVE_RESTART;

    // 8.
    PostProgress(2000);

    // 9. Services and device keys, by platform.
    if (IsNt() && !keepDevices) {
        for (const DriverInfRecord& record : m_infRecords) DeleteResponsesKey(record);
        for (const DriverInfRecord& record : m_infRecords) DeleteInfServices(record);
        for (const DriverInfRecord& record : m_infRecords) DeleteDeviceKeys(record, KEYS_NT);
    } else if (IsNt()) {
        StopDriverService();
    } else {
        for (const DriverInfRecord& record : m_infRecords) DeleteDeviceKeys(record, KEYS_9X);
        for (const DriverInfRecord& record : m_infRecords) DeleteWaveEntry(record);
    }

    // 10.
    DeleteUninstallEntries();

    // 11. From here on only the strings kept in the records are used.
    devices.Release();

    // 12.
    PostProgress(3000);

    // 13. Driver files; without folder also the installed INF of the same record.
    for (const DriverInfRecord& record : m_infRecords) {
        DeleteInstalledFiles(record);
        if (searchInstalled) DeleteInfAndPnf(record);
    }

    // 14.
    PostProgress(3500);

    // 15. Every other INF of the Windows inf folder that carries the signature.
    if (searchInstalled) DeleteSignedInfs();

    // 16.
    PostProgress(4000);

    // 17. Post commands, from the sets read in step 3.
    for (const DriverInfRecord& record : m_infRecords) record.postCommands.RunAll();

    // 18.
    return result;
}
