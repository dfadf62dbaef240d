#include "app/setup_engine.h"

SetupResult CSetupEngine::Install(const CString&)
{
    return SETUP_FAILED;
}
