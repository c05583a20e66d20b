#pragma once
// Local time for tests: a settable "now" that the log, the scheduler and the run read, and a
// record of every setting a run makes (a setting also becomes the new "now"). It can refuse
// settings as the platform does. Safe to use from the run thread and the test's thread at once.

#include "engine/LocalClock.h"

#include <cmath>
#include <mutex>
#include <vector>

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

    // From now on a setting that moves the clock by fromSeconds or more (0: every setting) fails
    // with error and changes nothing; error 0 accepts every setting again.
    void refuseSettings(unsigned long error, double fromSeconds = 0.0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nRefusal = error;
        m_dRefusedFrom = fromSeconds;
    }

    SystemResult setLocal(const CalendarTime& local) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nRefusal != 0 && std::fabs(secondsOf(local) - secondsOf(m_now)) >= m_dRefusedFrom) {
            return {false, m_nRefusal};
        }
        m_settings.push_back(local);
        m_now = local;
        return {true, 0};
    }

    std::vector<CalendarTime> settings() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_settings;
    }

private:
    static double secondsOf(const CalendarTime& t) {
        const double day = julianDayFromDate(t.wYear, t.wMonth, t.wDay);
        return ((day * 24.0 + t.wHour) * 60.0 + t.wMinute) * 60.0 + t.wSecond + t.wMilliseconds / 1000.0;
    }

    mutable std::mutex m_mutex;
    CalendarTime m_now;
    std::vector<CalendarTime> m_settings;
    unsigned long m_nRefusal = 0;
    double m_dRefusedFrom = 0.0;
};
