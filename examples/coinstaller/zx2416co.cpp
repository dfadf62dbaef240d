// The sample package's device co-installer, "ZX2416CO.DLL". The INF registers
// it (CoInstallers32 in MODEM1.NT.Coinstallers), and the class installer calls
// it around every device-installation function. A real modem co-installer
// would prepare its driver here; the sample lets every function go on as it
// is, so that the copy of a co-installer and its registration can be shown.
#include <windows.h>
#include <setupapi.h>

extern "C" __declspec(dllexport) DWORD CALLBACK ZxCoInstaller(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA,
                                                              PCOINSTALLER_CONTEXT_DATA)
{
    return NO_ERROR;
}
