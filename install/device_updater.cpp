#include "install/device_updater.h"

#include <cstring>

CDeviceUpdater::CDeviceUpdater(const char*, const char*)
{
    std::memset(&m_device, 0, sizeof(m_device));
    m_device.cbSize = sizeof(SP_DEVINFO_DATA);
    std::memset(m_hardwareId, 0, sizeof(m_hardwareId));
    std::memset(m_infPath, 0, sizeof(m_infPath));
    std::memset(m_infFolder, 0, sizeof(m_infFolder));
}
CDeviceUpdater::~CDeviceUpdater() {}
int CDeviceUpdater::FindDevice(const char*) { return 0; }
void CDeviceUpdater::ReleaseDevice() {}
int CDeviceUpdater::UpdateDriver() { return 0; }
bool CDeviceUpdater::GetInfClassGuid(GUID&) { return false; }
int CDeviceUpdater::FindInstallSection(HINF, char*, DWORD) { return 0; }
bool CDeviceUpdater::CopySectionFiles() { return false; }
UINT CALLBACK CDeviceUpdater::QueueScanCallback(PVOID, UINT, UINT_PTR, UINT_PTR) { return 0; }
void CDeviceUpdater::SetInfPath(const char*) {}
BOOL CDeviceUpdater::CopyInfAsOem() { return FALSE; }
bool CDeviceUpdater::FormatGuid(const GUID&, char*, size_t) { return false; }
