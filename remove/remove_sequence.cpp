#include "app/setup_engine.h"

SetupResult CSetupEngine::Remove(const CString&, int, int)
{
    return SETUP_FAILED;
}
