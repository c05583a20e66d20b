#include "tools/kit/VirtualMonotonicClock.h"

#include <algorithm>

namespace {

// How often a parked wait looks at its stop flag, which nobody signals.
constexpr std::chrono::milliseconds kStopPoll{1};

bool stopped(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load();
}

}  // namespace

MonotonicClock::TimePoint CVirtualMonotonicClock::now() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_now;
}

bool CVirtualMonotonicClock::sleepUntil(TimePoint deadline, const std::atomic<bool>* stop) {
    return runUntil(deadline, stop, {}) != WaitEnd::Stopped;
}

CVirtualMonotonicClock::WaitEnd CVirtualMonotonicClock::runUntil(TimePoint deadline,
                                                                 const std::atomic<bool>* stop,
                                                                 const std::function<bool()>& ready) {
    for (;;) {
        if (stopped(stop)) {
            return WaitEnd::Stopped;
        }
        if (ready && ready()) {
            return WaitEnd::Ready;
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        const bool bEventDue = !m_mapEvents.empty() && m_mapEvents.begin()->first <= deadline;
        const TimePoint target = bEventDue ? m_mapEvents.begin()->first : deadline;
        if (m_bFrozen && target > m_now) {
            park(lock, stop);
            return WaitEnd::Stopped;
        }
        m_now = std::max(m_now, target);
        if (!bEventDue) {
            return WaitEnd::Deadline;
        }
        const Event event = std::move(m_mapEvents.begin()->second);
        m_mapEvents.erase(m_mapEvents.begin());
        lock.unlock();
        event();
    }
}

void CVirtualMonotonicClock::advance(TimePoint::duration by) {
    static_cast<void>(sleepUntil(now() + by, nullptr));
}

void CVirtualMonotonicClock::at(TimePoint when, Event event) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_mapEvents.emplace(when, std::move(event));
}

void CVirtualMonotonicClock::freeze() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_bFrozen = true;
}

void CVirtualMonotonicClock::awaitParked(int count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cvChanged.wait(lock, [&] { return m_nParked >= count; });
}

void CVirtualMonotonicClock::park(std::unique_lock<std::mutex>& lock, const std::atomic<bool>* stop) {
    ++m_nParked;
    m_cvChanged.notify_all();
    while (!stopped(stop)) {
        m_cvChanged.wait_for(lock, kStopPoll);
    }
    --m_nParked;
}
