#include "restart_dlg.h"

#include "ui/lang_table.h"

void CRestartDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Text(dx, IDC_RESTART_TEXT2, m_closeAppsText);
    DDX_Text(dx, IDC_RESTART_TEXT1, m_restartText);
}

bool CRestartDlg::OnInitDialog()
{
    // Read the template texts first, so the exchange below writes them back unchanged.
    UpdateData(true);
    CDialog::OnInitDialog();

    TranslateWindowText(m_hWnd);
    TranslateWindowText(GetDlgItem(IDOK));
    TranslateWindowText(GetDlgItem(IDC_RESTART_NOW));
    TranslateWindowText(GetDlgItem(IDC_SHUTDOWN_NOW));
    TranslateWindowText(GetDlgItem(IDC_RESTART_LATER));
    TranslateWindowText(GetDlgItem(IDC_RESTART_TEXT2), nullptr, ":");
    TranslateWindowText(GetDlgItem(IDC_RESTART_TEXT1), nullptr, ".");

    CheckRadioButton(m_hWnd, IDC_RESTART_NOW, IDC_RESTART_LATER, IDC_RESTART_NOW);
    return true;
}

void CRestartDlg::OnOK()
{
    static const int options[] = {IDC_RESTART_NOW, IDC_SHUTDOWN_NOW, IDC_RESTART_LATER};
    for (int option : options) {
        if (IsDlgButtonChecked(m_hWnd, option) == BST_CHECKED) {
            EndDialog(option);
            return;
        }
    }
    EndDialog(0);
}
