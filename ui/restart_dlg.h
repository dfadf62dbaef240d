// Offers to restart or shut down Windows after a removal.
#pragma once

#include "framework/dialog.h"
#include "res/resource.h"

class CRestartDlg : public CDialog {
public:
    CRestartDlg() : CDialog(IDD_RESTART) {}

    CString m_closeAppsText;  // control 1006
    CString m_restartText;    // control 1005

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
};
