#pragma once
// Local date-time as the platform's automation date: days since 30 December 1899 00:00 with
// the time of day as the fraction. Before that day the whole part counts back while the
// fraction still moves forward (-1.25 is 29 December 1899 06:00), so arithmetic goes through
// a linear count of milliseconds, never through the raw double.

#include "common/Calendar.h"

#include <cstdint>

class AutomationDate {
public:
    // 0 = valid, 1 = invalid: the values the record file stores.
    enum class Status : std::int32_t { Valid = 0, Invalid = 1 };

    // 30 December 1899 00:00, valid: earlier than any real time.
    AutomationDate() = default;
    // A stored value; a status other than Valid, or days outside the years 100 to 9999 (or
    // not finite), gives an invalid date.
    AutomationDate(double days, std::int32_t status);

    // Invalid when a field is out of range or the year lies outside 100 to 9999. The day of
    // the week is ignored; milliseconds count.
    static AutomationDate fromCalendar(const CalendarTime& local);

    // Fills out to the nearest millisecond, day of the week included; false (out untouched)
    // for an invalid date.
    bool toCalendar(CalendarTime& out) const;

    // Moved by seconds; invalid when this is, or when the result leaves the years 100 to 9999.
    AutomationDate plusSeconds(std::int32_t seconds) const;

    double days() const { return m_days; }
    Status status() const { return m_status; }
    bool isValid() const { return m_status == Status::Valid; }

private:
    friend class AutomationSpan;

    // Milliseconds since 30 December 1899 00:00, negative before it; 0 for an invalid date.
    std::int64_t linearMilliseconds() const;

    static AutomationDate fromLinearMilliseconds(std::int64_t ms);

    double m_days = 0.0;
    Status m_status = Status::Valid;
};

// The difference between two valid dates (an invalid one counts as the epoch), turned into whole units the
// usual way: half a second is added (subtracted when negative) and the result truncated toward zero. A count
// beyond the 32-bit range saturates instead of wrapping.
class AutomationSpan {
public:
    static AutomationSpan between(const AutomationDate& later, const AutomationDate& earlier);

    std::int32_t wholeMinutes() const { return wholeUnits(60 * 1000); }
    std::int32_t wholeSeconds() const { return wholeUnits(1000); }

private:
    explicit AutomationSpan(std::int64_t ms) : m_nMilliseconds(ms) {}
    std::int32_t wholeUnits(std::int64_t unitMs) const;

    std::int64_t m_nMilliseconds;
};
