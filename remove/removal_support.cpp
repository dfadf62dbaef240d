#include "removal_support.h"

#include <cstring>
#include <vector>

#include "app/setup_engine.h"
#include "platform/setupapi_bind.h"

namespace {
// Length of the text in a buffer that need not hold a terminating NUL.
size_t BoundedLength(const char* text, size_t size)
{
    const void* nul = std::memchr(text, '\0', size);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : size;
}
}  // namespace

bool ReadBoundedValue(HKEY key, const char* name, DWORD maxBytes, CString& value)
{
    // One byte more than the registry may fill, so the text always ends.
    std::vector<char> buffer(static_cast<size_t>(maxBytes) + 1, '\0');
    DWORD size = maxBytes;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return false;
    if (size > maxBytes) return false;
    value = CString(buffer.data(), BoundedLength(buffer.data(), size));
    return true;
}

DevRegKey OpenDeviceDriverKey(const SP_DEVINFO_DATA& device, REGSAM access)
{
    SP_DEVINFO_DATA element = device;
    return DevRegKey(setupapi::SetupDiOpenDevRegKey(g_hDevInfo, &element, DICS_FLAG_GLOBAL, 0, DIREG_DRV, access));
}

bool ReadFirstHardwareId(const SP_DEVINFO_DATA& device, DWORD bufferSize, CString& hardwareId)
{
    std::vector<char> buffer(static_cast<size_t>(bufferSize) + 1, '\0');
    SP_DEVINFO_DATA element = device;
    if (!setupapi::SetupDiGetDeviceRegistryPropertyA(g_hDevInfo, &element, SPDRP_HARDWAREID, nullptr,
                                                     reinterpret_cast<BYTE*>(buffer.data()), bufferSize, nullptr))
        return false;
    hardwareId = CString(buffer.data(), BoundedLength(buffer.data(), bufferSize));
    return true;
}

CString PnfCompanionOf(const CString& infPath)
{
    return infPath.Left(infPath.GetLength() - 3) + "pnf";
}
