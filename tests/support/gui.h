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
    // Ends the program (and filler-launch) if still running.
    void Stop();
    SetupProcess(const SetupProcess&) = delete;
    SetupProcess& operator=(const SetupProcess&) = delete;

    // Starts <bin>\setup.exe (or another program of <bin>) with the arguments.
    bool Start(const std::string& arguments, const char* workingDirectory = nullptr,
               const char* program = "setup.exe");
    // Starts the program through filler-launch, which loads filler.dll into it
    // first (key state from GetAsyncKeyState, ExitWindowsEx recorded into the
    // file FILLER_EXIT_LOG names). Id() and the waits then refer to the program.
    bool StartWithFiller(const std::string& arguments, const char* workingDirectory = nullptr,
                         const char* program = "setup.exe");
    // Starts the program (through filler-launch) as a new Wine process whose Unix
    // locale is LC_ALL=locale, with the locale data the build made in <build>/locales.
    bool StartUnderLocale(const std::string& arguments, const char* workingDirectory, const char* locale,
                          const char* program = "setup.exe");
    // True when the program ended within the time.
    bool WaitForExit(DWORD milliseconds);
    bool Running() const;
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process.Get(); }

private:
    // Takes the process with this name that is not among the known ids, once it exists.
    bool AttachToNewProcess(const char* program, const std::vector<DWORD>& known, DWORD parentId);

    KernelHandle m_process;
    DWORD m_id = 0;
    KernelHandle m_launcher;  // filler-launch, when the program was started through it
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

// A visible top-level window of the process with this caption and a control
// with this id (the removal's two dialogs share their caption), or null. A null
// caption matches any (a translated one, say).
HWND WaitForDialog(DWORD processId, const char* caption, int controlId, DWORD timeoutMilliseconds);
// BM_GETCHECK of a button in another process's dialog.
int ButtonCheck(HWND dialog, int id);
// The window's and its controls' texts as Unicode (across code pages).
std::wstring WindowTextW(HWND window);
// The pixel rectangle that a dialog-unit rectangle has in this module's dialog
// template (same font, so same base units as the program's dialog).
RECT DialogUnitsToPixels(int templateId, int left, int top, int width, int height);

// Starts a program of this (Unix) machine, such as /usr/bin/xdotool. Wine gives
// no way to wait for it: true means only that it was started.
bool StartUnixProgram(const char* program, const std::string& arguments, const char* workingDirectory = nullptr);
// The Unix path of the build tree (SETUP_BINARY_DIR).
std::string BinaryDirectoryUnix();

// Real key input on the X display: holds the keys down (xdotool keydown) until
// destroyed, then releases them. A small window of this process under the
// pointer receives the X events, so that Wine's shared key state (what
// GetAsyncKeyState reports in every process) follows them.
class HeldKeys {
public:
    explicit HeldKeys(std::vector<int> virtualKeys);
    ~HeldKeys();
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;
    // Whether Windows sees every key down.
    bool Held() const { return m_held; }
    // Releases the keys now; true when Windows sees them up again.
    bool Release();

private:
    std::vector<int> m_keys;
    HWND m_sink = nullptr;
    bool m_held = false;
    bool m_released = false;
};

// Presses one key with real X input on a window (the pointer is moved onto it).
void PressKeyOn(HWND window, const char* xdotoolKeyName);
// Handles this thread's messages for a while.
void PumpMessages(DWORD milliseconds);
