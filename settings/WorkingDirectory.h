#pragma once

#include "common/SystemResult.h"

#include <functional>
#include <string>

// Makes the Windows directory the current directory, so that files named without a path
// (log, last-synchronisation record, help file) lie beside the settings file. Both programs
// call it at start. A failure leaves the current directory as it was and carries the
// platform's error code (ERROR_INSUFFICIENT_BUFFER when the Windows directory is too long).
SystemResult SetWorkingDirectory();

// The Windows directory, where the settings file lies; empty when it cannot be obtained.
std::string WindowsDirectory();

// A program's start in the Windows directory through enter (SetWorkingDirectory). When that
// fails, tell receives what the user is to read and the result is false: the program then
// stops, since anywhere else its log and record would be other files than the user's.
[[nodiscard]] bool EnterWindowsDirectory(const std::function<SystemResult()>& enter,
                                         const std::function<void(const std::string&)>& tell);
