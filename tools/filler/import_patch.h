// Redirects imports of a loaded module to replacements, by DLL and function name.
#pragma once

#include <windows.h>

#include <cstddef>

struct ImportRedirect {
    const char* dll;       // as the module's import directory names it, any case
    const char* function;  // imported by this name
    void* replacement;
};

// Points each matching import-address-table slot of the module at its
// replacement. Returns the number of slots changed.
int RedirectImports(HMODULE module, const ImportRedirect* table, size_t count);
