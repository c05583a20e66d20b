#pragma once
// The texts of the command-line actions (install, remove, start, stop, the settings, the Windows
// Time service) and of the process modes, and where each goes: the log file as a notice, so the
// console is not told, or the standard output (HostPlatform_win.h says where that leads).

#include "common/LogSink.h"

#include <functional>
#include <initializer_list>
#include <string>

enum class HostText {
    InstallPathFailed,
    ManagerFailed,
    Installed,
    CreateFailed,
    RegisterSourceFailed,
    OpenServiceFailed,
    RemoveStopped,
    RemoveFailedToStop,
    Removed,
    DeleteFailed,
    UnregisterSourceFailed,
    StartNotRunning,
    ManagerFailedOut,
    OpenServiceFailedOut,
    StartFailedOut,
    StopRefusedOut,
    Stopping,
    StoppingDot,
    StoppedOut,
    FailedToStopOut,
    RegisterClassFailed,
    CreateWindowFailed,
    SettingsWritten,
    SettingsRefused,
    SettingsRefusedOut,
    ChannelNameHeld,
    ChannelNameFree,
    Usage,
    WindowsTimeAbsent,
    WindowsTimeDisabled,
    WindowsTimeNotDisabled,
    WindowsTimeRestored,
    WindowsTimeNotRestored,
    WindowsTimeNotStarted,
    WindowsTimeRefused,
    WindowsTimeRefusedOut,
};
constexpr HostText kLastHostText = HostText::WindowsTimeRefusedOut;  // moves with the list's end

enum class TextTarget { Log, StandardOutput };

struct HostTextEntry {
    HostText id;
    const char* pattern;  // "%s" marks each insertion, in order
    TextTarget target;
};

const HostTextEntry& HostTextFor(HostText id);

// pattern with each "%s" replaced by the next of args; a "%s" without an argument stays.
std::string FillPattern(const char* pattern, std::initializer_list<std::string> args);

// Texts of the service framework's own event-log reports.
constexpr const char* kEventServiceInstalled = "Service installed";
constexpr const char* kEventSetStatusFailed = "SetServiceStatus() failed";

class CHostReporter {
public:
    using Output = std::function<void(const std::string&)>;

    // log and output must outlive the reporter.
    CHostReporter(LogSink& log, Output output);

    // Sends the text to its target. A log line holds no line break, so those at the ends
    // of a text go when it is logged.
    void report(HostText id, std::initializer_list<std::string> args = {}) const;

private:
    LogSink& m_log;
    Output m_output;
};
