#pragma once
// The real monotonic clock; a wait looks at the stop flag at least every 50 ms.

#include "sntp/MonotonicClock.h"

class CSteadyClock : public MonotonicClock {
public:
    TimePoint now() const override;
    bool sleepUntil(TimePoint deadline, const std::atomic<bool>* stop) override;
};
