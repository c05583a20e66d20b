#pragma once

#include <string>

// Makes the Windows directory the current directory, so that files named
// without a path (log, last-synchronisation record) lie beside the settings file. Both
// programs call it at start. Returns false, leaving the current directory as it was, when
// the Windows directory cannot be obtained; also false when it cannot be made current.
bool SetWorkingDirectory();

// The Windows directory, where the settings file lies; empty when it cannot be obtained.
std::string WindowsDirectory();
