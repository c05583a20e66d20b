#pragma once
// Port to the clock's rate: make the system clock run a little faster or slower than its
// oscillator says, so that it can be kept right between synchronisations and corrected without
// a jump. The Win32 adapter uses SetSystemTimeAdjustmentPrecise where Windows has it and
// SetSystemTimeAdjustment elsewhere, each through the system-time privilege; tests and the
// clock simulator use fakes.

#include "common/SystemResult.h"

class ClockRate {
public:
    virtual ~ClockRate() = default;

    // The smallest step between two rates the platform sets, in ppm; 0 when it sets any rate.
    virtual double granularityPpm() const = 0;
    // From now on the clock runs faster by ppm (slower when negative) than it would by itself.
    // ppm is a whole number of steps.
    virtual SystemResult setCorrection(double ppm) = 0;
    // Gives the rate back to the platform: no adjustment of ours applies any more.
    virtual SystemResult handBack() = 0;
};
