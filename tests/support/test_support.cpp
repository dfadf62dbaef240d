#include "test_support.h"

#include <cstdio>
#include <cstdlib>

#include "app/os_class.h"
#include "framework/msgbox.h"
#include "platform/files.h"
#include "platform/handles.h"

namespace {
std::vector<CapturedBox> g_boxes;
int g_answer = IDOK;

int CaptureBox(HWND owner, const char* text, const char* caption, UINT style)
{
    g_boxes.push_back({owner, text ? text : "", caption ? caption : "", style});
    return g_answer;
}
}  // namespace

MessageBoxCapture::MessageBoxCapture(int answer)
{
    g_boxes.clear();
    g_answer = answer;
    SetMessageBoxHook(CaptureBox);
}

MessageBoxCapture::~MessageBoxCapture()
{
    SetMessageBoxHook(nullptr);
    g_boxes.clear();
}

const std::vector<CapturedBox>& MessageBoxCapture::Boxes() const { return g_boxes; }
void MessageBoxCapture::Clear() { g_boxes.clear(); }

const VersionRecord kWin95 = {"win95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x040003B6};
const VersionRecord kWin98 = {"win98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A08AE};
const VersionRecord kWinMe = {"winme", VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0x045A0BB8};
const VersionRecord kNt4 = {"nt40", VER_PLATFORM_WIN32_NT, 4, 0, 1381};
const VersionRecord kWin2000 = {"win2k", VER_PLATFORM_WIN32_NT, 5, 0, 2195};
const VersionRecord kWinXp = {"winxp", VER_PLATFORM_WIN32_NT, 5, 1, 2600};
const VersionRecord* const kAllVersions[6] = {&kWin95, &kWin98, &kWinMe, &kNt4, &kWin2000, &kWinXp};

ScopedVersion::ScopedVersion(const VersionRecord& record) : m_saved(g_osVersion)
{
    ZeroMemory(&g_osVersion, sizeof(g_osVersion));
    g_osVersion.dwOSVersionInfoSize = sizeof(g_osVersion);
    g_osVersion.dwPlatformId = record.platform;
    g_osVersion.dwMajorVersion = record.major;
    g_osVersion.dwMinorVersion = record.minor;
    g_osVersion.dwBuildNumber = record.build;
}

ScopedVersion::~ScopedVersion()
{
    g_osVersion = m_saved;
}

CString ToWindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return CString(path);
}

CString SourceDirectory()
{
    const char* dir = std::getenv("SETUP_SOURCE_DIR");
    return ToWindowsPath(dir ? dir : "/");
}

CString BinaryDirectory()
{
    const char* dir = std::getenv("SETUP_BINARY_DIR");
    return ToWindowsPath(dir ? dir : "/");
}

ScratchFolder::ScratchFolder()
{
    char temp[MAX_PATH] = {0};
    GetTempPathA(sizeof(temp), temp);
    static int counter = 0;
    CString folder;
    folder.Format("%ssetup-test-%lu-%d\\", temp, GetCurrentProcessId(), ++counter);
    CreateDirectoryPath(folder.Left(folder.GetLength() - 1));
    m_path = folder;
}

ScratchFolder::~ScratchFolder()
{
    DeleteDirectoryTree(m_path.Left(m_path.GetLength() - 1), false);
}

CString ScratchFolder::Write(const char* relativePath, const std::string& content) const
{
    CString path = m_path + relativePath;
    int slash = path.ReverseFind('\\');
    if (slash > 0) CreateDirectoryPath(path.Left(slash));
    if (FILE* file = std::fopen(path, "wb")) {
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }
    return path;
}

std::string ReadWholeFile(const char* path)
{
    std::string content;
    if (FILE* file = std::fopen(path, "rb")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) content.append(buffer, got);
        std::fclose(file);
    }
    return content;
}

bool FileExists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int RunProgramToEnd(const std::string& commandLine, DWORD timeoutMs)
{
    std::string writable = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    KernelHandle thread(process.hThread);
    KernelHandle program(process.hProcess);
    if (WaitForSingleObject(program, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(program, 1);
        return -1;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(program, &code)) return -1;
    return static_cast<int>(code);
}
