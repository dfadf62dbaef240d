#include "setupapi_bind.h"

#include "framework/msgbox.h"

namespace {
HMODULE g_setupApi = nullptr;

bool LoadSetupApi()
{
    if (!g_setupApi) g_setupApi = LoadLibraryA("SetupApi.Dll");
    return g_setupApi != nullptr;
}

FARPROC EntryPoint(const char* name, const char* text)
{
    FARPROC entry = GetProcAddress(g_setupApi, name);
    if (!entry) ShowMessageBox(nullptr, text, "Bad call to SetupApi", MB_OK);
    return entry;
}
}  // namespace

namespace setupapi {
INT WINAPI SetupPromptReboot(HSPFILEQ queue, HWND owner, BOOL scanOnly)
{
    if (!LoadSetupApi()) return 0;
    auto entry = reinterpret_cast<decltype(&::SetupPromptReboot)>((void*)EntryPoint("SetupPromptReboot", "SetupPromptReboot"));
    return entry ? entry(queue, owner, scanOnly) : 0;
}
}  // namespace setupapi
