// A configuration manager for Wine machines (tests and the demo machine; never
// part of setup.exe). Wine's own answers CM_Locate_DevNodeA and
// CM_Reenumerate_DevNode with a failure and CM_Get_Child with success without
// a child. Wine has no device tree and no bus to enumerate again, so this one
// says what such a machine has:
//   CM_Locate_DevNodeA   the root (no identifier) is node 0; an identifier is
//                        looked up by SetupAPI;
//   CM_Reenumerate_DevNode  succeeds: there is nothing more to find. Each call
//                        is appended as "reenumerate <node> <flags>" to the file
//                        that CFGMGR_FILL_LOG names, when it is set;
//   CM_Get_Child         no device has children;
//   CM_Get_Device_IDA    SetupAPI's own.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
using DevInst = DWORD;
using ConfigRet = DWORD;
const ConfigRet CR_SUCCESS_ = 0x00;
const ConfigRet CR_INVALID_POINTER_ = 0x03;
const ConfigRet CR_NO_SUCH_DEVNODE_ = 0x0D;
const ConfigRet CR_FAILURE_ = 0x13;
const DevInst ROOT_NODE = 0;

FARPROC SetupApiExport(const char* name)
{
    static HMODULE setupApi = LoadLibraryA("setupapi.dll");
    return setupApi ? GetProcAddress(setupApi, name) : nullptr;
}

template <typename Function>
Function SetupApiFunction(const char* name)
{
    FARPROC entry = SetupApiExport(name);
    Function function = nullptr;
    static_assert(sizeof(function) == sizeof(entry), "function pointer sizes differ");
    std::memcpy(&function, &entry, sizeof(function));
    return function;
}

void AppendToLog(const char* line)
{
    char path[MAX_PATH] = {0};
    DWORD length = GetEnvironmentVariableA("CFGMGR_FILL_LOG", path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    CloseHandle(file);
}
}  // namespace

extern "C" __declspec(dllexport) ConfigRet WINAPI CM_Locate_DevNodeA(DevInst* node, char* id, ULONG flags)
{
    if (!node) return CR_INVALID_POINTER_;
    if (!id || !*id) {
        *node = ROOT_NODE;
        return CR_SUCCESS_;
    }
    using Locate = ConfigRet(WINAPI*)(DevInst*, char*, ULONG);
    Locate locate = SetupApiFunction<Locate>("CM_Locate_DevNodeA");
    return locate ? locate(node, id, flags) : CR_FAILURE_;
}

extern "C" __declspec(dllexport) ConfigRet WINAPI CM_Reenumerate_DevNode(DevInst node, ULONG flags)
{
    char line[64];
    std::snprintf(line, sizeof(line), "reenumerate %lu %lu\r\n", static_cast<unsigned long>(node),
                  static_cast<unsigned long>(flags));
    AppendToLog(line);
    return CR_SUCCESS_;
}

extern "C" __declspec(dllexport) ConfigRet WINAPI CM_Get_Child(DevInst* child, DevInst, ULONG)
{
    if (!child) return CR_INVALID_POINTER_;
    return CR_NO_SUCH_DEVNODE_;
}

extern "C" __declspec(dllexport) ConfigRet WINAPI CM_Get_Device_IDA(DevInst node, char* buffer, ULONG length,
                                                                    ULONG flags)
{
    using GetId = ConfigRet(WINAPI*)(DevInst, char*, ULONG, ULONG);
    GetId getId = SetupApiFunction<GetId>("CM_Get_Device_IDA");
    return getId ? getId(node, buffer, length, flags) : CR_FAILURE_;
}
