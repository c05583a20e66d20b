#pragma once
// The decisions of the service framework, apart from the Win32 calls that carry them out:
// what a status report says, which event identifier a report gets, what a control request
// does, and which session or console events stop a service run as a process. The numbers
// are the platform's (winsvc.h, winuser.h, wincon.h, winerror.h, winnt.h), repeated here so the
// core needs no Windows header; ServiceRules_win.cpp checks each against those headers.

#include "service/HostTexts.h"

#include <cstdint>
#include <optional>
#include <string>

namespace service_state {
constexpr std::uint32_t kStopped = 1;
constexpr std::uint32_t kStartPending = 2;
constexpr std::uint32_t kStopPending = 3;
constexpr std::uint32_t kRunning = 4;
constexpr std::uint32_t kContinuePending = 5;
constexpr std::uint32_t kPausePending = 6;
}  // namespace service_state

// Start types of a service.
namespace service_start {
constexpr std::uint32_t kAuto = 2;
constexpr std::uint32_t kDemand = 3;
constexpr std::uint32_t kDisabled = 4;
}  // namespace service_start

constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;

// Controls the service accepts once started: stop, and the power events (a wake from sleep
// starts a run).
constexpr std::uint32_t kAcceptStop = 1;
constexpr std::uint32_t kAcceptPowerEvent = 0x40;
constexpr std::uint32_t kErrorServiceSpecificError = 1066;

// Wait hints of the status reports, in milliseconds.
constexpr std::uint32_t kDefaultWaitHint = 3000;
constexpr std::uint32_t kStopWaitHint = 11000;

// The fields of one SERVICE_STATUS report (the service type is fixed by the caller).
struct StatusReport {
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

// Nothing is accepted while starting; running and stopped carry checkpoint 0, every other
// state the next value of checkpointCounter; a service-specific exit code turns the Win32
// exit code into ERROR_SERVICE_SPECIFIC_ERROR.
StatusReport MakeStatusReport(std::uint32_t state, std::uint32_t waitHint, std::uint32_t specificExitCode,
                              std::uint32_t acceptedControls, std::uint32_t& checkpointCounter);

// Event types of the event log.
namespace event_type {
constexpr std::uint16_t kError = 1;
constexpr std::uint16_t kWarning = 2;
constexpr std::uint16_t kInformation = 4;
}  // namespace event_type

// Asks ChooseEventId to pick the identifier from the event type.
constexpr std::int32_t kEventIdFromType = -1;

// The message table's identifiers: each shows its one insertion string unchanged.
constexpr std::uint32_t kEventIdSuccess = 0x00000003;
constexpr std::uint32_t kEventIdInformation = 0x40000000;
constexpr std::uint32_t kEventIdWarning = 0x80000001;
constexpr std::uint32_t kEventIdError = 0xC0000002;
// A warning of its own: the clock was set by another program.
constexpr std::uint32_t kEventIdClockChanged = 0x80000100;
// The console channel's name, taken by another program and free again: the pipe's name their
// one string.
constexpr std::uint32_t kEventIdChannelNameHeld = 0x80000208;
constexpr std::uint32_t kEventIdChannelNameFree = 0x40000209;

std::uint32_t ChooseEventId(std::uint16_t type, std::int32_t eventId);

// What the service learns about the console channel's pipe name.
enum class ChannelNameNews {
    HeldByAnother,  // another program made the pipe first: consoles in other sessions cannot
                    // reach the service
    FreeAgain,      // the service has made the pipe after all
};

// How the log and the event log hear a piece of that news; the pipe's name is the value of both.
struct ChannelNameRule {
    ChannelNameNews news;
    HostText text;
    std::uint16_t eventType;
    std::uint32_t eventId;
};
const ChannelNameRule& ChannelNameRuleOf(ChannelNameNews news);

// The control requests of the service control manager.
namespace service_control {
enum : std::uint32_t {
    kStop = 1,
    kPause = 2,
    kContinue = 3,
    kInterrogate = 4,
    kShutdown = 5,
    kPowerEvent = 13
};
}  // namespace service_control

// What a control request from the service control manager does.
enum class ControlOperation { None, Stop, Pause, Continue, Interrogate, Shutdown, PowerEvent };

struct ControlRule {
    std::uint32_t control;
    // The state written into the status record (not reported) before the operation; 0 for
    // none.
    std::uint32_t pendingState;
    ControlOperation operation;
};

const ControlRule& ControlRuleFor(std::uint32_t control);

// The power events (of a power-event control, or of WM_POWERBROADCAST) that say the PC woke up:
// PBT_APMRESUMEAUTOMATIC always, PBT_APMRESUMESUSPEND besides when a user is there.
namespace power_event {
constexpr std::uint32_t kResumeSuspend = 7;
constexpr std::uint32_t kResumeAutomatic = 0x12;
}  // namespace power_event

bool IsWakeEvent(std::uint32_t powerEvent);

// A service run as a hidden process ends with the session: a shutdown (end-session message
// with lParam 0, or the quit message) stops it, a log-off (lParam not 0) does not.
enum class SessionResponse { NotSessionMessage, DefaultProcessing, StopService };

namespace session_message {
constexpr std::uint32_t kQueryEndSession = 17;
constexpr std::uint32_t kQuit = 18;
constexpr std::uint32_t kEndSession = 22;
}  // namespace session_message

SessionResponse RespondToSessionMessage(std::uint32_t message, std::intptr_t lParam);

namespace console_event {
constexpr std::uint32_t kCtrlC = 0;
constexpr std::uint32_t kCtrlBreak = 1;
}  // namespace console_event

// Ctrl+C and Ctrl+Break stop a service run with -d; other console events do not.
bool ConsoleEventStopsService(std::uint32_t eventType);

// Service types of an install: its own process, interactive when the platform allows it.
constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;
constexpr std::uint32_t kServiceInteractiveProcess = 0x100;

// The platform refuses an interactive service for any account but the local system account
// (no account, or "LocalSystem" / ".\LocalSystem" in any case): the type of such an install
// leaves the interactive bit out.
std::uint32_t ServiceTypeForAccount(std::uint32_t serviceType, const std::optional<std::string>& account);
