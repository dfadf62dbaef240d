// SetupAPI reached by name at run time: one wrapper per entry point, each with
// the entry point's own type, so callers write setupapi::X(...) exactly as they
// would call X. The library is loaded on first use and kept; a missing entry
// point is reported with a "Bad call to SetupApi" box and a failure result.
#pragma once

#include <windows.h>
#include <setupapi.h>

// Install the best-ranked (rank 0) driver without asking; MinGW's SetupAPI
// header lacks it.
#ifndef DI_FLAGSEX_AUTOSELECTRANK0
#define DI_FLAGSEX_AUTOSELECTRANK0 0x00000002L
#endif

#ifndef _WIN64
// SetupAPI of Windows 95 to XP checks cbSize against the 32-bit layouts.
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "SP_DEVINFO_DATA has its 32-bit size");
static_assert(sizeof(SP_DEVINSTALL_PARAMS_A) == 296, "SP_DEVINSTALL_PARAMS_A has its 32-bit size");
static_assert(sizeof(SP_DRVINFO_DATA_V2_A) == 796, "SP_DRVINFO_DATA_V2_A has its 32-bit size");
#endif

namespace setupapi {
decltype(::SetupCopyOEMInfA) SetupCopyOEMInfA;
decltype(::SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList;
decltype(::SetupDiGetDeviceRegistryPropertyA) SetupDiGetDeviceRegistryPropertyA;
decltype(::SetupDiEnumDeviceInfo) SetupDiEnumDeviceInfo;
decltype(::SetupDiGetClassDevsA) SetupDiGetClassDevsA;
decltype(::SetupCloseInfFile) SetupCloseInfFile;
decltype(::SetupFindNextLine) SetupFindNextLine;
decltype(::SetupGetLineTextA) SetupGetLineTextA;
decltype(::SetupFindFirstLineA) SetupFindFirstLineA;
decltype(::SetupOpenInfFileA) SetupOpenInfFileA;
decltype(::SetupDiOpenDeviceInfoA) SetupDiOpenDeviceInfoA;
decltype(::SetupDiCreateDeviceInfoList) SetupDiCreateDeviceInfoList;
decltype(::SetupDiCallClassInstaller) SetupDiCallClassInstaller;
decltype(::SetupPromptReboot) SetupPromptReboot;
decltype(::SetupDiSetDeviceRegistryPropertyA) SetupDiSetDeviceRegistryPropertyA;
decltype(::SetupDiCreateDeviceInfoA) SetupDiCreateDeviceInfoA;
decltype(::SetupDiGetINFClassA) SetupDiGetINFClassA;
decltype(::SetupOpenFileQueue) SetupOpenFileQueue;
decltype(::SetupInstallFilesFromInfSectionA) SetupInstallFilesFromInfSectionA;
decltype(::SetupCommitFileQueueA) SetupCommitFileQueueA;
decltype(::SetupCloseFileQueue) SetupCloseFileQueue;
decltype(::SetupTermDefaultQueueCallback) SetupTermDefaultQueueCallback;
decltype(::SetupInitDefaultQueueCallback) SetupInitDefaultQueueCallback;
decltype(::SetupDefaultQueueCallbackA) SetupDefaultQueueCallbackA;
decltype(::SetupDecompressOrCopyFileA) SetupDecompressOrCopyFileA;
decltype(::SetupScanFileQueueA) SetupScanFileQueueA;
decltype(::SetupDiRegisterDeviceInfo) SetupDiRegisterDeviceInfo;
decltype(::SetupDiCreateDevRegKeyA) SetupDiCreateDevRegKeyA;
decltype(::SetupDiSetDeviceInstallParamsA) SetupDiSetDeviceInstallParamsA;
decltype(::SetupDiRemoveDevice) SetupDiRemoveDevice;
decltype(::SetupDiBuildDriverInfoList) SetupDiBuildDriverInfoList;
decltype(::SetupDiGetDeviceInstallParamsA) SetupDiGetDeviceInstallParamsA;
decltype(::SetupDiClassGuidsFromNameA) SetupDiClassGuidsFromNameA;
decltype(::SetupDiOpenDevRegKey) SetupDiOpenDevRegKey;
decltype(::SetupDiDeleteDeviceInfo) SetupDiDeleteDeviceInfo;
decltype(::SetupInstallFromInfSectionA) SetupInstallFromInfSectionA;
decltype(::SetupInstallServicesFromInfSectionA) SetupInstallServicesFromInfSectionA;
decltype(::SetupDiDeleteDevRegKey) SetupDiDeleteDevRegKey;
}  // namespace setupapi
