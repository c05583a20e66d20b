#pragma once
// Lets GoogleTest print a CalendarTime as "2036-02-07 06:28:16.000 (dow 4)" in failure messages.
// Inline, so every test file may include it.

#include "sntp/NtpTimestamp.h"

#include <cstdio>
#include <ostream>

inline void PrintTo(const CalendarTime& t, std::ostream* os) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u (dow %u)", unsigned{t.wYear},
                  unsigned{t.wMonth}, unsigned{t.wDay}, unsigned{t.wHour}, unsigned{t.wMinute},
                  unsigned{t.wSecond}, unsigned{t.wMilliseconds}, unsigned{t.wDayOfWeek});
    *os << text;
}
