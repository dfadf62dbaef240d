// Owner of one open registry key; deletes key trees.
#pragma once

#include <windows.h>

class CRegKeyHolder {
public:
    CRegKeyHolder() = default;
    ~CRegKeyHolder();
    CRegKeyHolder(const CRegKeyHolder&) = delete;
    CRegKeyHolder& operator=(const CRegKeyHolder&) = delete;

    // Opens parent\subKey; on failure the key held so far stays held.
    LONG Open(HKEY parent, const char* subKey, REGSAM access);
    LONG Close();
    // Deletes subKey below the held key with all its subkeys; first error wins.
    LONG DeleteSubtree(const char* subKey);

    HKEY Get() const { return m_key; }
    operator HKEY() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// Deletes HKEY_LOCAL_MACHINE\path with everything below it; failures are silent.
void DeleteMachineKeyTree(const char* path);
