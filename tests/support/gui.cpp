#include "gui.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <tlhelp32.h>

#include "platform/files.h"
#include "tests/support/test_support.h"

SetupProcess::~SetupProcess()
{
    Stop();
}

void SetupProcess::Stop()
{
    if (Running()) {
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 5000);
    }
    if (m_launcher && WaitForSingleObject(m_launcher, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_launcher, 1);
        WaitForSingleObject(m_launcher, 5000);
    }
}

CString ProgramFolder()
{
    return BinaryDirectory() + "\\bin";
}

bool SetupProcess::Start(const std::string& arguments, const char* workingDirectory, const char* program)
{
    CString path = ProgramFolder() + "\\" + program;
    std::string commandLine = std::string("\"") + path.c_str() + "\" " + arguments;
    commandLine.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(path, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, workingDirectory, &startup,
                        &info))
        return false;
    KernelHandle thread(info.hThread);
    m_process.Reset(info.hProcess);
    m_id = info.dwProcessId;
    return true;
}

bool SetupProcess::WaitForExit(DWORD milliseconds)
{
    return m_process && WaitForSingleObject(m_process, milliseconds) == WAIT_OBJECT_0;
}

bool SetupProcess::Running() const
{
    return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

namespace {
struct WindowSearch {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    if (WindowText(window) != search->caption) return TRUE;
    search->found = window;
    return FALSE;
}
}  // namespace

HWND WaitForWindow(DWORD processId, const char* caption, DWORD timeoutMilliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search = {processId, caption, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            Sleep(300);  // let the dialog finish painting before anyone looks at it
            return search.found;
        }
        if (GetTickCount() - start > timeoutMilliseconds) return nullptr;
        Sleep(50);
    }
}

bool HasWindow(DWORD processId, const char* caption)
{
    WindowSearch search = {processId, caption, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
}

std::string WindowText(HWND window)
{
    char text[1024] = {0};
    // WM_GETTEXT works across processes; GetWindowText would not read another program's controls.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    text[sizeof(text) - 1] = '\0';
    return text;
}

namespace {
BOOL CALLBACK CollectControl(HWND control, LPARAM parameter)
{
    auto* controls = reinterpret_cast<std::vector<ControlInfo>*>(parameter);
    ControlInfo info = {};
    info.id = GetDlgCtrlID(control);
    char className[64] = {0};
    GetClassNameA(control, className, sizeof(className));
    info.className = className;
    info.text = WindowText(control);
    GetWindowRect(control, &info.rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&info.rect), 2);
    info.style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    info.visible = IsWindowVisible(control) != FALSE;
    controls->push_back(info);
    return TRUE;
}
}  // namespace

std::vector<ControlInfo> ReadControls(HWND dialog)
{
    std::vector<ControlInfo> controls;
    EnumChildWindows(dialog, CollectControl, reinterpret_cast<LPARAM>(&controls));
    return controls;
}

const ControlInfo* FindControl(const std::vector<ControlInfo>& controls, int id)
{
    for (const ControlInfo& control : controls)
        if (control.id == id) return &control;
    return nullptr;
}

void ClickButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button) PostMessageA(button, BM_CLICK, 0, 0);
}

void SetProgramWindowsVersion(const char* exeName, const char* version)
{
    std::string key = std::string("Software\\Wine\\AppDefaults\\") + exeName;
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(handle, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>(std::strlen(version) + 1));
    RegCloseKey(handle);
}

// --- Screenshots: the window's pixels from the screen, written as a PNG with
// stored (uncompressed) deflate blocks, so no image library is needed.
namespace {
unsigned long Crc32(const unsigned char* data, size_t length, unsigned long crc = 0)
{
    static unsigned long table[256];
    static bool ready = false;
    if (!ready) {
        for (unsigned long n = 0; n < 256; ++n) {
            unsigned long c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    crc ^= 0xFFFFFFFFUL;
    for (size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFUL;
}

void PutBigEndian(std::string& out, unsigned long value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBigEndian(out, static_cast<unsigned long>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    PutBigEndian(out, Crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

std::string StoredZlib(const std::string& raw)
{
    std::string out("\x78\x01", 2);
    size_t at = 0;
    do {
        size_t block = raw.size() - at < 65535 ? raw.size() - at : 65535;
        bool last = at + block == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<char>(block & 0xFF));
        out.push_back(static_cast<char>(block >> 8));
        out.push_back(static_cast<char>(~block & 0xFF));
        out.push_back(static_cast<char>((~block >> 8) & 0xFF));
        out.append(raw, at, block);
        at += block;
    } while (at < raw.size());
    unsigned long a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(out, (b << 16) | a);
    return out;
}
}  // namespace

bool SaveScreenshot(HWND window, const char* name)
{
    RECT area;
    if (!GetWindowRect(window, &area)) return false;
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (width * 3 + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        const unsigned char* row = &pixels[static_cast<size_t>(y) * width * 4];
        for (int x = 0; x < width; ++x) {
            raw.push_back(static_cast<char>(row[x * 4 + 2]));
            raw.push_back(static_cast<char>(row[x * 4 + 1]));
            raw.push_back(static_cast<char>(row[x * 4 + 0]));
        }
    }
    std::string header;
    PutBigEndian(header, static_cast<unsigned long>(width));
    PutBigEndian(header, static_cast<unsigned long>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", StoredZlib(raw));
    PutChunk(png, "IEND", "");

    CString folder = BinaryDirectory() + "\\screenshots";
    CreateDirectoryPath(folder);
    CString path = folder + "\\" + name + ".png";
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    std::fclose(file);
    return written;
}

// --- Programs started through the filler or under another locale.
namespace {
// Ids of the running processes with this executable name, with their parents.
std::vector<std::pair<DWORD, DWORD>> ProcessesNamed(const char* name)
{
    std::vector<std::pair<DWORD, DWORD>> found;
    KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        const char* base = std::strrchr(entry.szExeFile, '\\');
        base = base ? base + 1 : entry.szExeFile;
        if (lstrcmpiA(base, name) == 0) found.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    }
    return found;
}

std::vector<DWORD> IdsOf(const std::vector<std::pair<DWORD, DWORD>>& processes)
{
    std::vector<DWORD> ids;
    for (const auto& process : processes) ids.push_back(process.first);
    return ids;
}
}  // namespace

bool SetupProcess::AttachToNewProcess(const char* program, const std::vector<DWORD>& known, DWORD parentId)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 15000) {
        for (const auto& process : ProcessesNamed(program)) {
            bool isKnown = false;
            for (DWORD id : known) isKnown = isKnown || id == process.first;
            if (isKnown || (parentId != 0 && process.second != parentId)) continue;
            m_process.Reset(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE,
                                        process.first));
            if (!m_process) return false;
            m_id = process.first;
            return true;
        }
        Sleep(50);
    }
    return false;
}

bool SetupProcess::StartWithFiller(const std::string& arguments, const char* workingDirectory, const char* program)
{
    std::string programPath = std::string("\"") + (ProgramFolder() + "\\" + program).c_str() + "\" " + arguments;
    std::vector<DWORD> known = IdsOf(ProcessesNamed(program));
    if (!Start(programPath, workingDirectory, "filler-launch.exe")) return false;
    m_launcher.Reset(m_process.Release());
    DWORD launcherId = m_id;
    m_id = 0;
    return AttachToNewProcess(program, known, launcherId);
}

bool SetupProcess::StartUnderLocale(const std::string& arguments, const char* workingDirectory, const char* locale,
                                    const char* program)
{
    std::vector<DWORD> known = IdsOf(ProcessesNamed(program));
    // Through filler-launch here too, so that the program can never end the session.
    std::string command = "LOCPATH=" + BinaryDirectoryUnix() + "/locales LC_ALL=" + locale + " wine \"" +
                          (ProgramFolder() + "\\filler-launch.exe").c_str() + "\" \"" +
                          (ProgramFolder() + "\\" + program).c_str() + "\" " + arguments;
    if (!StartUnixProgram("/usr/bin/env", command, workingDirectory)) return false;
    return AttachToNewProcess(program, known, 0);
}

std::string BinaryDirectoryUnix()
{
    const char* dir = std::getenv("SETUP_BINARY_DIR");
    return dir ? dir : "/";
}

bool StartUnixProgram(const char* program, const std::string& arguments, const char* workingDirectory)
{
    std::string commandLine = std::string(program) + " " + arguments;
    commandLine.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, workingDirectory, &startup,
                        &info))
        return false;
    KernelHandle process(info.hProcess);
    KernelHandle thread(info.hThread);
    return true;
}

// --- Dialog details across processes.
namespace {
struct DialogSearch {
    DWORD processId;
    const char* caption;
    int controlId;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    if (search->caption && WindowText(window) != search->caption) return TRUE;
    if (!GetDlgItem(window, search->controlId)) return TRUE;
    search->found = window;
    return FALSE;
}
}  // namespace

HWND WaitForDialog(DWORD processId, const char* caption, int controlId, DWORD timeoutMilliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        DialogSearch search = {processId, caption, controlId, nullptr};
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            Sleep(300);  // let the dialog finish painting before anyone looks at it
            return search.found;
        }
        if (GetTickCount() - start > timeoutMilliseconds) return nullptr;
        Sleep(50);
    }
}

int ButtonCheck(HWND dialog, int id)
{
    DWORD_PTR result = 0;
    HWND button = GetDlgItem(dialog, id);
    if (!button || !SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &result)) return -1;
    return static_cast<int>(result);
}

std::wstring WindowTextW(HWND window)
{
    wchar_t text[1024] = {0};
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    text[1023] = L'\0';
    return text;
}

namespace {
INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}
}  // namespace

RECT DialogUnitsToPixels(int templateId, int left, int top, int width, int height)
{
    // The dialog manager scales position and size each on its own, as here.
    RECT rect = {left, top, width, height};
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), nullptr,
                                     QuietDialogProc, 0);
    if (!dialog) return RECT{-1, -1, -1, -1};
    MapDialogRect(dialog, &rect);
    DestroyWindow(dialog);
    return RECT{rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
}

// --- Real key input through xdotool.
namespace {
const char* XdotoolKeyName(int virtualKey)
{
    switch (virtualKey) {
    case VK_SHIFT: return "shift";
    case VK_CONTROL: return "ctrl";
    default: return "";
    }
}

std::string KeyNames(const std::vector<int>& keys)
{
    std::string names;
    for (int key : keys) names += std::string(" ") + XdotoolKeyName(key);
    return names;
}

bool AllKeys(const std::vector<int>& keys, bool down)
{
    for (int key : keys)
        if (((GetAsyncKeyState(key) & 0x8000) != 0) != down) return false;
    return true;
}

// Handles messages (and so the X events Wine reads with them) until the keys are as wanted.
bool WaitForKeys(const std::vector<int>& keys, bool down, DWORD timeoutMilliseconds)
{
    DWORD start = GetTickCount();
    while (!AllKeys(keys, down)) {
        if (GetTickCount() - start > timeoutMilliseconds) return false;
        PumpMessages(20);
    }
    return true;
}

// Moves the X pointer to a screen point and waits until Windows sees it there.
bool MovePointer(int x, int y)
{
    StartUnixProgram("/usr/bin/xdotool", "mousemove " + std::to_string(x) + " " + std::to_string(y));
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages(20);
        POINT at = {};
        if (GetCursorPos(&at) && at.x == x && at.y == y) return true;
        if (GetTickCount() - start > 5000) return false;
    }
}
}  // namespace

void PumpMessages(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

HeldKeys::HeldKeys(std::vector<int> virtualKeys) : m_keys(std::move(virtualKeys))
{
    // Without a window manager, X sends key events to the window under the
    // pointer: a small top-most window of ours in the screen's corner, away from
    // the dialogs being photographed.
    int x = GetSystemMetrics(SM_CXSCREEN) - 16, y = GetSystemMetrics(SM_CYSCREEN) - 16;
    m_sink = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", "key sink", WS_POPUP | WS_VISIBLE, x - 8,
                             y - 8, 16, 16, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    PumpMessages(100);
    if (!m_sink || !MovePointer(x, y)) return;
    StartUnixProgram("/usr/bin/xdotool", "keydown" + KeyNames(m_keys));
    m_held = WaitForKeys(m_keys, true, 5000);
}

bool HeldKeys::Release()
{
    if (m_released) return true;
    if (m_sink) {
        RECT area;
        GetWindowRect(m_sink, &area);
        MovePointer((area.left + area.right) / 2, (area.top + area.bottom) / 2);
    }
    StartUnixProgram("/usr/bin/xdotool", "keyup" + KeyNames(m_keys));
    m_released = WaitForKeys(m_keys, false, 5000);
    return m_released;
}

HeldKeys::~HeldKeys()
{
    Release();
    if (m_sink) DestroyWindow(m_sink);
    PumpMessages(50);
}

void PressKeyOn(HWND window, const char* xdotoolKeyName)
{
    RECT area;
    if (!GetWindowRect(window, &area)) return;
    MovePointer((area.left + area.right) / 2, (area.top + area.bottom) / 2);
    StartUnixProgram("/usr/bin/xdotool", std::string("key ") + xdotoolKeyName);
}
