// Updates the driver of one present device in place from a package INF: finds
// the device among all devices of the system, copies the files of its install
// section itself, and has the class installer install the INF's first
// compatible driver without copying files.
#pragma once

#include <windows.h>
#include <setupapi.h>

class CDeviceUpdater {
public:
    // Searches at once when a search text is given.
    CDeviceUpdater(const char* search, const char* infPath);
    virtual ~CDeviceUpdater();
    CDeviceUpdater(const CDeviceUpdater&) = delete;
    CDeviceUpdater& operator=(const CDeviceUpdater&) = delete;

    int FindDevice(const char* search);
    void ReleaseDevice();
    int UpdateDriver();
    bool GetInfClassGuid(GUID& guid);
    int FindInstallSection(HINF inf, char* buffer, DWORD size);
    bool CopySectionFiles();
    static UINT CALLBACK QueueScanCallback(PVOID context, UINT notification, UINT_PTR first, UINT_PTR second);
    void SetInfPath(const char* path);
    BOOL CopyInfAsOem();
    static bool FormatGuid(const GUID& guid, char* buffer, size_t size);

    HDEVINFO m_hDevList = nullptr;
    SP_DEVINFO_DATA m_device;
    char m_hardwareId[200];
    char m_infPath[260];
    char m_infFolder[260];
    int m_found = 0;
    int m_everFound = 0;
    int m_needsRestart = 0;
};
