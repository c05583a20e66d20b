#pragma once
// Port to the machine's local time, as the schedule and the log's time stamps see it. The
// Win32 adapter reads the local time; tests use a fake.

#include "common/Calendar.h"

class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual CalendarTime nowLocal() const = 0;
};
