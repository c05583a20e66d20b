#include "sntp/SystemClock.h"

ClockResult setSystemClock(SystemClock& clock, TimePrivilege& privilege, NtpTimestamp utc) {
    const ClockResult enabled = privilege.enable();
    const ClockResult result = enabled.bSucceeded ? clock.setUtc(utc.toSystemTime()) : enabled;
    privilege.restore();
    return result;
}
