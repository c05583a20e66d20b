#pragma once
// The service run as an ordinary process: plain (-d), stopped by Ctrl+C or Ctrl+Break, or
// hidden (-f, and always on Windows 9x), stopped when the session ends; and the entry that
// starts it with the system on Windows 9x, which has no service control manager.
// CWin32ProcessMode and CWin32StartEntry are the Win32 adapters.

#include "common/SystemResult.h"
#include "service/HostTexts.h"

#include <cstdint>
#include <functional>
#include <string>

class ProcessModePort {
public:
    virtual ~ProcessModePort() = default;
    // While caught, Ctrl+C and Ctrl+Break stop the service.
    virtual void catchConsoleStop(bool bCatch) = 0;
    // The hidden process's window, which hears the session end: its class, then the window.
    virtual SystemResult registerSessionClass() = 0;
    virtual SystemResult createSessionWindow() = 0;
    virtual void destroySessionWindow() = 0;
    // Windows 9x keeps a service process across a log-off and off the task list; false
    // where the platform has no such call (NT).
    virtual bool registerServiceProcess(bool bRegister) = 0;
    virtual std::string errorText(std::uint32_t error) const = 0;
};

// Runs work (which returns whether it ran as it should) in the chosen mode. A hidden
// process whose window cannot be made is reported and runs all the same, without hearing
// the session end; the result is then false.
[[nodiscard]] bool RunInProcessMode(ProcessModePort& port, const CHostReporter& reporter, bool bFaceless,
                                    const std::function<bool()>& work);

// The Windows 9x start entry: a value named after the service under RunServices.
class StartEntry {
public:
    virtual ~StartEntry() = default;
    virtual SystemResult set(const std::string& programPath) = 0;
    // Removing an entry that is not there succeeds.
    virtual SystemResult clear() = 0;
};
