#pragma once
// How many handles another process holds, counted in the system's handle table
// (NtQuerySystemInformation with SystemHandleInformation): Wine's GetProcessHandleCount
// answers 0 for every process. Windows only.

#include <windows.h>

#include <optional>

std::optional<unsigned> ProcessHandleCount(DWORD pid);
