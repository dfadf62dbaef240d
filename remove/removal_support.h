// Small readers shared by the removal steps: registry values and device
// properties read into buffers of a fixed size, where a longer value counts as
// unreadable and nothing is written beyond the buffer.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "framework/cstring.h"
#include "platform/handles.h"

// Reads a value of any type as text of at most maxBytes bytes (its terminating
// NUL included when it has one). False when the value is missing or longer.
bool ReadBoundedValue(HKEY key, const char* name, DWORD maxBytes, CString& value);

// Opens the driver key of a device of g_hDevInfo (global scope, profile 0).
DevRegKey OpenDeviceDriverKey(const SP_DEVINFO_DATA& device, REGSAM access);

// The first string of the device's SPDRP_HARDWAREID list, read into a
// zero-filled buffer of bufferSize bytes. False when the property is missing
// or longer than the buffer.
bool ReadFirstHardwareId(const SP_DEVINFO_DATA& device, DWORD bufferSize, CString& hardwareId);

// The text before the last three characters of a path, followed by "pnf".
CString PnfCompanionOf(const CString& infPath);
