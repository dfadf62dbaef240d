// The optional extension library shipped with the driver package: loaded,
// called and released again for every call.
#pragma once

#include <windows.h>

// The library's single export, as it is declared there: four 32-bit values on
// the 32-bit system (the third is pointer-sized on a 64-bit build).
using VXAddExtraProc = int(WINAPI*)(DWORD, DWORD, const char*, DWORD);

// Calls VXAddExtra of "ZEDor.Dll" with the four values and returns its result;
// -1, silently, when the library or its export cannot be found. The library is
// not loaded any more when this returns.
int VXAddExtra(DWORD first, DWORD second, const char* command, DWORD fourth);
