#include "platform/setupapi_bind.h"

#include <type_traits>

#include "platform/late_library.h"

namespace {
const char kCaption[] = "Bad call to SetupApi";
const HKEY kInvalidKey = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
}  // namespace

// One wrapper: the entry point looked up by name on every call, the text of
// the box when it is missing, and the result when the call cannot be made.
// The definition is qualified, so a parameter list that differs from the
// declaration in the header does not compile; the static_assert ties that
// declaration to SetupAPI's own.
#define SETUPAPI_WRAPPER(Result, Name, Text, Unavailable, Params, Args)                                  \
    static_assert(std::is_same<decltype(&setupapi::Name), decltype(&::Name)>::value,                      \
                  #Name " keeps the type SetupAPI declares");                                             \
    Result WINAPI setupapi::Name Params                                                                   \
    {                                                                                                     \
        auto entry = BoundEntry<decltype(::Name)>(SetupApiLibrary(), #Name, Text, kCaption);              \
        return entry ? entry Args : Unavailable;                                                          \
    }

// clang-format off
SETUPAPI_WRAPPER(BOOL, SetupCopyOEMInfA, "SetupCopyOEMInf", FALSE,
    (PCSTR source, PCSTR media, DWORD mediaType, DWORD style, PSTR target, DWORD size, PDWORD required, PSTR* component),
    (source, media, mediaType, style, target, size, required, component))
SETUPAPI_WRAPPER(BOOL, SetupDiDestroyDeviceInfoList, "SetupDiDestroyDeviceInfoList", FALSE,
    (HDEVINFO set), (set))
SETUPAPI_WRAPPER(BOOL, SetupDiGetDeviceRegistryPropertyA, "SetupDiGetDeviceRegistryProperty", FALSE,
    (HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type, PBYTE buffer, DWORD size, PDWORD required),
    (set, device, property, type, buffer, size, required))
SETUPAPI_WRAPPER(BOOL, SetupDiEnumDeviceInfo, "SetupDiEnumDeviceInfo", FALSE,
    (HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device), (set, index, device))
SETUPAPI_WRAPPER(HDEVINFO, SetupDiGetClassDevsA, "SetupDiGetClassDevs", INVALID_HANDLE_VALUE,
    (const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags), (classGuid, enumerator, parent, flags))
SETUPAPI_WRAPPER(VOID, SetupCloseInfFile, "SetupCloseInfFile", void(),
    (HINF inf), (inf))
SETUPAPI_WRAPPER(BOOL, SetupFindNextLine, "SetupFindNextLine", FALSE,
    (PINFCONTEXT in, PINFCONTEXT out), (in, out))
SETUPAPI_WRAPPER(BOOL, SetupGetLineTextA, "SetupGetLineText", FALSE,
    (PINFCONTEXT context, HINF inf, PCSTR section, PCSTR key, PSTR buffer, DWORD size, PDWORD required),
    (context, inf, section, key, buffer, size, required))
SETUPAPI_WRAPPER(BOOL, SetupFindFirstLineA, "SetupFindFirstLine", FALSE,
    (HINF inf, PCSTR section, PCSTR key, PINFCONTEXT context), (inf, section, key, context))
SETUPAPI_WRAPPER(HINF, SetupOpenInfFileA, "SetupOpenInfFile", INVALID_HANDLE_VALUE,
    (PCSTR file, PCSTR infClass, DWORD style, PUINT errorLine), (file, infClass, style, errorLine))
SETUPAPI_WRAPPER(BOOL, SetupDiOpenDeviceInfoA, "SetupDiOpenDeviceInfo", FALSE,
    (HDEVINFO set, PCSTR instanceId, HWND parent, DWORD flags, PSP_DEVINFO_DATA device),
    (set, instanceId, parent, flags, device))
SETUPAPI_WRAPPER(HDEVINFO, SetupDiCreateDeviceInfoList, "SetupDiCreateDeviceInfoList", INVALID_HANDLE_VALUE,
    (const GUID* classGuid, HWND parent), (classGuid, parent))
SETUPAPI_WRAPPER(BOOL, SetupDiCallClassInstaller, "SetupDiCallClassInstaller", FALSE,
    (DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA device), (function, set, device))
SETUPAPI_WRAPPER(INT, SetupPromptReboot, "SetupPromptReboot", 0,
    (HSPFILEQ queue, HWND owner, BOOL scanOnly), (queue, owner, scanOnly))
SETUPAPI_WRAPPER(BOOL, SetupDiSetDeviceRegistryPropertyA, "SetupDiSetDeviceRegistryProperty", FALSE,
    (HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, const BYTE* buffer, DWORD size),
    (set, device, property, buffer, size))
SETUPAPI_WRAPPER(BOOL, SetupDiCreateDeviceInfoA, "SetupDiCreateDeviceInfo", FALSE,
    (HDEVINFO set, PCSTR name, const GUID* classGuid, PCSTR description, HWND parent, DWORD flags, PSP_DEVINFO_DATA device),
    (set, name, classGuid, description, parent, flags, device))
SETUPAPI_WRAPPER(BOOL, SetupDiGetINFClassA, "SetupDiGetINFClass", FALSE,
    (PCSTR inf, LPGUID classGuid, PSTR className, DWORD size, PDWORD required),
    (inf, classGuid, className, size, required))
SETUPAPI_WRAPPER(HSPFILEQ, SetupOpenFileQueue, "SetupOpenFileQueue", INVALID_HANDLE_VALUE,
    (), ())
SETUPAPI_WRAPPER(BOOL, SetupInstallFilesFromInfSectionA, "SetupInstallFilesFromInfSection", FALSE,
    (HINF inf, HINF layout, HSPFILEQ queue, PCSTR section, PCSTR sourceRoot, UINT flags),
    (inf, layout, queue, section, sourceRoot, flags))
SETUPAPI_WRAPPER(BOOL, SetupCommitFileQueueA, "SetupCommitFileQueue", FALSE,
    (HWND owner, HSPFILEQ queue, PSP_FILE_CALLBACK_A callback, PVOID context), (owner, queue, callback, context))
SETUPAPI_WRAPPER(BOOL, SetupCloseFileQueue, "SetupCloseFileQueue", FALSE,
    (HSPFILEQ queue), (queue))
SETUPAPI_WRAPPER(VOID, SetupTermDefaultQueueCallback, "SetupTermDefaultQueueCallback", void(),
    (PVOID context), (context))
SETUPAPI_WRAPPER(PVOID, SetupInitDefaultQueueCallback, "SetupInitDefaultQueueCallback", nullptr,
    (HWND owner), (owner))
SETUPAPI_WRAPPER(UINT, SetupDefaultQueueCallbackA, "SetupDefaultQueueCallback", 0,
    (PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2), (context, notification, param1, param2))
SETUPAPI_WRAPPER(DWORD, SetupDecompressOrCopyFileA, "SetupDecompressOrCopyFile", 0,
    (PCSTR source, PCSTR target, PUINT compression), (source, target, compression))
SETUPAPI_WRAPPER(BOOL, SetupScanFileQueueA, "SetupScanFileQueue", FALSE,
    (HSPFILEQ queue, DWORD flags, HWND window, PSP_FILE_CALLBACK_A callback, PVOID context, PDWORD result),
    (queue, flags, window, callback, context, result))
SETUPAPI_WRAPPER(BOOL, SetupDiRegisterDeviceInfo, "SetupDiRegisterDeviceInfo", FALSE,
    (HDEVINFO set, PSP_DEVINFO_DATA device, DWORD flags, PSP_DETSIG_CMPPROC compare, PVOID context, PSP_DEVINFO_DATA duplicate),
    (set, device, flags, compare, context, duplicate))
SETUPAPI_WRAPPER(HKEY, SetupDiCreateDevRegKeyA, "SetupDiCreateDevRegKeyA", kInvalidKey,
    (HDEVINFO set, PSP_DEVINFO_DATA device, DWORD scope, DWORD profile, DWORD keyType, HINF inf, PCSTR section),
    (set, device, scope, profile, keyType, inf, section))
SETUPAPI_WRAPPER(BOOL, SetupDiSetDeviceInstallParamsA, "SetupDiSetDeviceInstallParamsA", FALSE,
    (HDEVINFO set, PSP_DEVINFO_DATA device, PSP_DEVINSTALL_PARAMS_A params), (set, device, params))
SETUPAPI_WRAPPER(BOOL, SetupDiRemoveDevice, "SetupDiRemoveDevice", FALSE,
    (HDEVINFO set, PSP_DEVINFO_DATA device), (set, device))
SETUPAPI_WRAPPER(BOOL, SetupDiBuildDriverInfoList, "SetupDiBuildDriverInfoList", FALSE,
    (HDEVINFO set, PSP_DEVINFO_DATA device, DWORD driverType), (set, device, driverType))
SETUPAPI_WRAPPER(BOOL, SetupDiGetDeviceInstallParamsA, "SetupDiGetDeviceInstallParamsA", FALSE,
    (HDEVINFO set, PSP_DEVINFO_DATA device, PSP_DEVINSTALL_PARAMS_A params), (set, device, params))
SETUPAPI_WRAPPER(BOOL, SetupDiClassGuidsFromNameA, "SetupDiClassGuidsFromNameA", FALSE,
    (PCSTR className, LPGUID guids, DWORD size, PDWORD required), (className, guids, size, required))
SETUPAPI_WRAPPER(HKEY, SetupDiOpenDevRegKey, "SetupDiOpenDevRegKey", kInvalidKey,
    (HDEVINFO set, PSP_DEVINFO_DATA device, DWORD scope, DWORD profile, DWORD keyType, REGSAM access),
    (set, device, scope, profile, keyType, access))
SETUPAPI_WRAPPER(BOOL, SetupDiDeleteDeviceInfo, "SetupDiDeleteDeviceInfo", FALSE,
    (HDEVINFO set, PSP_DEVINFO_DATA device), (set, device))
SETUPAPI_WRAPPER(BOOL, SetupInstallFromInfSectionA, "SetupInstallFromInfSectionA", FALSE,
    (HWND owner, HINF inf, PCSTR section, UINT flags, HKEY relativeRoot, PCSTR sourceRoot, UINT copyFlags,
     PSP_FILE_CALLBACK_A callback, PVOID context, HDEVINFO set, PSP_DEVINFO_DATA device),
    (owner, inf, section, flags, relativeRoot, sourceRoot, copyFlags, callback, context, set, device))
SETUPAPI_WRAPPER(BOOL, SetupInstallServicesFromInfSectionA, "SetupInstallServicesFromInfSectionA", FALSE,
    (HINF inf, PCSTR section, DWORD flags), (inf, section, flags))
SETUPAPI_WRAPPER(BOOL, SetupDiDeleteDevRegKey, "SetupDiDeleteDevRegKey", FALSE,
    (HDEVINFO set, PSP_DEVINFO_DATA device, DWORD scope, DWORD profile, DWORD keyType),
    (set, device, scope, profile, keyType))
// clang-format on
