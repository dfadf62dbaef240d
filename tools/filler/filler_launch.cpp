// filler-launch: starts a program with filler.dll loaded into it before any of
// the program's own code runs, and passes the program's exit code through.
//   filler-launch.exe PROGRAM [ARGUMENTS...]
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/handles.h"

namespace {
// Exit codes of the launcher's own failures, out of the way of a program's.
const int kUsageError = 0xF100;
const int kStartError = 0xF101;
const int kInjectError = 0xF102;

// What follows the launcher's own name on its command line, unchanged.
const char* ProgramCommandLine(const char* line)
{
    if (*line == '"') {
        ++line;
        while (*line && *line != '"') ++line;
        if (*line == '"') ++line;
    } else {
        while (*line && *line != ' ' && *line != '\t') ++line;
    }
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

std::string FillerPath()
{
    char path[MAX_PATH] = {0};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return std::string();
    std::string own(path, length);
    size_t slash = own.find_last_of("\\/");
    return own.substr(0, slash == std::string::npos ? 0 : slash + 1) + "filler.dll";
}

// Runs LoadLibraryA(dllPath) on a new thread of the (still suspended) process.
bool LoadLibraryInto(HANDLE process, const std::string& dllPath)
{
    SIZE_T size = dllPath.size() + 1;
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return false;
    bool loaded = false;
    if (WriteProcessMemory(process, remote, dllPath.c_str(), size, nullptr)) {
        // kernel32 lies at the same address in every process of the session.
        auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
        KernelHandle thread(CreateRemoteThread(process, nullptr, 0, loadLibrary, remote, 0, nullptr));
        loaded = thread && WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return loaded;
}

// Ends the program with the launcher: a test that kills the launcher leaves nothing behind.
HANDLE TieToLauncher(HANDLE process)
{
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    AssignProcessToJobObject(job, process);
    return job;
}
}  // namespace

int main()
{
    std::string commandLine = ProgramCommandLine(GetCommandLineA());
    if (commandLine.empty()) {
        std::fprintf(stderr, "usage: filler-launch PROGRAM [ARGUMENTS...]\n");
        return kUsageError;
    }
    std::string fillerPath = FillerPath();

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &info)) {
        std::fprintf(stderr, "filler-launch: cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
        return kStartError;
    }
    KernelHandle process(info.hProcess);
    KernelHandle mainThread(info.hThread);
    KernelHandle job(TieToLauncher(process));

    char eventName[64];
    std::snprintf(eventName, sizeof(eventName), "filler-patched-%lu", info.dwProcessId);
    KernelHandle patched(CreateEventA(nullptr, TRUE, FALSE, eventName));
    if (!LoadLibraryInto(process, fillerPath) || WaitForSingleObject(patched, 0) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "filler-launch: %s was not loaded into the program\n", fillerPath.c_str());
        TerminateProcess(process, kInjectError);
        return kInjectError;
    }

    ResumeThread(mainThread);
    WaitForSingleObject(process, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);
    return static_cast<int>(exitCode);
}
