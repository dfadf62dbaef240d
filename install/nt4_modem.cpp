#include "app/setup_engine.h"

SetupResult CSetupEngine::InstallNt4Modem(const CString&) { return SETUP_FAILED; }
CString CSetupEngine::FirstPackageInfPath() const { return CString(); }
void CSetupEngine::PublishModemResponses(HKEY) {}
void ShowErrorBox(const char*, unsigned long) {}
