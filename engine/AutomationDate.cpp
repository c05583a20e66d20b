#include "engine/AutomationDate.h"

#include <cmath>
#include <limits>

namespace {

constexpr std::int32_t kEpochJulianDay = 2415019;  // 30 December 1899
constexpr std::int64_t kMsPerDay = 86400000;
constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;
constexpr double kFirstDay = -657434.0;  // 1 January 100
constexpr double kEndDay = 2958466.0;    // 1 January 10000

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool isValidCalendar(const CalendarTime& t) {
    return t.wYear >= kFirstYear && t.wYear <= kLastYear && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
           t.wDay <= daysInMonth(t.wYear, t.wMonth) && t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 &&
           t.wMilliseconds < 1000;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The time of day runs forward from the whole day on both sides of the epoch. days must be
// finite and within a few million.
std::int64_t roundedMilliseconds(double days) {
    const double whole = std::trunc(days);
    const std::int64_t msOfDay = std::llround(std::fabs(days - whole) * kMsPerDay);
    return static_cast<std::int64_t>(whole) * kMsPerDay + msOfDay;
}

}  // namespace

// A date that rounds to the first millisecond of the year 10000 has no calendar form either.
AutomationDate::AutomationDate(double days, std::int32_t status) : m_days(days), m_status(Status::Valid) {
    const bool inRange = std::isfinite(days) && days >= kFirstDay && days < kEndDay &&
                         roundedMilliseconds(days) < static_cast<std::int64_t>(kEndDay) * kMsPerDay;
    if (status != static_cast<std::int32_t>(Status::Valid) || !inRange) {
        m_status = Status::Invalid;
    }
}

AutomationDate AutomationDate::fromCalendar(const CalendarTime& local) {
    if (!isValidCalendar(local)) {
        return AutomationDate(0.0, static_cast<std::int32_t>(Status::Invalid));
    }
    const std::int64_t day = julianDayFromDate(local.wYear, local.wMonth, local.wDay) - kEpochJulianDay;
    const std::int64_t msOfDay =
        ((local.wHour * 60 + local.wMinute) * 60 + local.wSecond) * std::int64_t{1000} + local.wMilliseconds;
    return fromLinearMilliseconds(day * kMsPerDay + msOfDay);
}

std::int64_t AutomationDate::linearMilliseconds() const {
    if (!isValid()) {
        return 0;  // the range check of the constructor keeps the conversion below defined
    }
    return roundedMilliseconds(m_days);
}

AutomationDate AutomationDate::fromLinearMilliseconds(std::int64_t ms) {
    const std::int64_t day = floorDiv(ms, kMsPerDay);
    const double fraction = static_cast<double>(ms - day * kMsPerDay) / kMsPerDay;
    const double days = day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
    return AutomationDate(days, static_cast<std::int32_t>(Status::Valid));
}

bool AutomationDate::toCalendar(CalendarTime& out) const {
    if (!isValid()) {
        return false;
    }
    const std::int64_t ms = linearMilliseconds();
    const std::int64_t day = floorDiv(ms, kMsPerDay);
    std::int64_t msOfDay = ms - day * kMsPerDay;
    const std::int32_t julianDay = static_cast<std::int32_t>(day + kEpochJulianDay);
    const CalendarDate date = dateFromJulianDay(julianDay);
    if (date.year < kFirstYear || date.year > kLastYear) {
        return false;
    }
    CalendarTime t;
    t.wYear = static_cast<std::uint16_t>(date.year);
    t.wMonth = static_cast<std::uint16_t>(date.month);
    t.wDay = static_cast<std::uint16_t>(date.day);
    t.wDayOfWeek = static_cast<std::uint16_t>((julianDay + 1) % 7);  // Julian day 0 was a Monday
    t.wMilliseconds = static_cast<std::uint16_t>(msOfDay % 1000);
    msOfDay /= 1000;
    t.wSecond = static_cast<std::uint16_t>(msOfDay % 60);
    msOfDay /= 60;
    t.wMinute = static_cast<std::uint16_t>(msOfDay % 60);
    t.wHour = static_cast<std::uint16_t>(msOfDay / 60);
    out = t;
    return true;
}

AutomationDate AutomationDate::plusSeconds(std::int32_t seconds) const {
    if (!isValid()) {
        return *this;
    }
    return fromLinearMilliseconds(linearMilliseconds() + std::int64_t{seconds} * 1000);
}

AutomationSpan AutomationSpan::between(const AutomationDate& later, const AutomationDate& earlier) {
    return AutomationSpan(later.linearMilliseconds() - earlier.linearMilliseconds());
}

std::int32_t AutomationSpan::wholeUnits(std::int64_t unitMs) const {
    const std::int64_t half = m_nMilliseconds < 0 ? -500 : 500;
    const std::int64_t units = (m_nMilliseconds + half) / unitMs;  // truncates toward zero
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(units > kMax ? kMax : units < kMin ? kMin : units);
}
