#pragma once
// Win32 kinds of UniqueHandle. Include only from Windows-only files.

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

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueTokenHandle = UniqueKernelHandle;
