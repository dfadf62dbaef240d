#include "platform/late_binding.h"

#include "framework/msgbox.h"
#include "platform/late_library.h"

namespace {
std::string& ExtensionName()
{
    static std::string name = "ZEDor.Dll";
    return name;
}

std::string& PendingInstallName()
{
    static std::string name = "setupapi.dll";
    return name;
}
}  // namespace

bool CLateLibrary::EnsureLoaded()
{
    if (!m_module) m_module = LoadLibraryA(m_name.c_str());
    return m_module != nullptr;
}

FARPROC CLateLibrary::Find(const char* exportName) const
{
    return m_module ? GetProcAddress(m_module, exportName) : nullptr;
}

void CLateLibrary::Forget()
{
    if (m_module) FreeLibrary(m_module);
    m_module = nullptr;
}

CLateLibrary& SetupApiLibrary()
{
    static CLateLibrary library("SetupApi.Dll");
    return library;
}

CLateLibrary& CfgMgrLibrary()
{
    static CLateLibrary library("CfgMgr32.Dll");
    return library;
}

const char* ExtensionLibraryName() { return ExtensionName().c_str(); }
const char* PendingInstallLibraryName() { return PendingInstallName().c_str(); }

FARPROC BoundEntryPoint(CLateLibrary& library, const char* exportName, const char* text, const char* caption)
{
    if (!library.EnsureLoaded()) return nullptr;
    FARPROC entry = library.Find(exportName);
    if (!entry) ShowMessageBox(nullptr, text, caption, MB_OK);
    return entry;
}

namespace late_binding {
void SetSetupApiLibraryName(const char* name) { SetupApiLibrary().SetName(name); }
void SetCfgMgrLibraryName(const char* name) { CfgMgrLibrary().SetName(name); }
void SetExtensionLibraryName(const char* name) { ExtensionName() = name ? name : "ZEDor.Dll"; }
void SetPendingInstallLibraryName(const char* name) { PendingInstallName() = name ? name : "setupapi.dll"; }
void ForgetSetupApi() { SetupApiLibrary().Forget(); }
void ForgetCfgMgr() { CfgMgrLibrary().Forget(); }
void* LoadedSetupApi() { return SetupApiLibrary().Module(); }
void* LoadedCfgMgr() { return CfgMgrLibrary().Module(); }
}  // namespace late_binding
