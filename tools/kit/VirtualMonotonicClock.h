#pragma once
// A monotonic clock for tests and simulations that moves only when somebody waits on it: a wait
// jumps to its deadline at once, running on the way, in time order, the events scheduled for the
// moments it passes (a reply's arrival, a stop at a chosen moment). Nothing sleeps, so a
// simulated day costs only its work.
//
// Where a test needs a thread to stay in a wait while it acts (a break during a run), it freezes
// the clock: from then on time stands still, and a wait that would move it parks until the
// waiter's stop flag is set (for ever, for a wait without one).

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

#include "sntp/MonotonicClock.h"

class CVirtualMonotonicClock final : public MonotonicClock {
public:
    using Event = std::function<void()>;
    enum class WaitEnd { Ready, Stopped, Deadline };

    TimePoint now() const override;
    // Moves to deadline, running the events due by then; false when *stop was set first (time
    // then stands where it was seen). stop may be null.
    bool sleepUntil(TimePoint deadline, const std::atomic<bool>* stop) override;
    // As sleepUntil, but ends at the first moment ready() holds (looked at before time moves and
    // after each event). ready may be empty.
    WaitEnd runUntil(TimePoint deadline, const std::atomic<bool>* stop, const std::function<bool()>& ready);
    void advance(TimePoint::duration by);

    // Runs event on the waiting thread when time reaches when (with the next wait, when that
    // has passed already). Events of one moment run in the order they were scheduled.
    void at(TimePoint when, Event event);

    void freeze();
    // Blocks until count waits are parked by the freeze.
    void awaitParked(int count = 1);

private:
    // Under the lock: parks until stop is set.
    void park(std::unique_lock<std::mutex>& lock, const std::atomic<bool>* stop);

    mutable std::mutex m_mutex;
    std::condition_variable m_cvChanged;
    TimePoint m_now = TimePoint{} + std::chrono::hours(1);  // no moment is special
    std::multimap<TimePoint, Event> m_mapEvents;
    bool m_bFrozen = false;
    int m_nParked = 0;
};
