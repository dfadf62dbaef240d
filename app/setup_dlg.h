// The progress dialog: decides between setup and removal, runs the worker
// thread, shows progress and the result.
#pragma once

#include "app/setup_engine.h"
#include "framework/dialog.h"
#include "res/resource.h"

class CSetupDlg : public CDialog {
public:
    CSetupDlg();

    HANDLE m_hThread = nullptr;
    unsigned m_threadId = 0;
    CProgressCtrl m_progress;
    SetupResult m_result = SETUP_FAILED;
    bool m_remove = false;
    bool m_silent = false;
    int m_totalCleanup = 0;
    CSetupEngine m_engine;
    int m_devNodesChanged = 0;
    int m_arrivals = 0;
    CString m_sourceFolder;

    // Message handlers (public so that tests can deliver messages directly).
    LRESULT OnSetupProgress(WPARAM amount);
    virtual LRESULT OnSetupDone();
    LRESULT OnDeviceChange(WPARAM eventType);

    void ChooseSourceFolder();
    void RestartOrShutDown(UINT action);
    // Starts the worker thread; false if it could not be started.
    bool StartWorker();
    virtual void RunWork();

    // The command line the switches are taken from (the application's by default).
    char* m_commandLine;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool InitRemovalMode();
    bool InitSetupMode();
    bool WorkerRunning() const { return m_threadId != 0; }

    static DWORD WINAPI WorkerThreadProc(LPVOID dialog);
};
