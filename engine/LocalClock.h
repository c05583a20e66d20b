#pragma once
// Port to the machine's local time, as the run's offset shift and the log's time stamps
// see it. The Win32 adapter reads and sets the local time; tests use a fake.

#include "common/Calendar.h"
#include "common/SystemResult.h"

class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual CalendarTime nowLocal() const = 0;
    // Sets the local time. A refusal carries the platform's error code and leaves the clock
    // as it was.
    virtual SystemResult setLocal(const CalendarTime& local) = 0;
};
