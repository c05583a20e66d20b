#pragma once
// Conversions between the core's calendar record and the platform's SYSTEMTIME, which has
// the same fields in the same order. Include only from Windows-only files.

#include <windows.h>

#include "sntp/NtpTimestamp.h"

inline SYSTEMTIME ToWin32Time(const CalendarTime& t) {
    return SYSTEMTIME{t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                      t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
}

inline CalendarTime FromWin32Time(const SYSTEMTIME& t) {
    return CalendarTime{t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                        t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
}
