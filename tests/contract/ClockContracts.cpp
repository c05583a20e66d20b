#include "tests/contract/ClockContracts.h"

#include "engine/AutomationDate.h"

#include <cmath>
#include <cstdlib>

namespace {

AutomationDate localNow(const LocalClock& clock) {
    return AutomationDate::fromCalendar(clock.nowLocal());
}

}  // namespace

TEST_P(SystemClockContract, ReadingsNeverGoBack) {
    NtpTimestamp previous = subject().clock().nowUtc();
    for (int i = 0; i < 200; ++i) {
        const NtpTimestamp now = subject().clock().nowUtc();
        ASSERT_GE(NtpTimestamp::secondsSince(now, previous), 0.0) << i;
        previous = now;
    }
}

TEST_P(SystemClockContract, ThePrivilegeIsEnabledOnlyUntilItIsRestored) {
    EXPECT_FALSE(subject().privilegeEnabled());
    ASSERT_TRUE(subject().privilege().enable().bSucceeded);
    EXPECT_TRUE(subject().privilegeEnabled());
    subject().privilege().restore();
    EXPECT_FALSE(subject().privilegeEnabled());
    subject().privilege().restore();
    EXPECT_FALSE(subject().privilegeEnabled());
}

TEST_P(SystemClockContract, ASmallSettingIsAcceptedALargeOneRefusedAndTheClockKept) {
    SystemClock& clock = subject().clock();
    const SystemResult small = setSystemClock(clock, subject().privilege(), clock.nowUtc().plusSeconds(0.1));
    EXPECT_TRUE(small.bSucceeded) << small.nError;
    EXPECT_EQ(small.nError, 0);
    EXPECT_FALSE(subject().privilegeEnabled());

    const NtpTimestamp before = clock.nowUtc();
    const SystemResult large = setSystemClock(clock, subject().privilege(), before.plusSeconds(7200.0));
    EXPECT_FALSE(large.bSucceeded);
    EXPECT_EQ(large.nError, kErrorPrivilegeNotHeld);
    EXPECT_FALSE(subject().privilegeEnabled());
    EXPECT_LT(std::fabs(NtpTimestamp::secondsSince(clock.nowUtc(), before)), 1.0);
}

TEST_P(LocalClockContract, ReadingsNeverGoBack) {
    LocalClock& clock = subject().clock();
    const AutomationDate first = localNow(clock);
    const AutomationDate second = localNow(clock);
    ASSERT_TRUE(first.isValid());
    EXPECT_LE(first.days(), second.days());
}

TEST_P(ConnectivityContract, AnOfflineMachineIsReportedOfflineEveryTime) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(subject().probe().isConnected()) << i;
    }
}
