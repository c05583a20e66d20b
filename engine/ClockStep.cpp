#include "engine/ClockStep.h"

#include <cstdint>

namespace {

// The millisecond of the second at or before fraction.
std::uint32_t millisecondAtOrBefore(std::uint32_t fraction) {
    auto m = static_cast<std::uint32_t>((std::uint64_t{fraction} * 1000) >> 32);
    // The table is rounded to the nearest: an entry may lie a hair either side of the exact value.
    while (m > 0 && kMillisecondFraction[m] > fraction) {
        --m;
    }
    while (m + 1 < 1000 && kMillisecondFraction[m + 1] <= fraction) {
        ++m;
    }
    return m;
}

NtpTimestamp wholeMillisecondBefore(NtpTimestamp t) {
    return NtpTimestamp(t.seconds(), kMillisecondFraction[millisecondAtOrBefore(t.fraction())]);
}

// Reads the clock until now + seconds has reached the millisecond boundary; returns that sum.
// Bounded: a clock that does not move, or that moves back, ends the wait.
NtpTimestamp awaitBoundary(const SystemClock& clock, double seconds) {
    NtpTimestamp target = clock.nowUtc().plusSeconds(seconds);
    const NtpTimestamp boundary = NextWholeMillisecond(target);
    for (long reads = 0; reads < kMaxStepWaitReads; ++reads) {
        const double left = NtpTimestamp::secondsSince(boundary, target);
        if (left <= 0.0 || left > 0.002) {
            break;
        }
        target = clock.nowUtc().plusSeconds(seconds);
    }
    return target;
}

}  // namespace

NtpTimestamp NextWholeMillisecond(NtpTimestamp t) {
    const std::uint32_t ms = millisecondAtOrBefore(t.fraction());
    if (kMillisecondFraction[ms] == t.fraction()) {
        return t;
    }
    return ms + 1 < 1000 ? NtpTimestamp(t.seconds(), kMillisecondFraction[ms + 1])
                         : NtpTimestamp(t.seconds() + 1, 0);
}

SystemResult StepClock(SystemClock& clock, TimePrivilege& privilege, double seconds) {
    const SystemResult enabled = privilege.enable();
    SystemResult result = enabled;
    if (enabled.bSucceeded) {
        result = clock.setUtc(wholeMillisecondBefore(awaitBoundary(clock, seconds)).toSystemTime());
    }
    privilege.restore();
    return result;
}
