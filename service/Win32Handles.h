#pragma once
// Win32 kinds of UniqueHandle for the service host: service control manager and service
// handles, registry keys, event sources, windows, window classes and system-allocated
// buffers. Include only from Windows-only files.

#include <windows.h>

#include "common/UniqueHandle.h"

struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type empty() { return nullptr; }
    static void close(Type value) { ::CloseServiceHandle(value); }
};

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type empty() { return nullptr; }
    static void close(Type value) { ::RegCloseKey(value); }
};

struct EventSourceTraits {
    using Type = HANDLE;
    static Type empty() { return nullptr; }
    static void close(Type value) { ::DeregisterEventSource(value); }
};

struct WindowTraits {
    using Type = HWND;
    static Type empty() { return nullptr; }
    // The window may have destroyed itself already (a session end does that).
    static void close(Type value) {
        if (::IsWindow(value)) {
            ::DestroyWindow(value);
        }
    }
};

// A class registered for this program's module.
struct WindowClassTraits {
    using Type = ATOM;
    static Type empty() { return 0; }
    static void close(Type value) {
        ::UnregisterClassA(reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(value)),
                           ::GetModuleHandleA(nullptr));
    }
};

// A buffer that the system allocated with LocalAlloc (FormatMessage's, for one).
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type empty() { return nullptr; }
    static void close(Type value) { ::LocalFree(value); }
};

using UniqueServiceHandle = UniqueHandle<ServiceHandleTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
using UniqueEventSource = UniqueHandle<EventSourceTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueWindowClass = UniqueHandle<WindowClassTraits>;
using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;
