#pragma once
// Port to the machine's local time, as the schedule and the log's time stamps see it, and to
// how far it is from UTC. The Win32 adapter reads the local time and the time zone; tests use
// a fake.

#include "common/Calendar.h"

class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual CalendarTime nowLocal() const = 0;
    // How far local time is from UTC now (local minus UTC), in minutes: the time zone's bias
    // with daylight saving time when it is in force.
    virtual int utcBiasMinutes() const = 0;
};
