// The event identifiers the service framework reports with are those of the message table
// (HoraluxEvents.mc): checked against the header windmc makes from it, so that a changed
// table fails the build instead of leaving reports without their text.

#include <windows.h>

#include "HoraluxEvents.h"
#include "service/ServiceEvents.h"
#include "service/ServiceRules.h"

static_assert(kEventIdSuccess == HORALUX_EVENT_SUCCESS);
static_assert(kEventIdInformation == HORALUX_EVENT_INFORMATION);
static_assert(kEventIdWarning == HORALUX_EVENT_WARNING);
static_assert(kEventIdError == HORALUX_EVENT_ERROR);
static_assert(kEventIdClockChanged == HORALUX_EVENT_CLOCK_CHANGED);
static_assert(kEventIdChannelNameHeld == HORALUX_EVENT_CHANNEL_NAME_HELD);
static_assert(kEventIdChannelNameFree == HORALUX_EVENT_CHANNEL_NAME_FREE);
static_assert(kEventIdSynchronized == HORALUX_EVENT_SYNCHRONIZED);
static_assert(kEventIdSyncFailed == HORALUX_EVENT_SYNC_FAILED);
static_assert(kEventIdBackoffBegun == HORALUX_EVENT_BACKOFF_BEGUN);
static_assert(kEventIdRivalRefused == HORALUX_EVENT_RIVAL_REFUSED);
static_assert(kEventIdStepped == HORALUX_EVENT_STEPPED);
static_assert(kEventIdStepsOnly == HORALUX_EVENT_STEPS_ONLY);
static_assert(kEventIdDisciplineBack == HORALUX_EVENT_DISCIPLINE_BACK);
static_assert(kEventIdLogUnwritten == HORALUX_EVENT_LOG_UNWRITTEN);
