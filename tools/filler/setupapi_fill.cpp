#include "setupapi_fill.h"

#include <cstring>

namespace {
bool SameDriver(const SP_DRVINFO_DATA_A& a, const SP_DRVINFO_DATA_A& b)
{
    return a.DriverType == b.DriverType && std::strcmp(a.Description, b.Description) == 0 &&
           std::strcmp(a.MfgName, b.MfgName) == 0 && std::strcmp(a.ProviderName, b.ProviderName) == 0;
}

typedef BOOL(WINAPI* SetPropertyFunction)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, const BYTE*, DWORD);
SetPropertyFunction g_realSetProperty = nullptr;

// Read from the import table while the module starts, before any patch points
// that slot at FilledGetProcAddress (which would then call itself).
typedef FARPROC(WINAPI* GetProcAddressFunction)(HMODULE, LPCSTR);
GetProcAddressFunction volatile g_realGetProcAddress = &GetProcAddress;

BOOL WINAPI SetPropertyClearingError(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, const BYTE* buffer,
                                     DWORD size)
{
    BOOL done = g_realSetProperty(set, device, property, buffer, size);
    if (done) SetLastError(NO_ERROR);
    return done;
}
}  // namespace

BOOL WINAPI FilledSetupDiSetSelectedDriverA(HDEVINFO set, PSP_DEVINFO_DATA device, PSP_DRVINFO_DATA_A driver)
{
    if (!driver || driver->cbSize < sizeof(SP_DRVINFO_DATA_V1_A)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!SetupDiCallClassInstaller(DIF_SELECTBESTCOMPATDRV, set, device)) return FALSE;
    SP_DRVINFO_DATA_A selected;
    std::memset(&selected, 0, sizeof(selected));
    selected.cbSize = sizeof(selected);
    if (!SetupDiGetSelectedDriverA(set, device, &selected)) return FALSE;
    if (!SameDriver(selected, *driver)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SetLastError(NO_ERROR);
    return TRUE;
}

FARPROC WINAPI FilledGetProcAddress(HMODULE module, LPCSTR name)
{
    FARPROC real = g_realGetProcAddress(module, name);
    bool byName = reinterpret_cast<ULONG_PTR>(name) > 0xFFFF;
    if (!real || !byName || std::strcmp(name, "SetupDiSetDeviceRegistryPropertyA") != 0) return real;
    g_realSetProperty = reinterpret_cast<SetPropertyFunction>(real);
    return reinterpret_cast<FARPROC>(&SetPropertyClearingError);
}

const ImportRedirect kSetupApiRedirects[] = {
    {"setupapi.dll", "SetupDiSetSelectedDriverA", reinterpret_cast<void*>(&FilledSetupDiSetSelectedDriverA)},
    {"kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&FilledGetProcAddress)},
};
const size_t kSetupApiRedirectCount = sizeof(kSetupApiRedirects) / sizeof(kSetupApiRedirects[0]);

int FillSetupApiGaps()
{
    // In a program linked with this code, &GetProcAddress can be the program's
    // own import thunk, which the redirect below sends to FilledGetProcAddress
    // (which would then call itself): take kernel32's export instead.
    if (HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
        if (FARPROC real = GetProcAddress(kernel, "GetProcAddress"))
            g_realGetProcAddress = reinterpret_cast<GetProcAddressFunction>(reinterpret_cast<void*>(real));
    }
    return RedirectImports(GetModuleHandleA(nullptr), kSetupApiRedirects, kSetupApiRedirectCount);
}
