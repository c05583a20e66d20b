#pragma once
// Windows functions that some systems lack, looked up once at run time. This is the one place
// that calls GetProcAddress: everyone else asks OptionalFunctions() and finds null where this
// system has no such function. Importing one of them instead would stop the program from
// loading wherever it is missing.

#include <windows.h>

#include <vector>

// Windows 9x: hides the process from the task list and keeps it across a log-off.
using RegisterServiceProcessFn = DWORD(WINAPI*)(DWORD dwProcessId, DWORD dwType);
// Windows 8 and later: the system time at full resolution.
using GetSystemTimePreciseAsFileTimeFn = VOID(WINAPI*)(LPFILETIME lpSystemTimeAsFileTime);
// Windows 10 and later: the clock's rate in 100 ns units per clock interrupt, and how far it
// moves per interrupt. Neither is in the mingw-w64 headers.
using SetSystemTimeAdjustmentPreciseFn = BOOL(WINAPI*)(DWORD64 dwTimeAdjustment,
                                                       BOOL bTimeAdjustmentDisabled);
using GetSystemTimeAdjustmentPreciseFn = BOOL(WINAPI*)(PDWORD64 lpTimeAdjustment, PDWORD64 lpTimeIncrement,
                                                       PBOOL lpTimeAdjustmentDisabled);
// Windows 10 1607 and later: the DPI a window is drawn at, its monitor's for a per-monitor
// aware program.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND hwnd);
// ntdll: the system's handle table, which the tests count a process's handles in.
using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG infoClass, PVOID buffer, ULONG length,
                                                 PULONG returnLength);
// ntdll under Wine only: Wine's version; its presence tells Wine from Windows.
using WineGetVersionFn = const char*(CDECL*)();

// The functions this system has; a missing one is null.
struct OptionalFunctionSet {
    RegisterServiceProcessFn registerServiceProcess = nullptr;
    GetSystemTimePreciseAsFileTimeFn getSystemTimePreciseAsFileTime = nullptr;
    SetSystemTimeAdjustmentPreciseFn setSystemTimeAdjustmentPrecise = nullptr;
    GetSystemTimeAdjustmentPreciseFn getSystemTimeAdjustmentPrecise = nullptr;
    GetDpiForWindowFn getDpiForWindow = nullptr;
    NtQuerySystemInformationFn ntQuerySystemInformation = nullptr;
    WineGetVersionFn wineGetVersion = nullptr;
};

// Looked up on the first call (any thread) and kept for the life of the process.
const OptionalFunctionSet& OptionalFunctions();

// One row per function: where it is looked up and whether this system has it.
struct OptionalFunctionPresence {
    const char* szModule;
    const char* szName;
    bool bPresent;
};
std::vector<OptionalFunctionPresence> OptionalFunctionsPresent();
