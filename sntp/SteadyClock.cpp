#include "sntp/SteadyClock.h"

#include <algorithm>
#include <thread>

namespace {

constexpr std::chrono::milliseconds kStopPollSlice{50};

bool stopped(const std::atomic<bool>* stop) {
    return stop && stop->load();
}

}  // namespace

MonotonicClock::TimePoint CSteadyClock::now() const {
    return std::chrono::steady_clock::now();
}

bool CSteadyClock::sleepUntil(TimePoint deadline, const std::atomic<bool>* stop) {
    for (TimePoint t = now(); t < deadline; t = now()) {
        if (stopped(stop)) {
            return false;
        }
        std::this_thread::sleep_until(std::min<TimePoint>(deadline, t + kStopPollSlice));
    }
    return !stopped(stop);
}
