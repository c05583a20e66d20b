#pragma once
// The Win32 clock: UTC read with GetSystemTimePreciseAsFileTime where the system has it (looked
// up at run time; GetSystemTime otherwise), set with SetSystemTime.

#include "common/OptionalFunctions_win.h"
#include "sntp/SystemClock.h"

class CWin32SystemClock : public SystemClock {
public:
    // Reads with GetSystemTimePreciseAsFileTime where the system has it.
    CWin32SystemClock();
    // reader may be null: the clock is then read with GetSystemTime (milliseconds).
    explicit CWin32SystemClock(GetSystemTimePreciseAsFileTimeFn reader);

    NtpTimestamp nowUtc() const override;
    SystemResult setUtc(const CalendarTime& utc) override;

    bool readsPrecisely() const { return m_pfnPreciseReader != nullptr; }

private:
    GetSystemTimePreciseAsFileTimeFn m_pfnPreciseReader;
};
