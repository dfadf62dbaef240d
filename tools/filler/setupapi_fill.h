// Stand-ins for the two places where Wine's device installer falls short of
// Windows in a way the program meets (test and demo support only).
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <cstddef>

#include "import_patch.h"

// Wine leaves SetupDiSetSelectedDriverA unimplemented (a call ends the
// process). This selects the best compatible driver through the class
// installer and succeeds when that is the driver asked for; a null driver
// clears nothing and fails.
BOOL WINAPI FilledSetupDiSetSelectedDriverA(HDEVINFO set, PSP_DEVINFO_DATA device, PSP_DRVINFO_DATA_A driver);

// Wine's SetupDiSetDeviceRegistryPropertyA leaves the previous last-error
// code in place after a success, where Windows sets NO_ERROR. Programs that
// bind it late get, through this GetProcAddress, a wrapper that does the same
// as Windows; every other lookup is the real one.
FARPROC WINAPI FilledGetProcAddress(HMODULE module, LPCSTR name);

// The rows for RedirectImports: setupapi's SetupDiSetSelectedDriverA and
// kernel32's GetProcAddress.
extern const ImportRedirect kSetupApiRedirects[];
extern const size_t kSetupApiRedirectCount;

// Patches the calling program's own imports (in-process tests).
int FillSetupApiGaps();
