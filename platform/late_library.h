// Shared machinery of the late-bound libraries (not for callers outside the
// platform layer): a library loaded by bare file name on first use, and the
// cast of a looked-up entry point to its declared type.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

class CLateLibrary {
public:
    explicit CLateLibrary(const char* defaultName) : m_defaultName(defaultName), m_name(defaultName) {}

    // Loads the library by its file name unless it is loaded already; a
    // failed load is tried again on the next call.
    bool EnsureLoaded();
    // The named export of the loaded library, or null.
    FARPROC Find(const char* exportName) const;
    HMODULE Module() const { return m_module; }
    const char* Name() const { return m_name.c_str(); }

    // Test seams: another file name, or forgetting (and releasing) the module.
    void SetName(const char* name) { m_name = name ? name : m_defaultName; }
    void Forget();

private:
    const char* m_defaultName;
    std::string m_name;
    HMODULE m_module = nullptr;
};

CLateLibrary& SetupApiLibrary();
CLateLibrary& CfgMgrLibrary();
// The extension library is loaded afresh for every call: only its name is kept.
const char* ExtensionLibraryName();
// The library asked whether device installations are pending.
const char* PendingInstallLibraryName();

// Converts a looked-up entry point to the function type it was declared with.
// A copy of the bits rather than a cast between unrelated function types.
template <typename Function>
Function* FunctionFrom(FARPROC entry)
{
    static_assert(sizeof(Function*) == sizeof(FARPROC), "entry points are plain code pointers");
    Function* function = nullptr;
    std::memcpy(&function, &entry, sizeof(function));
    return function;
}

// The named export of the library, loaded first if need be. Null, silently,
// when the library cannot be loaded; null after a box with the text and
// caption (no owner, MB_OK) when the library lacks the export.
FARPROC BoundEntryPoint(CLateLibrary& library, const char* exportName, const char* text, const char* caption);

template <typename Function>
Function* BoundEntry(CLateLibrary& library, const char* exportName, const char* text, const char* caption)
{
    return FunctionFrom<Function>(BoundEntryPoint(library, exportName, text, caption));
}
