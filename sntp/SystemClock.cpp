#include "sntp/SystemClock.h"

SystemResult setSystemClock(SystemClock& clock, TimePrivilege& privilege, NtpTimestamp utc) {
    const SystemResult enabled = privilege.enable();
    const SystemResult result = enabled.bSucceeded ? clock.setUtc(utc.toSystemTime()) : enabled;
    privilege.restore();
    return result;
}
