// Asks before a removal; offers Total Cleanup only while Shift and Ctrl are held.
#pragma once

#include "framework/dialog.h"
#include "res/resource.h"

class CUninstallConfirmDlg : public CDialog {
public:
    CUninstallConfirmDlg() : CDialog(IDD_UNINSTALL_CONFIRM) {}

    CButton m_totalCleanupCheck;
    int m_totalCleanup = 0;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
};
