#include "service/ServiceRules.h"

#include "common/TextFormat.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr std::uint32_t kWmQueryEndSession = 17;
constexpr std::uint32_t kWmQuit = 18;
constexpr std::uint32_t kWmEndSession = 22;

constexpr std::uint32_t kCtrlCEvent = 0;
constexpr std::uint32_t kCtrlBreakEvent = 1;

constexpr ControlRule kControlRules[] = {
    {1, service_state::kStopPending, ControlOperation::Stop},
    {2, service_state::kPausePending, ControlOperation::Pause},
    {3, service_state::kContinuePending, ControlOperation::Continue},
    {4, 0, ControlOperation::Interrogate},
    {5, 0, ControlOperation::Shutdown},
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

SessionResponse RespondToSessionMessage(std::uint32_t message, std::intptr_t lParam) {
    if (message != kWmQueryEndSession && message != kWmEndSession && message != kWmQuit) {
        return SessionResponse::NotSessionMessage;
    }
    if (lParam != 0 && message != kWmQuit) {
        return SessionResponse::DefaultProcessing;
    }
    return SessionResponse::StopService;
}

bool ConsoleEventStopsService(std::uint32_t eventType) {
    return eventType == kCtrlCEvent || eventType == kCtrlBreakEvent;
}

std::uint32_t ServiceTypeForAccount(std::uint32_t serviceType, const std::optional<std::string>& account) {
    return IsLocalSystem(account) ? serviceType : serviceType & ~kServiceInteractiveProcess;
}
