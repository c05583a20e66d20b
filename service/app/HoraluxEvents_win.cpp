// The event identifiers the service framework reports with are those of the message table
// (HoraluxEvents.mc): checked against the header windmc makes from it, so that a changed
// table fails the build instead of leaving reports without their text.

#include <windows.h>

#include "HoraluxEvents.h"
#include "service/ServiceRules.h"

static_assert(kEventIdSuccess == HORALUX_EVENT_SUCCESS);
static_assert(kEventIdInformation == HORALUX_EVENT_INFORMATION);
static_assert(kEventIdWarning == HORALUX_EVENT_WARNING);
static_assert(kEventIdError == HORALUX_EVENT_ERROR);
static_assert(kEventIdClockChanged == HORALUX_EVENT_CLOCK_CHANGED);
