#include "winapp.h"

#include <commctrl.h>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp()
{
    g_app = this;
    SetCommandLine("");
}

CWinApp::~CWinApp()
{
    if (g_app == this) g_app = nullptr;
}

void CWinApp::Enable3dControls()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

void CWinApp::SetCommandLine(const char* text)
{
    if (!text) text = "";
    m_commandLine.assign(text, text + lstrlenA(text) + 1);
}

CWinApp* AppInstance()
{
    return g_app;
}

CString ApplicationTitle()
{
    char path[MAX_PATH] = {0};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
    path[length < sizeof(path) ? length : sizeof(path) - 1] = '\0';
    CString name(path);
    int slash = name.ReverseFind('\\');
    if (slash >= 0) name = name.Mid(slash + 1);
    int dot = name.ReverseFind('.');
    if (dot > 0) name = name.Left(dot);
    return name;
}

int RunApplication(const char* commandLine)
{
    if (!g_app) return 0;
    g_app->SetCommandLine(commandLine);
    g_app->InitInstance();
    return 0;
}
