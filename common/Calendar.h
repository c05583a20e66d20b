#pragma once
// The calendar record both the time protocol client (UTC) and the engine (local time) speak,
// and the Gregorian day-number rules behind every date conversion.

#include <cstdint>

// Mirrors the field order of the platform's SYSTEMTIME so the Win32 shell can copy it over.
struct CalendarTime {
    std::uint16_t wYear = 0;
    std::uint16_t wMonth = 0;
    std::uint16_t wDayOfWeek = 0;  // 0 = Sunday
    std::uint16_t wDay = 0;
    std::uint16_t wHour = 0;
    std::uint16_t wMinute = 0;
    std::uint16_t wSecond = 0;
    std::uint16_t wMilliseconds = 0;

    friend bool operator==(const CalendarTime& a, const CalendarTime& b);
    friend bool operator!=(const CalendarTime& a, const CalendarTime& b) { return !(a == b); }
};

struct CalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// CACM Algorithm 199: a date to its Julian Day Number and back.
std::int32_t julianDayFromDate(std::int32_t year, std::int32_t month, std::int32_t day);
CalendarDate dateFromJulianDay(std::int32_t julianDay);
