#include "dialog.h"

#include <commctrl.h>

#include <vector>

void CProgressCtrl::SetRange32(int lower, int upper) const
{
    if (m_hWnd) SendMessageA(m_hWnd, PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
}

int CProgressCtrl::SetPos(int position) const
{
    return m_hWnd ? static_cast<int>(SendMessageA(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(position), 0)) : 0;
}

int CProgressCtrl::OffsetPos(int amount) const
{
    return m_hWnd ? static_cast<int>(SendMessageA(m_hWnd, PBM_DELTAPOS, static_cast<WPARAM>(amount), 0)) : 0;
}

int CProgressCtrl::GetPos() const
{
    return m_hWnd ? static_cast<int>(SendMessageA(m_hWnd, PBM_GETPOS, 0, 0)) : 0;
}

void CButton::SetCheck(int state) const
{
    if (m_hWnd) SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

int CButton::GetCheck() const
{
    return m_hWnd ? static_cast<int>(SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)) : 0;
}

void DDX_Control(CDataExchange* dx, int id, CControl& control)
{
    if (!dx->m_bSaveAndValidate) control.Attach(dx->m_dialog->GetDlgItem(id));
}

void DDX_Check(CDataExchange* dx, int id, int& value)
{
    HWND item = dx->m_dialog->GetDlgItem(id);
    if (!item) return;
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(SendMessageA(item, BM_GETCHECK, 0, 0));
    else
        SendMessageA(item, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    HWND item = dx->m_dialog->GetDlgItem(id);
    if (!item) return;
    if (dx->m_bSaveAndValidate) {
        int length = GetWindowTextLengthA(item);
        std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
        GetWindowTextA(item, text.data(), length + 1);
        value = CString(text.data());
    } else {
        ::SetWindowTextA(item, value);
    }
}

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CDialog::DoModal()
{
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), m_parent, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result)
{
    if (m_hWnd) ::EndDialog(m_hWnd, result);
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    if (!m_hWnd) return false;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return true;
}

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::OnOK()
{
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        self->m_hWnd = hwnd;
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    INT_PTR handled = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) self->m_hWnd = nullptr;
    return handled;
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) return OnInitDialog() ? TRUE : FALSE;

    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, result)) {
        SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) { OnOK(); return TRUE; }
        if (LOWORD(wParam) == IDCANCEL) { OnCancel(); return TRUE; }
    }
    return FALSE;
}
