#pragma once
// Port to a clock that never jumps, for waiting between requests. Tests fake it so that a wait
// of seconds takes none.

#include <atomic>
#include <chrono>

class MonotonicClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~MonotonicClock() = default;
    virtual TimePoint now() const = 0;
    // Waits until deadline; false when *stop was set first. stop may be null.
    virtual bool sleepUntil(TimePoint deadline, const std::atomic<bool>* stop) = 0;
};
