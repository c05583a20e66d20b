#pragma once
// A step of the system clock that lands where it should. The platform sets the clock in whole
// milliseconds, so setting "now + step" at a random moment would lose up to a millisecond of
// the step; instead the step waits (spinning on the clock, at most a millisecond) for the moment
// when now + step is a whole millisecond, and sets exactly that. The privilege is enabled
// before the wait, so that nothing slow lies between the reading and the setting.

#include "common/SystemResult.h"
#include "sntp/SystemClock.h"

// Reads of the clock the wait makes at most, should the clock not move at all.
constexpr long kMaxStepWaitReads = 1'000'000;

// The whole millisecond at or after t.
NtpTimestamp NextWholeMillisecond(NtpTimestamp t);

// Moves the clock by seconds (negative: back). The clock is untouched when the privilege
// cannot be enabled; the privilege is restored on every path.
SystemResult StepClock(SystemClock& clock, TimePrivilege& privilege, double seconds);
