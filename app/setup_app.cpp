#include "setup_app.h"

#include "app/command_line.h"
#include "app/setup_dlg.h"
#include "ui/usage_dlg.h"

bool CSetupApp::InitInstance()
{
    char* commandLine = CommandLine();
    UpperCaseAscii(commandLine);
    bool usage = IsUsageRequest(commandLine);
    Enable3dControls();

    if (usage) {
        CUsageDlg dialog;
        dialog.DoModal();
    } else {
        CSetupDlg dialog;
        dialog.DoModal();
    }
    m_hMainWnd = nullptr;
    return false;
}
