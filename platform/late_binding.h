// Test seams of the late-bound libraries. The product never calls these: it
// loads "SetupApi.Dll", "CfgMgr32.Dll" and "ZEDor.Dll" by bare name and never
// unloads SetupAPI or the configuration manager; the wait for pending device
// installations loads "setupapi.dll" on its own, for the call only.
#pragma once

namespace late_binding {
// The file names the three libraries are loaded by (null restores the default).
void SetSetupApiLibraryName(const char* name);
void SetCfgMgrLibraryName(const char* name);
void SetExtensionLibraryName(const char* name);
void SetPendingInstallLibraryName(const char* name);

// Forgets the loaded SetupAPI / configuration-manager module so the next call
// loads by the current name again. The module is released too, so a fixture
// bound in one test does not stay in the process.
void ForgetSetupApi();
void ForgetCfgMgr();

// The module handles held right now (null while not loaded).
void* LoadedSetupApi();
void* LoadedCfgMgr();
}  // namespace late_binding
