// Modal dialogs on resource templates, with data exchange and a message hook.
#pragma once

#include <windows.h>

#include "cstring.h"

class CDialog;

// Thin wrapper of a child control's window.
class CControl {
public:
    virtual ~CControl() = default;
    void Attach(HWND hwnd) { m_hWnd = hwnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }
    void ShowWindow(int command) const { if (m_hWnd) ::ShowWindow(m_hWnd, command); }
    bool IsVisible() const { return m_hWnd && IsWindowVisible(m_hWnd); }

protected:
    HWND m_hWnd = nullptr;
};

class CProgressCtrl : public CControl {
public:
    void SetRange32(int lower, int upper) const;
    int SetPos(int position) const;
    int OffsetPos(int amount) const;  // PBM_DELTAPOS
    int GetPos() const;
};

class CButton : public CControl {
public:
    void SetCheck(int state) const;
    int GetCheck() const;
};

class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool save) : m_dialog(dialog), m_bSaveAndValidate(save) {}
    CDialog* m_dialog;
    bool m_bSaveAndValidate;  // true: controls -> members
};

void DDX_Control(CDataExchange* dx, int id, CControl& control);
void DDX_Check(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, CString& value);

class CDialog {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; returns what EndDialog was given, or -1.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return m_hWnd ? ::GetDlgItem(m_hWnd, id) : nullptr; }
    void SetWindowText(const char* text) const { if (m_hWnd) ::SetWindowTextA(m_hWnd, text); }
    bool UpdateData(bool saveAndValidate = true);

protected:
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK();
    virtual void OnCancel();
    // Message map: return true when the message was handled, with its result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_parent;
};
