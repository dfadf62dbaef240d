// Shared helpers of the Windows tests: captured message boxes, version
// records, paths between the build tree and Wine, scratch registry keys.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/cstring.h"

// Records every box the program would show and answers it.
struct CapturedBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

class MessageBoxCapture {
public:
    explicit MessageBoxCapture(int answer = IDOK);
    ~MessageBoxCapture();
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    const std::vector<CapturedBox>& Boxes() const;
    void Clear();
};

// The six version records as the systems report them.
struct VersionRecord {
    const char* name;  // as Wine's "Version" setting spells it
    DWORD platform, major, minor, build;
};
extern const VersionRecord kWin95, kWin98, kWinMe, kNt4, kWin2000, kWinXp;
extern const VersionRecord* const kAllVersions[6];

// Plays the given Windows for in-process code until destroyed.
class ScopedVersion {
public:
    explicit ScopedVersion(const VersionRecord& record);
    ~ScopedVersion();
    ScopedVersion(const ScopedVersion&) = delete;
    ScopedVersion& operator=(const ScopedVersion&) = delete;

private:
    OSVERSIONINFOA m_saved;
};

// Source and build trees, as Wine paths (Z:\...), without a trailing backslash.
CString SourceDirectory();
CString BinaryDirectory();
CString ToWindowsPath(const std::string& unixPath);

// A new empty folder below the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // The folder, ending in a backslash.
    const CString& Path() const { return m_path; }
    // Writes a file below the folder (creating subfolders) and returns its path.
    CString Write(const char* relativePath, const std::string& content) const;

private:
    CString m_path;
};

std::string ReadWholeFile(const char* path);

// Runs a command line as a new process and waits for its end: the exit code,
// or -1 when it cannot start or has not ended within the time (it is then
// ended).
int RunProgramToEnd(const std::string& commandLine, DWORD timeoutMs);
bool FileExists(const char* path);
