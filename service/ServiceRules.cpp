#include "service/ServiceRules.h"

#include "common/TextFormat.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr ControlRule kControlRules[] = {
    {service_control::kStop, service_state::kStopPending, ControlOperation::Stop},
    {service_control::kPause, service_state::kPausePending, ControlOperation::Pause},
    {service_control::kContinue, service_state::kContinuePending, ControlOperation::Continue},
    {service_control::kInterrogate, 0, ControlOperation::Interrogate},
    {service_control::kShutdown, 0, ControlOperation::Shutdown},
    {service_control::kPowerEvent, 0, ControlOperation::PowerEvent},
};
constexpr ControlRule kIgnoredControl = {0, 0, ControlOperation::None};

// The names CreateService takes for the local system account besides none at all.
constexpr const char* kLocalSystemNames[] = {"", "LocalSystem", ".\\LocalSystem"};

bool IsLocalSystem(const std::optional<std::string>& account) {
    if (!account) {
        return true;
    }
    return std::any_of(std::begin(kLocalSystemNames), std::end(kLocalSystemNames),
                       [&](const char* name) { return EqualsIgnoringCase(name, *account); });
}

}  // namespace

StatusReport MakeStatusReport(std::uint32_t state, std::uint32_t waitHint, std::uint32_t specificExitCode,
                              std::uint32_t acceptedControls, std::uint32_t& checkpointCounter) {
    StatusReport report;
    report.currentState = state;
    report.controlsAccepted = state == service_state::kStartPending ? 0 : acceptedControls;
    report.serviceSpecificExitCode = specificExitCode;
    report.win32ExitCode = specificExitCode != 0 ? kErrorServiceSpecificError : 0;
    report.waitHint = waitHint;
    const bool bSettled = state == service_state::kRunning || state == service_state::kStopped;
    report.checkPoint = bSettled ? 0 : ++checkpointCounter;
    return report;
}

std::uint32_t ChooseEventId(std::uint16_t type, std::int32_t eventId) {
    if (eventId != kEventIdFromType) {
        return static_cast<std::uint32_t>(eventId);
    }
    if (type == event_type::kError) {
        return kEventIdError;
    }
    if (type == event_type::kWarning) {
        return kEventIdWarning;
    }
    return kEventIdInformation;
}

const ControlRule& ControlRuleFor(std::uint32_t control) {
    for (const ControlRule& rule : kControlRules) {
        if (rule.control == control) {
            return rule;
        }
    }
    return kIgnoredControl;
}

bool IsWakeEvent(std::uint32_t powerEvent) {
    return powerEvent == power_event::kResumeAutomatic || powerEvent == power_event::kResumeSuspend;
}

SessionResponse RespondToSessionMessage(std::uint32_t message, std::intptr_t lParam) {
    using namespace session_message;
    if (message != kQueryEndSession && message != kEndSession && message != kQuit) {
        return SessionResponse::NotSessionMessage;
    }
    if (lParam != 0 && message != kQuit) {
        return SessionResponse::DefaultProcessing;
    }
    return SessionResponse::StopService;
}

bool ConsoleEventStopsService(std::uint32_t eventType) {
    return eventType == console_event::kCtrlC || eventType == console_event::kCtrlBreak;
}

std::uint32_t ServiceTypeForAccount(std::uint32_t serviceType, const std::optional<std::string>& account) {
    return IsLocalSystem(account) ? serviceType : serviceType & ~kServiceInteractiveProcess;
}

namespace {

constexpr ChannelNameRule kChannelNameRules[] = {
    {ChannelNameNews::HeldByAnother, HostText::ChannelNameHeld, event_type::kWarning,
     kEventIdChannelNameHeld},
    {ChannelNameNews::FreeAgain, HostText::ChannelNameFree, event_type::kInformation,
     kEventIdChannelNameFree},
};

}  // namespace

const ChannelNameRule& ChannelNameRuleOf(ChannelNameNews news) {
    return *std::find_if(std::begin(kChannelNameRules), std::end(kChannelNameRules),
                         [news](const ChannelNameRule& entry) { return entry.news == news; });
}
