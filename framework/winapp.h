// Application object: one global instance, whose InitInstance runs the program.
#pragma once

#include <windows.h>

#include <vector>

#include "cstring.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the program; returning false ends it (there is no message loop of ours).
    virtual bool InitInstance() { return false; }

    // Common controls (progress bar) and the themed dialog look.
    void Enable3dControls();

    // Writable copy of the command line after the program name.
    char* CommandLine() { return m_commandLine.data(); }
    void SetCommandLine(const char* text);

    HWND m_hMainWnd = nullptr;

private:
    std::vector<char> m_commandLine;
};

CWinApp* AppInstance();

// The program's file name without folder and extension.
CString ApplicationTitle();

// Runs the global application object; called by WinMain.
int RunApplication(const char* commandLine);
