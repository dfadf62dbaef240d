#include "setup_dlg.h"

#include <dbt.h>
#include <objbase.h>

#include "app/command_line.h"
#include "framework/msgbox.h"
#include "framework/winapp.h"
#include "inf/source_folder.h"
#include "platform/setupapi_bind.h"
#include "ui/confirm_dlg.h"
#include "ui/restart_dlg.h"
#include "ui/shutdown.h"

namespace {
char g_emptyCommandLine[1] = {0};
}

CSetupDlg::CSetupDlg() : CDialog(IDD_SETUP)
{
    m_commandLine = AppInstance() ? AppInstance()->CommandLine() : g_emptyCommandLine;
    ReadVersionRecord();
    ReadWindowsDirectory();
}

void CSetupDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_PROGRESS, m_progress);
}

bool CSetupDlg::OnInitDialog()
{
    CoInitialize(nullptr);
    CDialog::OnInitDialog();
    m_progress.SetRange32(1, 12000);
    m_progress.SetPos(1);

    UpperCaseAscii(m_commandLine);
    m_remove = TakeSwitch(m_commandLine, "REMOVE");
    m_silent = TakeSwitch(m_commandLine, "SILENT");
    TakeSwitch(m_commandLine, "NONGUI");

    bool carryOn = m_remove ? InitRemovalMode() : InitSetupMode();
    if (!carryOn) {
        EndDialog(IDCANCEL);
        return true;
    }

    // The empty folder of removal mode fails here and leaves the directory as it was.
    SetCurrentDirectoryA(m_sourceFolder);
    if (!m_hThread) StartWorker();
    return true;
}

bool CSetupDlg::InitRemovalMode()
{
    SetWindowText("Uninstall");
    if (!m_silent) {
        CUninstallConfirmDlg confirm;
        if (confirm.DoModal() == IDCANCEL) return false;
        m_totalCleanup = confirm.m_totalCleanup;
    }
    m_sourceFolder.Empty();
    return true;
}

bool CSetupDlg::InitSetupMode()
{
    SetWindowText("Setup");
    if (m_commandLine[0] != '\0') {
        m_sourceFolder = m_commandLine;
        if (m_sourceFolder.Last() != '\\') m_sourceFolder += "\\";
    } else {
        char path[MAX_PATH] = {0};
        DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
        if (length == 0 || length >= sizeof(path)) return false;
        path[length] = '\0';
        m_sourceFolder = FolderOfPath(path);
    }
    ChooseSourceFolder();
    return true;
}

void CSetupDlg::ChooseSourceFolder()
{
    m_sourceFolder = ChooseVersionSourceFolder(m_sourceFolder);
}

bool CSetupDlg::StartWorker()
{
    // Created suspended so that the handle is stored before the worker can clear it.
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WorkerThreadProc, this, CREATE_SUSPENDED, &id);
    if (!thread) return false;
    m_hThread = thread;
    m_threadId = id;
    ResumeThread(thread);
    return true;
}

DWORD WINAPI CSetupDlg::WorkerThreadProc(LPVOID parameter)
{
    CSetupDlg* dialog = static_cast<CSetupDlg*>(parameter);
    // Once the thread id is cleared the dialog may close, so nothing of it is read afterwards.
    HWND notify = dialog->m_hWnd;
    CoInitialize(nullptr);
    dialog->RunWork();

    HANDLE self = dialog->m_hThread;
    dialog->m_hThread = nullptr;
    dialog->m_threadId = 0;
    CloseHandle(self);

    // Let the last progress messages show before the result.
    Sleep(300);
    PostMessageA(notify, WM_SETUP_DONE, 0, 0);
    CoUninitialize();
    return 0;
}

void CSetupDlg::RunWork()
{
    m_engine.m_hWndNotify = m_hWnd;
    if (m_remove)
        m_result = m_engine.Remove(CString(), m_totalCleanup, 0);
    else
        m_result = m_engine.Install(m_sourceFolder);
}

LRESULT CSetupDlg::OnSetupProgress(WPARAM amount)
{
    m_progress.OffsetPos(static_cast<int>(amount));
    return 0;
}

LRESULT CSetupDlg::OnSetupDone()
{
    if (!m_silent) {
        if (m_remove) {
            CRestartDlg restart;
            INT_PTR choice = restart.DoModal();
            if (choice == IDC_RESTART_NOW) RestartOrShutDown(EWX_REBOOT);
            else if (choice == IDC_SHUTDOWN_NOW) RestartOrShutDown(EWX_SHUTDOWN);
        } else if (m_result == SETUP_FAILED || m_result == REMOVE_OK) {
            ShowMessageBox(m_hWnd, "Setup failed", "Setup", MB_OK | MB_ICONERROR);
        } else if (m_result == SETUP_RESTART) {
            setupapi::SetupPromptReboot(nullptr, nullptr, FALSE);
        }
    }
    EndDialog(0);
    return 0;
}

void CSetupDlg::RestartOrShutDown(UINT action)
{
    ShutdownWindows(action | EWX_FORCE);
}

LRESULT CSetupDlg::OnDeviceChange(WPARAM eventType)
{
    if (m_remove) return 0;
    switch (eventType) {
    case DBT_DEVNODES_CHANGED:
        if (IsWin95Or98()) m_engine.SignalDeviceReady();
        if (IsWinMe()) ++m_devNodesChanged;
        break;
    case DBT_DEVICEARRIVAL:
        if (IsWinMe()) {
            ++m_arrivals;
            if (m_devNodesChanged == 2 && m_arrivals <= 3) {
                m_arrivals = 0;
                m_engine.SignalDeviceReady();
            }
        }
        break;
    case DBT_DEVICEREMOVECOMPLETE:
        if (IsWinMe()) {
            m_arrivals = 0;
            m_engine.SignalDeviceReady();
        }
        break;
    default:
        break;
    }
    return 0;
}

void CSetupDlg::OnOK()
{
    // Closing while the worker runs would leave the machine half-done and the
    // worker writing into a dialog that no longer exists.
    if (!WorkerRunning()) CDialog::OnOK();
}

void CSetupDlg::OnCancel()
{
    if (!WorkerRunning()) CDialog::OnCancel();
}

bool CSetupDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (message) {
    case WM_DEVICECHANGE:
        result = OnDeviceChange(wParam);
        return true;
    case WM_SETUP_PROGRESS:
        result = OnSetupProgress(wParam);
        return true;
    case WM_SETUP_DONE:
        result = OnSetupDone();
        return true;
    default:
        return false;
    }
}
