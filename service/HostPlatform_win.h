#pragma once
// What the service host asks of the platform about the program itself. Windows only.

#include <windows.h>

#include "service/HostPlatform.h"
#include "service/ServiceManagerClient.h"

#include <string>

// NT (VER_PLATFORM_WIN32_NT) or Windows 9x; what follows from it is CHostPlatform's.
HostFamily QueryHostFamily();

// Writes text to the standard output when it is redirected, else to the console of the
// command prompt that started the program, if any (the program has no console of its own).
void WriteStandardOutput(const std::string& text);

// The program's own full path; a path that does not fit counts as a failure.
ProgramPath QueryModulePath();
