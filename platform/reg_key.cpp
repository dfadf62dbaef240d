#include "platform/reg_key.h"

CRegKeyHolder::~CRegKeyHolder() { Close(); }

LONG CRegKeyHolder::Close()
{
    if (!m_key) return ERROR_SUCCESS;
    LONG result = RegCloseKey(m_key);
    m_key = nullptr;
    return result;
}

LONG CRegKeyHolder::Open(HKEY parent, const char* subKey, REGSAM access)
{
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(parent, subKey, 0, access, &opened);
    if (result != ERROR_SUCCESS) return result;
    LONG closed = Close();
    m_key = opened;
    return closed;
}

LONG CRegKeyHolder::DeleteSubtree(const char* subKey)
{
    CRegKeyHolder child;
    LONG result = child.Open(m_key, subKey, KEY_READ | KEY_WRITE);
    if (result != ERROR_SUCCESS) return result;
    // Always index 0: each successful recursion has removed the subkey found.
    for (;;) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(child, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        result = child.DeleteSubtree(name);
        if (result != ERROR_SUCCESS) return result;
    }
    child.Close();
    return RegDeleteKeyA(m_key, subKey);
}

void DeleteMachineKeyTree(const char* path)
{
    CRegKeyHolder machine;
    if (machine.Open(HKEY_LOCAL_MACHINE, "", KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    machine.DeleteSubtree(path);
}
