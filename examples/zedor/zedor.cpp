// The sample package's extension library, "ZEDor.Dll". setup.exe hands its one
// export, VXAddExtra, a command text: the restore command of removal
// ("-s:<windows>\Tarvo\<signature>\VXExtBU -r:<driver key> -NoReboot
// [-ClearTarvo]") or an empty text after the NT 4.0 installation. The sample
// restores nothing; it keeps a record of every call, so that a test machine
// shows when and with what it was called:
//   <windows>\Tarvo\<signature>\VXAddExtra.log   when the text names a keep folder
//   <windows>\Tarvo\VXAddExtra.log               otherwise (empty text included)
// one line per call, the text as handed ("(empty command)" for an empty one).
// It always answers 0: nothing of it asks for a restart.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/handles.h"

namespace {
const char kSourceSwitch[] = "-s:";
const char kLogName[] = "VXAddExtra.log";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string WindowsDirectory()
{
    char folder[MAX_PATH] = {0};
    UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder)) return std::string();
    std::string text(folder, length);
    while (!text.empty() && IsSeparator(text.back())) text.pop_back();
    return text;
}

// The value of the "-s:" switch: from after the switch to the next switch
// (" -" at a word start) or the end. The switch counts at the start of the
// text or after a blank only.
std::string SourceSwitchValue(const std::string& command)
{
    size_t at = 0;
    for (;;) {
        at = command.find(kSourceSwitch, at);
        if (at == std::string::npos) return std::string();
        if (at == 0 || command[at - 1] == ' ') break;
        ++at;
    }
    size_t start = at + sizeof(kSourceSwitch) - 1;
    size_t end = command.find(" -", start);
    std::string value = command.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (!value.empty() && value.back() == ' ') value.pop_back();
    return value;
}

// The keep folder's name in "...\Tarvo\<signature>\VXExtBU": the path part
// before the last one. Anything that is not a plain folder name ("..", a
// drive, nothing) gives an empty text, so the log never lands outside Tarvo.
std::string SignatureOf(const std::string& sourcePath)
{
    size_t last = sourcePath.find_last_of("\\/");
    if (last == std::string::npos || last == 0) return std::string();
    size_t before = sourcePath.find_last_of("\\/", last - 1);
    size_t start = before == std::string::npos ? 0 : before + 1;
    std::string name = sourcePath.substr(start, last - start);
    if (name.empty() || name == "." || name == ".." || name.size() >= MAX_PATH / 2) return std::string();
    if (name.find_first_of(":*?\"<>|") != std::string::npos) return std::string();
    return name;
}

void AppendLine(const std::string& path, const std::string& line)
{
    StdioFile file(std::fopen(path.c_str(), "ab"));
    if (!file) return;
    std::fputs(line.c_str(), file);
    std::fputs("\r\n", file);
}
}  // namespace

extern "C" __declspec(dllexport) int WINAPI VXAddExtra(DWORD, DWORD, const char* command, DWORD)
{
    std::string windows = WindowsDirectory();
    if (windows.empty()) return 0;
    std::string text = command ? command : "";
    // One line per call, whatever the text holds.
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';

    std::string folder = windows + "\\Tarvo";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string signature = SignatureOf(SourceSwitchValue(text));
    if (!signature.empty()) {
        folder += "\\" + signature;
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    AppendLine(folder + "\\" + kLogName, text.empty() ? "(empty command)" : text);
    return 0;
}
