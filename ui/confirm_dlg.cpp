#include "confirm_dlg.h"

#include "ui/lang_table.h"

namespace {
bool KeyHeld(int key)
{
    return (GetKeyState(key) & 0x8000) != 0;
}
}  // namespace

void CUninstallConfirmDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_TOTAL_CLEANUP, m_totalCleanupCheck);
    DDX_Check(dx, IDC_TOTAL_CLEANUP, m_totalCleanup);
}

bool CUninstallConfirmDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // Texts first, their punctuation after, so a translation never carries it.
    TranslateWindowText(m_hWnd);
    TranslateWindowText(GetDlgItem(IDC_CONFIRM_TEXT1), nullptr, ".");
    TranslateWindowText(GetDlgItem(IDC_CONFIRM_TEXT2), nullptr, ".");
    TranslateWindowText(GetDlgItem(IDC_CONFIRM_TEXT3), nullptr, "?");
    TranslateWindowText(GetDlgItem(IDC_TOTAL_CLEANUP));
    TranslateWindowText(GetDlgItem(IDOK));
    TranslateWindowText(GetDlgItem(IDCANCEL));

    // Total Cleanup is offered only to someone who asks for it with Shift+Ctrl.
    if (KeyHeld(VK_SHIFT) && KeyHeld(VK_CONTROL)) m_totalCleanupCheck.ShowWindow(SW_SHOW);
    return true;
}
