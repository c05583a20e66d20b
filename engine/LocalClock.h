#pragma once
// Port to the machine's local time, as the run's offset shift and the log's time stamps
// see it. The Win32 adapter reads and sets the local time; tests use a fake.

#include "common/Calendar.h"

class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual CalendarTime nowLocal() const = 0;
    // Sets the local time; false when the platform refused.
    virtual bool setLocal(const CalendarTime& local) = 0;
};
