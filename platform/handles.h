// One small owner per kind of handle: each closes its handle exactly once.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <utility>

template <typename Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : m_handle(handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : m_handle(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    bool IsValid() const { return Traits::IsValid(m_handle); }
    explicit operator bool() const { return IsValid(); }
    Handle Get() const { return m_handle; }
    operator Handle() const { return m_handle; }

    // Closes the handle held, if any, and takes the new one.
    void Reset(Handle handle = Traits::Invalid())
    {
        if (Traits::IsValid(m_handle)) Traits::Close(m_handle);
        m_handle = handle;
    }
    Handle Release() { return std::exchange(m_handle, Traits::Invalid()); }

private:
    Handle m_handle = Traits::Invalid();
};

// Device information list (closed through the late-bound SetupAPI).
struct DevInfoTraits {
    using Handle = HDEVINFO;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h);
};
using DevInfoList = ScopedHandle<DevInfoTraits>;

// Open INF file (SetupOpenInfFileA).
struct InfHandleTraits {
    using Handle = HINF;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h);
};
using InfHandle = ScopedHandle<InfHandleTraits>;

// File queue (SetupOpenFileQueue).
struct FileQueueTraits {
    using Handle = HSPFILEQ;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h);
};
using FileQueue = ScopedHandle<FileQueueTraits>;

// Default queue-callback context (SetupInitDefaultQueueCallback).
struct QueueContextTraits {
    using Handle = PVOID;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h);
};
using QueueContext = ScopedHandle<QueueContextTraits>;

// FindFirstFileA search.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h) { FindClose(h); }
};
using FindHandle = ScopedHandle<FindHandleTraits>;

// Loaded library.
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { FreeLibrary(h); }
};
using ModuleHandle = ScopedHandle<ModuleTraits>;

// Process, thread, event, mutex.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
using KernelHandle = ScopedHandle<KernelHandleTraits>;

// Service control manager and service handles.
struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { CloseServiceHandle(h); }
};
using ServiceHandle = ScopedHandle<ServiceHandleTraits>;

// A registry key obtained from SetupAPI (SetupDiOpenDevRegKey, SetupDiCreateDevRegKeyA).
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE); }
    static void Close(Handle h) { RegCloseKey(h); }
};
using DevRegKey = ScopedHandle<RegKeyTraits>;

// C runtime file.
struct StdioFileTraits {
    using Handle = FILE*;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { fclose(h); }
};
using StdioFile = ScopedHandle<StdioFileTraits>;
