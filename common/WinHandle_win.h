#pragma once
// Win32 kinds of UniqueHandle, one alias per kind. Include only from Windows-only files.

#include <windows.h>

#include "common/UniqueHandle.h"

// Events, threads, processes, tokens: no handle is NULL.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type empty() { return nullptr; }
    static void close(Type value) { ::CloseHandle(value); }
};

// Files: no handle is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type empty() { return INVALID_HANDLE_VALUE; }
    static void close(Type value) { ::CloseHandle(value); }
};

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

// A timer set on a window, killed when its owner goes.
struct WindowTimer {
    HWND hWnd;
    UINT_PTR nId;
    bool operator==(const WindowTimer& other) const { return hWnd == other.hWnd && nId == other.nId; }
    bool operator!=(const WindowTimer& other) const { return !(*this == other); }
};

struct WindowTimerTraits {
    using Type = WindowTimer;
    static Type empty() { return {nullptr, 0}; }
    static void close(Type value) { ::KillTimer(value.hWnd, value.nId); }
};

// The screen's device context (GetDC(nullptr)), for its measures.
struct ScreenDcTraits {
    using Type = HDC;
    static Type empty() { return nullptr; }
    static void close(Type value) { ::ReleaseDC(nullptr, value); }
};

// A pen, brush, bitmap or font this program made.
struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type empty() { return nullptr; }
    static void close(Type value) { ::DeleteObject(value); }
};

// A memory device context (CreateCompatibleDC).
struct MemoryDcTraits {
    using Type = HDC;
    static Type empty() { return nullptr; }
    static void close(Type value) { ::DeleteDC(value); }
};

// Global memory, freed unless the clipboard took it over.
struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static Type empty() { return nullptr; }
    static void close(Type value) { ::GlobalFree(value); }
};

// The clipboard, opened by this window and closed again.
struct OpenClipboardTraits {
    using Type = HWND;
    static Type empty() { return nullptr; }
    static void close(Type /*owner*/) { ::CloseClipboard(); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueTokenHandle = UniqueKernelHandle;
using UniqueServiceHandle = UniqueHandle<ServiceHandleTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
using UniqueEventSource = UniqueHandle<EventSourceTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueWindowClass = UniqueHandle<WindowClassTraits>;
using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;
using UniqueWindowTimer = UniqueHandle<WindowTimerTraits>;
using UniqueScreenDc = UniqueHandle<ScreenDcTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueGlobalMemory = UniqueHandle<GlobalMemoryTraits>;
using UniqueOpenClipboard = UniqueHandle<OpenClipboardTraits>;
