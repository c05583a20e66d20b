#pragma once
// The Win32 clock: UTC read with GetSystemTimePreciseAsFileTime where the system has it (looked
// up at run time; GetSystemTime otherwise), set with SetSystemTime.

#include <windows.h>

#include "sntp/SystemClock.h"

using PreciseTimeReader = VOID(WINAPI*)(LPFILETIME);

class CWin32SystemClock : public SystemClock {
public:
    // Looks GetSystemTimePreciseAsFileTime up in kernel32.
    CWin32SystemClock();
    // reader may be null: the clock is then read with GetSystemTime (milliseconds).
    explicit CWin32SystemClock(PreciseTimeReader reader);

    NtpTimestamp nowUtc() const override;
    SystemResult setUtc(const CalendarTime& utc) override;

    bool readsPrecisely() const { return m_pfnPreciseReader != nullptr; }

private:
    PreciseTimeReader m_pfnPreciseReader;
};
