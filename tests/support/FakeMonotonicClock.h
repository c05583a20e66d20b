#pragma once
// A monotonic clock that only moves when a test or a wait moves it, so spacing of seconds
// between requests costs no time. Records every wait.

#include <vector>

#include "sntp/MonotonicClock.h"

class CFakeMonotonicClock : public MonotonicClock {
public:
    TimePoint now() const override { return m_now; }

    bool sleepUntil(TimePoint deadline, const std::atomic<bool>* stop) override {
        if (stop && stop->load()) {
            return false;
        }
        m_vecWaits.push_back(deadline > m_now ? deadline - m_now : TimePoint::duration::zero());
        advanceTo(deadline);
        return true;
    }

    void advance(TimePoint::duration by) { m_now += by; }
    const std::vector<TimePoint::duration>& waits() const { return m_vecWaits; }

private:
    void advanceTo(TimePoint t) {
        if (t > m_now) {
            m_now = t;
        }
    }

    TimePoint m_now = TimePoint{} + std::chrono::hours(1);
    std::vector<TimePoint::duration> m_vecWaits;
};
