#pragma once
// Local time for tests: a settable "now" that the log, the scheduler and the controller read.
// Safe to use from the run thread and the test's thread at once.

#include "engine/LocalClock.h"

#include <mutex>

// A calendar record from its fields; the day of the week is left 0.
inline CalendarTime MakeLocalTime(int year, int month, int day, int hour, int minute, int second,
                                  int milliseconds = 0) {
    CalendarTime t;
    t.wYear = static_cast<std::uint16_t>(year);
    t.wMonth = static_cast<std::uint16_t>(month);
    t.wDay = static_cast<std::uint16_t>(day);
    t.wHour = static_cast<std::uint16_t>(hour);
    t.wMinute = static_cast<std::uint16_t>(minute);
    t.wSecond = static_cast<std::uint16_t>(second);
    t.wMilliseconds = static_cast<std::uint16_t>(milliseconds);
    return t;
}

class CFakeLocalClock : public LocalClock {
public:
    explicit CFakeLocalClock(const CalendarTime& now = MakeLocalTime(2005, 3, 3, 14, 7, 9)) : m_now(now) {}

    void setNow(const CalendarTime& now) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_now = now;
    }

    CalendarTime nowLocal() const override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_now;
    }

    // A new time zone, or daylight saving time beginning or ending: now and the bias together.
    void setNow(const CalendarTime& now, int biasMinutes) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_now = now;
        m_nBias = biasMinutes;
    }

    int utcBiasMinutes() const override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nBias;
    }

private:
    mutable std::mutex m_mutex;
    CalendarTime m_now;
    int m_nBias = 0;
};
