// The application object: reads the command line and runs one modal dialog.
#pragma once

#include "framework/winapp.h"

class CSetupApp : public CWinApp {
public:
    bool InitInstance() override;
};
