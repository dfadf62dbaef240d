// Driving the real setup.exe in real windows: start it, find its dialogs by
// caption, read their controls, press buttons, save screenshots.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/cstring.h"
#include "platform/handles.h"

struct ControlInfo {
    int id;
    std::string className;
    std::string text;
    RECT rect;  // in dialog client coordinates, pixels
    DWORD style;
    bool visible;
};

class SetupProcess {
public:
    SetupProcess() = default;
    ~SetupProcess();  // ends the program if it is still running
    SetupProcess(const SetupProcess&) = delete;
    SetupProcess& operator=(const SetupProcess&) = delete;

    // Starts <bin>\setup.exe (or another program of <bin>) with the arguments.
    bool Start(const std::string& arguments, const char* workingDirectory = nullptr,
               const char* program = "setup.exe");
    // True when the program ended within the time.
    bool WaitForExit(DWORD milliseconds);
    bool Running() const;
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process.Get(); }

private:
    KernelHandle m_process;
    DWORD m_id = 0;
};

// The program's folder: <build>\bin.
CString ProgramFolder();

// A visible top-level window of the process with exactly this caption, or null.
HWND WaitForWindow(DWORD processId, const char* caption, DWORD timeoutMilliseconds);
// Whether the process still shows a visible window with this caption.
bool HasWindow(DWORD processId, const char* caption);

std::string WindowText(HWND window);
std::vector<ControlInfo> ReadControls(HWND dialog);
const ControlInfo* FindControl(const std::vector<ControlInfo>& controls, int id);
// Presses a button as a click would (BM_CLICK through the dialog's own thread).
void ClickButton(HWND dialog, int id);

// Saves the window's screen area as <build>\screenshots\<name>.png.
bool SaveScreenshot(HWND window, const char* name);

// Sets Wine's Windows version for one program (HKCU\Software\Wine\AppDefaults).
void SetProgramWindowsVersion(const char* exeName, const char* version);
