// filler.dll: loaded into a program by filler-launch before the program's own
// code runs, it redirects a few of the program's imports to stand-ins that
// supply what Wine cannot give a test (key state held before the process
// started) or what a test must never do for real (end the session).
#include <windows.h>

#include <cstdio>

#include "import_patch.h"
#include "setupapi_fill.h"

namespace {
// Wine gives a new process no key state of its own: keys held before its
// thread handled keyboard input are known only asynchronously. The toggle bit
// still comes from the thread's own state.
SHORT WINAPI FilledGetKeyState(int key)
{
    SHORT own = GetKeyState(key);
    bool down = (GetAsyncKeyState(key) & 0x8000) != 0;
    return static_cast<SHORT>((own & 0x0001) | (down ? 0x8000 : 0));
}

// Appends the flags, one line per call, to the file that FILLER_EXIT_LOG names,
// and claims success without ending anything.
BOOL WINAPI RecordExitWindowsEx(UINT flags, DWORD /*reason*/)
{
    char path[MAX_PATH] = {0};
    DWORD length = GetEnvironmentVariableA("FILLER_EXIT_LOG", path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return TRUE;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    char line[32];
    int size = std::snprintf(line, sizeof(line), "%u\n", flags);
    DWORD written = 0;
    if (size > 0 && size < static_cast<int>(sizeof(line)))
        WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return TRUE;
}

// One row per import to redirect; a new stand-in needs only a row here.
const ImportRedirect kRedirects[] = {
    {"user32.dll", "GetKeyState", reinterpret_cast<void*>(&FilledGetKeyState)},
    {"user32.dll", "ExitWindowsEx", reinterpret_cast<void*>(&RecordExitWindowsEx)},
};

// Tells filler-launch that the program's imports have been redirected.
void SignalPatched()
{
    char name[64];
    std::snprintf(name, sizeof(name), "filler-patched-%lu", GetCurrentProcessId());
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    if (!event) return;
    SetEvent(event);
    CloseHandle(event);
}
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    HMODULE program = GetModuleHandleA(nullptr);
    int changed = RedirectImports(program, kRedirects, sizeof(kRedirects) / sizeof(kRedirects[0]));
    changed += RedirectImports(program, kSetupApiRedirects, kSetupApiRedirectCount);
    if (changed > 0) SignalPatched();
    return TRUE;
}
