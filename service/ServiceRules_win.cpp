// The platform's numbers that ServiceRules.h repeats for the portable core, checked against
// the platform's own headers: a wrong copy fails the Windows build.

#include <windows.h>

#include "service/ServiceRules.h"

static_assert(service_state::kStopped == SERVICE_STOPPED);
static_assert(service_state::kStartPending == SERVICE_START_PENDING);
static_assert(service_state::kStopPending == SERVICE_STOP_PENDING);
static_assert(service_state::kRunning == SERVICE_RUNNING);
static_assert(service_state::kContinuePending == SERVICE_CONTINUE_PENDING);
static_assert(service_state::kPausePending == SERVICE_PAUSE_PENDING);

static_assert(service_start::kAuto == SERVICE_AUTO_START);
static_assert(service_start::kDemand == SERVICE_DEMAND_START);
static_assert(service_start::kDisabled == SERVICE_DISABLED);
static_assert(kErrorServiceAlreadyRunning == ERROR_SERVICE_ALREADY_RUNNING);
static_assert(kErrorServiceDoesNotExist == ERROR_SERVICE_DOES_NOT_EXIST);

static_assert(kAcceptStop == SERVICE_ACCEPT_STOP);
static_assert(kAcceptPowerEvent == SERVICE_ACCEPT_POWEREVENT);
static_assert(kErrorServiceSpecificError == ERROR_SERVICE_SPECIFIC_ERROR);

static_assert(event_type::kError == EVENTLOG_ERROR_TYPE);
static_assert(event_type::kWarning == EVENTLOG_WARNING_TYPE);
static_assert(event_type::kInformation == EVENTLOG_INFORMATION_TYPE);

static_assert(service_control::kStop == SERVICE_CONTROL_STOP);
static_assert(service_control::kPause == SERVICE_CONTROL_PAUSE);
static_assert(service_control::kContinue == SERVICE_CONTROL_CONTINUE);
static_assert(service_control::kInterrogate == SERVICE_CONTROL_INTERROGATE);
static_assert(service_control::kShutdown == SERVICE_CONTROL_SHUTDOWN);
static_assert(service_control::kPowerEvent == SERVICE_CONTROL_POWEREVENT);

static_assert(power_event::kResumeSuspend == PBT_APMRESUMESUSPEND);
static_assert(power_event::kResumeAutomatic == PBT_APMRESUMEAUTOMATIC);

static_assert(session_message::kQueryEndSession == WM_QUERYENDSESSION);
static_assert(session_message::kQuit == WM_QUIT);
static_assert(session_message::kEndSession == WM_ENDSESSION);

static_assert(console_event::kCtrlC == CTRL_C_EVENT);
static_assert(console_event::kCtrlBreak == CTRL_BREAK_EVENT);
