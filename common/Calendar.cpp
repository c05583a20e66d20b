#include "common/Calendar.h"

bool operator==(const CalendarTime& a, const CalendarTime& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek && a.wDay == b.wDay &&
           a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond &&
           a.wMilliseconds == b.wMilliseconds;
}

// CACM Algorithm 199. The rules are signed 32-bit arithmetic with truncating
// division, carried out in 64 bits so that absurd inputs cannot overflow; for every date whose
// day number fits in 32 bits the result is the same.
std::int32_t julianDayFromDate(std::int32_t year, std::int32_t month, std::int32_t day) {
    std::int64_t y = year;
    std::int64_t m = month;
    if (m > 2) {
        m -= 3;
    } else {
        m += 9;
        y -= 1;
    }
    const std::int64_t c = y / 100;
    const std::int64_t r = y - 100 * c;
    return static_cast<std::int32_t>((146097 * c) / 4 + (1461 * r) / 4 + (153 * m + 2) / 5 + day + 1721119);
}

CalendarDate dateFromJulianDay(std::int32_t julianDay) {
    const std::int64_t t = 4 * std::int64_t{julianDay} - 6884476;
    const std::int64_t c = (t - 1) / 146097;
    const std::int64_t q = (t - 1 - 146097 * c) / 4;
    const std::int64_t u = 4 * q;
    const std::int64_t yy = (u + 3) / 1461;
    const std::int64_t v = 5 * ((u + 7 - 1461 * yy) / 4);
    const std::int64_t mm = (v - 3) / 153;
    CalendarDate date;
    date.day = static_cast<int>((v + 2 - 153 * mm) / 5);
    if (mm < 10) {
        date.month = static_cast<int>(mm + 3);
        date.year = static_cast<int>(100 * c + yy);
    } else {
        date.month = static_cast<int>(mm - 9);
        date.year = static_cast<int>(100 * c + yy + 1);
    }
    return date;
}
