// filler.dll: loaded into a program by filler-launch before the program's own
// code runs, it redirects a few of the program's imports to stand-ins that
// supply what Wine cannot give a test (key state held before the process
// started) or what a test must never do for real (end the session).
#include <windows.h>

#include <cstdio>

#include "import_patch.h"
#include "tools/env_log.h"
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
    AppendToFileNamedBy("FILLER_EXIT_LOG", std::to_string(flags) + "\n");
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
