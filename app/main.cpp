#include <windows.h>

#include "app/setup_app.h"

CSetupApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    return RunApplication(commandLine);
}
