// The monotonic clock is the same real one in every build: this suite runs in the unit tier
// against the virtual clock and in the adapter tier against the real one.

#include "tests/contract/ClockContracts.h"

#include <chrono>

using namespace std::chrono_literals;

TEST_P(MonotonicClockContract, AWaitEndsAtItsDeadlineAndTimeNeverGoesBack) {
    MonotonicClock& clock = subject().clock();
    const MonotonicClock::TimePoint start = clock.now();
    EXPECT_TRUE(clock.sleepUntil(start + 20ms, nullptr));
    const MonotonicClock::TimePoint woken = clock.now();
    EXPECT_GE(woken, start + 20ms);
    EXPECT_TRUE(clock.sleepUntil(start, nullptr)) << "a deadline already past";
    EXPECT_GE(clock.now(), woken);
}

TEST_P(MonotonicClockContract, AWaitWithStopSetReturnsFalseAtOnce) {
    MonotonicClock& clock = subject().clock();
    const std::atomic<bool> stop{true};
    const MonotonicClock::TimePoint start = clock.now();
    EXPECT_FALSE(clock.sleepUntil(start + 10s, &stop));
    EXPECT_FALSE(clock.sleepUntil(start, &stop)) << "a deadline already past";
    EXPECT_LT(clock.now() - start, 1s);
}
