// Updates the driver of one present device in place from a package INF: finds
// the device among all devices of the system, copies the files of its install
// section itself, and has the class installer install the INF's first
// compatible driver without copying files.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "platform/handles.h"

class CDeviceUpdater {
public:
    // Searches at once when a search text is given.
    CDeviceUpdater(const char* search, const char* infPath);
    virtual ~CDeviceUpdater();
    CDeviceUpdater(const CDeviceUpdater&) = delete;
    CDeviceUpdater& operator=(const CDeviceUpdater&) = delete;

    // Looks for the first device (present or not) whose first hardware id
    // contains the search text; keeps the device held if one is already.
    int FindDevice(const char* search);
    void ReleaseDevice();
    // Non-zero once the install parameters could be read after the class
    // installer installed a compatible driver of m_infPath.
    int UpdateDriver();
    bool GetInfClassGuid(GUID& guid);
    // The decorated install section of the first models line whose id text
    // occurs in m_hardwareId.
    int FindInstallSection(HINF inf, char* buffer, DWORD size);
    // Copies the files of the install section and its ".Coinstallers" section
    // from the INF's own folder, whatever source disk the INF names.
    bool CopySectionFiles();
    static UINT CALLBACK QueueScanCallback(PVOID context, UINT notification, UINT_PTR first, UINT_PTR second);
    void SetInfPath(const char* path);
    BOOL CopyInfAsOem();
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; false for a buffer under 40 bytes.
    static bool FormatGuid(const GUID& guid, char* buffer, size_t size);

    // The longest search text that m_hardwareId can hold.
    static constexpr size_t kMaxSearchLength = 199;

    DevInfoList m_hDevList;  // all devices of all classes; not valid when none is held
    SP_DEVINFO_DATA m_device;
    char m_hardwareId[200];
    char m_infPath[260];
    char m_infFolder[260];
    int m_found = 0;
    int m_everFound = 0;
    int m_needsRestart = 0;
};
