#include "service/HostTexts.h"

#include "common/LogResult.h"

#include <cstring>
#include <utility>

namespace {

constexpr HostTextEntry kHostTexts[] = {
    {HostText::InstallPathFailed, "Unable to install %s - %s\n", TextTarget::Log},
    {HostText::ManagerFailed, "OpenSCManager failed - %s", TextTarget::Log},
    {HostText::Installed, "%s installed.", TextTarget::Log},
    {HostText::CreateFailed, "CreateService failed - %s", TextTarget::Log},
    {HostText::RegisterSourceFailed, "RegisterLogSource failed - %s", TextTarget::Log},
    {HostText::OpenServiceFailed, "Open Service failed - %s", TextTarget::Log},
    {HostText::RemoveStopped, "The Service is stopped.", TextTarget::Log},
    {HostText::RemoveFailedToStop, "%s failed to stop.", TextTarget::Log},
    {HostText::Removed, "The Service is removed.", TextTarget::Log},
    {HostText::DeleteFailed, "Delete Service failed - %s", TextTarget::Log},
    {HostText::UnregisterSourceFailed, "UnregisterLogSource failed - %s", TextTarget::Log},
    {HostText::StartNotRunning, "The Service failed to start.", TextTarget::Log},
    {HostText::ManagerFailedOut, "OpenSCManager failed - %s\n", TextTarget::StandardOutput},
    {HostText::OpenServiceFailedOut, "OpenService failed - %s\n", TextTarget::StandardOutput},
    {HostText::StartFailedOut, "\n%s failed to start: %s\n", TextTarget::StandardOutput},
    {HostText::StopRefusedOut, "ControlService failed - %s\n", TextTarget::StandardOutput},
    {HostText::Stopping, "Stopping %s.", TextTarget::StandardOutput},
    {HostText::StoppingDot, ".", TextTarget::StandardOutput},
    {HostText::StoppedOut, "\n%s is stopped.\n", TextTarget::StandardOutput},
    {HostText::FailedToStopOut, "\n%s failed to stop.\n", TextTarget::StandardOutput},
    {HostText::RegisterClassFailed, "RegisterClass failed - %s", TextTarget::Log},
    {HostText::CreateWindowFailed, "CreateWindow failed - %s", TextTarget::Log},
    {HostText::SettingsWritten, "Settings written: %s", TextTarget::Log},
    {HostText::SettingsRefused, "Settings not written: %s", TextTarget::Log},
    {HostText::SettingsRefusedOut, "Settings not written: %s\n", TextTarget::StandardOutput},
    {HostText::ChannelNameHeld,
     "Another program holds the console channel %s: consoles in other sessions cannot reach the service. "
     "Trying again every minute.",
     TextTarget::Log},
    {HostText::ChannelNameFree, "The console channel %s is open: the other program has let go of it.",
     TextTarget::Log},
    // One line a switch; without one the program must be started by the service manager.
    {HostText::Usage,
     "Usage: HoraluxServ [switch ...]\n"
     "  (none)              run as the service, as the service manager starts it\n"
     "  -i                  install the service (under the local system account)\n"
     "  -l account          with -i: the account the service runs under\n"
     "  -p password         with -i: that account's password\n"
     "  -u                  remove the service\n"
     "  -s                  start the installed service\n"
     "  -e                  stop the installed service\n"
     "  -d                  run the service's work as a process in this session\n"
     "  -f                  run the service's work as a hidden process\n"
     "  -q [server[:port]]  ask a time server (the starting server when none is given); changes nothing\n"
     "  -n samples          with -q: how many samples, 1 to 100 (4 by default)\n"
     "  -status             how the service keeps the clock; exit code 0 synchronised, 1 no answer, 2 not\n"
     "  -w keep|disable     the Windows Time service: leave it, or stop and disable it\n"
     "  -w restore          give the Windows Time service back the start it had before -w disable\n"
     "  -c NAME=VALUE ...   write settings: SERVERS, STARTINGSERVER, MODE, OFFSET, ATTEMPTS, ONLYSUCCESSLOG, "
     "LOGLENGTH\n",
     TextTarget::StandardOutput},
    {HostText::WindowsTimeAbsent, "The Windows Time service is not installed.", TextTarget::Log},
    {HostText::WindowsTimeDisabled, "The Windows Time service is stopped and disabled.", TextTarget::Log},
    {HostText::WindowsTimeNotDisabled, "The Windows Time service is not disabled - %s", TextTarget::Log},
    {HostText::WindowsTimeRestored, "The Windows Time service starts as it did before Horalux.",
     TextTarget::Log},
    {HostText::WindowsTimeNotRestored, "The Windows Time service's start is not restored - %s",
     TextTarget::Log},
    {HostText::WindowsTimeNotStarted, "The Windows Time service failed to start - %s", TextTarget::Log},
    {HostText::WindowsTimeRefused, "%s", TextTarget::Log},
    {HostText::WindowsTimeRefusedOut, "%s\n", TextTarget::StandardOutput},
};

std::string WithoutLineBreaks(const std::string& text) {
    const std::size_t begin = text.find_first_not_of("\r\n");
    if (begin == std::string::npos) {
        return std::string();
    }
    return text.substr(begin, text.find_last_not_of("\r\n") - begin + 1);
}

}  // namespace

const HostTextEntry& HostTextFor(HostText id) {
    for (const HostTextEntry& entry : kHostTexts) {
        if (entry.id == id) {
            return entry;
        }
    }
    return kHostTexts[0];
}

std::string FillPattern(const char* pattern, std::initializer_list<std::string> args) {
    std::string text;
    auto arg = args.begin();
    for (const char* cursor = pattern; *cursor != '\0';) {
        if (std::strncmp(cursor, "%s", 2) == 0 && arg != args.end()) {
            text += *arg++;
            cursor += 2;
        } else {
            text += *cursor++;
        }
    }
    return text;
}

CHostReporter::CHostReporter(LogSink& log, Output output) : m_log(log), m_output(std::move(output)) {}

void CHostReporter::report(HostText id, std::initializer_list<std::string> args) const {
    const HostTextEntry& entry = HostTextFor(id);
    const std::string text = FillPattern(entry.pattern, args);
    if (entry.target == TextTarget::Log) {
        m_log.write(WithoutLineBreaks(text), LOG_NOTICE, 0.0);
    } else {
        m_output(text);
    }
}
