// One synchronisation attempt end to end on virtual time against scripted servers: the fine
// setting, the coarse step and second query at an hour or more, the year window, kisses, the
// privilege and clock failures, the socket library's log lines, spacing and cancellation, and a
// name's addresses asked in turn.

#include "common/LogResult.h"
#include "sntp/SocketPlatform.h"
#include "sntp/TimeSync.h"
#include "tests/support/CalendarTimePrinter.h"
#include "tests/support/FakeNameLookup.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/SyncOutcomeText.h"
#include "tests/support/VirtualSntpRig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A clock setting goes through the calendar record, in whole milliseconds.
constexpr double kSettingGrain = 0.001;
constexpr auto kPath = 20ms;

// Seconds from now to midnight UTC of 1 June of year.
double secondsUntilYear(const SystemClock& clock, int year) {
    CalendarTime t;
    t.wYear = static_cast<std::uint16_t>(year);
    t.wMonth = 6;
    t.wDay = 1;
    return NtpTimestamp::secondsSince(NtpTimestamp::fromSystemTime(t), clock.nowUtc());
}

class TimeSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_rig.server.answerWith(reply(0.0));
        m_rig.clock.requirePrivilege(&m_privilege);
    }

    // A sound reply from a server offsetBy seconds off, over a path of kPath.
    static FakeReply reply(double offsetBy) {
        FakeReply sound = FakeReply::offsetBy(offsetBy);
        sound.networkDelay = kPath;
        return sound;
    }

    SyncOutcome synchronize(const std::atomic<bool>* stop = nullptr, std::uint32_t timeoutMs = 1000,
                            const std::string& server = CVirtualSntpRig::kServer) {
        return synchronizeWithServer(server, context(m_rig.clock, stop, timeoutMs));
    }

    SyncContext context(SystemClock& clock, const std::atomic<bool>* stop = nullptr,
                        std::uint32_t timeoutMs = 1000) {
        return SyncContext{clock,   m_privilege, m_log, m_rig.monotonic,        m_rig.network,
                           m_pacer, m_resolver,  stop,  CVirtualSntpRig::kPort, timeoutMs};
    }

    void expectFineSettingOnly(double offset) {
        const SyncOutcome outcome = synchronize();
        ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
        EXPECT_EQ(m_rig.server.requestCount(), 1u);
        ASSERT_EQ(m_rig.clock.settings().size(), 1u);
        EXPECT_NEAR(m_rig.clock.offsetSeconds(), offset, kSettingGrain);
    }

    // The coarse step (a whole-second move from the current time with its fraction dropped),
    // a second query four seconds later, and the fine setting.
    void expectCoarseThenFine(double offset) {
        const SyncOutcome outcome = synchronize();
        ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
        const std::vector<ReceivedRequest> requests = m_rig.server.requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].arrival - requests[0].arrival, 4s);
        ASSERT_EQ(m_rig.clock.settings().size(), 2u);
        const ClockSetting& step = m_rig.clock.settings()[0];
        EXPECT_EQ(step.utc.wMilliseconds, 0);
        // The step came when the first reply was in, kPath into a whole second.
        EXPECT_NEAR(step.offsetAfter, std::trunc(offset) - 0.020, kSettingGrain);
        EXPECT_NEAR(m_rig.clock.offsetSeconds(), offset, kSettingGrain);
        EXPECT_NEAR(outcome.roundTripDelay, 0.020, 1e-9);
    }

    CVirtualSntpRig m_rig;
    CFakeTimePrivilege m_privilege;
    CRecordingLogSink m_log;
    CQueryPacer m_pacer{m_rig.monotonic};
    const std::shared_ptr<CFakeNameLookup> m_lookup = std::make_shared<CFakeNameLookup>();
    CHostResolver m_resolver{m_lookup, m_rig.monotonic};
};

TEST_F(TimeSyncTest, SmallOffsetIsOneFineSettingUnderThePrivilege) {
    m_rig.server.answerWith(reply(0.25));
    const SyncOutcome outcome = synchronize();
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    EXPECT_NEAR(m_rig.clock.offsetSeconds(), 0.25, kSettingGrain);
    EXPECT_NEAR(outcome.roundTripDelay, 0.020, 1e-9);
    EXPECT_EQ(m_privilege.enableCount(), 1);
    EXPECT_EQ(m_privilege.restoreCount(), 1);
    EXPECT_TRUE(m_log.lines().empty());
}

TEST(TimeSyncRules, UnderAnHourEitherWayIsFineAnHourOrMoreIsCoarse) {
    for (double fine : {0.0, 3599.9, -3599.9, 3599.999999}) {
        EXPECT_TRUE(isFineOffset(fine)) << fine;
    }
    for (double coarse : {3600.0, -3600.0, -7200.4, 1e9, std::nan("")}) {
        EXPECT_FALSE(isFineOffset(coarse)) << coarse;
    }
}

TEST_F(TimeSyncTest, JustUnderAnHourIsOneFineSetting) {
    m_rig.server.answerWith(reply(3599.9));
    expectFineSettingOnly(3599.9);
}

TEST_F(TimeSyncTest, AnHourAheadIsCoarseThenFine) {
    m_rig.server.answerWith(reply(3600.3));
    expectCoarseThenFine(3600.3);
}

TEST_F(TimeSyncTest, AnHourBehindIsCoarseThenFine) {
    m_rig.server.answerWith(reply(-3600.3));
    expectCoarseThenFine(-3600.3);
}

TEST_F(TimeSyncTest, MinusTwoHoursAndABitStepsExactlyTwoHoursThenTheRest) {
    m_rig.server.answerWith(reply(-7200.4));
    expectCoarseThenFine(-7200.4);
}

TEST_F(TimeSyncTest, ServerTimesOutsideTwoThousandFourToTwentyOneHundredFourAreRefused) {
    m_rig.server.answerWith(reply(secondsUntilYear(m_rig.trueClock, 2003)));
    const SyncOutcome outcome = synchronize();
    EXPECT_EQ(outcome.failure, SyncFailure::YearOutOfRange);
    EXPECT_TRUE(m_rig.clock.settings().empty());
}

TEST_F(TimeSyncTest, ServerTimesInTwentyThirtySixAndTwentyOneHundredAreAccepted) {
    for (int year : {2036, 2100}) {
        CVirtualClock clock(m_rig.trueClock);
        m_rig.server.answerWith(reply(secondsUntilYear(m_rig.trueClock, year)));
        const SyncOutcome outcome = synchronizeWithServer(CVirtualSntpRig::kServer, context(clock));
        ASSERT_TRUE(outcome.bSucceeded) << year << ": " << describe(outcome);
        const CalendarTime now = clock.nowUtc().toSystemTime();
        EXPECT_EQ(now.wYear, year);
        EXPECT_EQ(now.wMonth, 6);
    }
}

TEST_F(TimeSyncTest, YearWindowEdges) {
    for (int year : {2004, 2036, 2037, 2104}) {
        CalendarTime t;
        t.wYear = static_cast<std::uint16_t>(year);
        t.wMonth = year == 2104 ? 1 : 12;  // 2104 ends in February, with the era
        t.wDay = 1;
        EXPECT_TRUE(isPlausibleServerTime(NtpTimestamp::fromSystemTime(t))) << year;
    }
    CalendarTime t;
    t.wYear = 2003;
    t.wMonth = 12;
    t.wDay = 31;
    t.wHour = 23;
    t.wMinute = 59;
    t.wSecond = 59;
    t.wMilliseconds = 999;
    EXPECT_FALSE(isPlausibleServerTime(NtpTimestamp::fromSystemTime(t)));
    t.wYear = 1999;
    EXPECT_FALSE(isPlausibleServerTime(NtpTimestamp::fromSystemTime(t)));
}

TEST_F(TimeSyncTest, CoarseTargetDropsTheFractionAndTruncatesTowardZero) {
    const NtpTimestamp now(3900000000u, 0xF0000000u);  // .9375 s into a second
    EXPECT_EQ(coarseTarget(now, -7200.4), NtpTimestamp(3900000000u - 7200u, 0));
    EXPECT_EQ(coarseTarget(now, 3600.99), NtpTimestamp(3900000000u + 3600u, 0));
}

TEST_F(TimeSyncTest, ARefusingKissFailsAndMarksTheServer) {
    m_rig.server.answerWith(FakeReply::kiss("RATE"));
    const SyncOutcome outcome = synchronize();
    EXPECT_FALSE(outcome.bSucceeded);
    EXPECT_TRUE(outcome.bServerRefused);
    EXPECT_TRUE(m_rig.clock.settings().empty());
}

TEST_F(TimeSyncTest, PrivilegeRefusedLeavesTheClockAlone) {
    m_privilege.setEnableResult({false, 1300});
    const SyncOutcome outcome = synchronize();
    EXPECT_EQ(outcome.failure, SyncFailure::ClockNotSet);
    EXPECT_EQ(outcome.nError, 1300);
    EXPECT_TRUE(m_rig.clock.settings().empty());
    EXPECT_EQ(m_privilege.restoreCount(), 1);
}

TEST_F(TimeSyncTest, ARefusedCoarseStepEndsTheAttemptWithoutASecondQuery) {
    m_rig.clock.refuseSettings(1314);
    m_rig.server.answerWith(reply(7200.0));
    const SyncOutcome outcome = synchronize();
    EXPECT_EQ(outcome.failure, SyncFailure::ClockNotSet);
    EXPECT_EQ(outcome.nError, 1314);
    EXPECT_EQ(m_rig.server.requestCount(), 1u);
}

TEST_F(TimeSyncTest, AFailedSecondQueryKeepsTheCoarseStep) {
    m_rig.server.queueAnswer(reply(7200.0));
    m_rig.server.answerWith(FakeReply::silent());
    const SyncOutcome outcome = synchronize(nullptr, 300);
    EXPECT_EQ(outcome.failure, SyncFailure::TimedOut);
    ASSERT_EQ(m_rig.clock.settings().size(), 1u);
    EXPECT_EQ(m_rig.clock.settings()[0].utc.wMilliseconds, 0);
    EXPECT_EQ(m_rig.clock.offsetSeconds(), m_rig.clock.settings()[0].offsetAfter);
    EXPECT_TRUE(m_log.lines().empty()) << "failures are the run's to log";
}

TEST_F(TimeSyncTest, AStopDuringTheWaitEndsTheAttemptWhenItIsSet) {
    m_rig.server.answerWith(FakeReply::silent());
    std::atomic<bool> stop{false};
    const auto stopAt = m_rig.monotonic.now() + 2s;
    m_rig.monotonic.at(stopAt, [&stop] { stop.store(true); });
    const SyncOutcome outcome = synchronize(&stop, 5000);
    EXPECT_EQ(outcome.failure, SyncFailure::Cancelled);
    EXPECT_EQ(m_rig.monotonic.now(), stopAt);
}

// --- a name and its addresses ----------------------------------------------------------------

TEST_F(TimeSyncTest, ANamesAddressesAreAskedInTurnAndTheOneThatAnsweredIsAskedAgain) {
    const NetAddress closed = TestAddress("192.0.2.2", CVirtualSntpRig::kPort);
    m_rig.network.refuse(closed);
    m_lookup->answer("pool.test", {closed.withPort(0), m_rig.serverAddress.withPort(0)});
    m_rig.server.answerWith(reply(7200.0));
    const SyncOutcome outcome = synchronize(nullptr, 500, "pool.test");
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    // The coarse step's second query went to the address that answered, four seconds after it.
    const std::vector<ReceivedRequest> requests = m_rig.server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].arrival - requests[0].arrival, 4s);
    EXPECT_NEAR(m_rig.clock.offsetSeconds(), 7200.0, kSettingGrain);

    // A server refuses us only when every one of its addresses does.
    m_rig.server.answerWith(FakeReply::kiss("RATE"));
    const SyncOutcome kissed = synchronize(nullptr, 500, "pool.test");
    EXPECT_EQ(kissed.failure, SyncFailure::BadReply);
    EXPECT_FALSE(kissed.bServerRefused);
}

TEST_F(TimeSyncTest, ASilentFirstAddressGivesWayToTheSecond) {
    CSimulatedSntpServer second(m_rig.trueClock);
    const NetAddress secondAddress = TestAddress("192.0.2.3", CVirtualSntpRig::kPort);
    m_rig.network.attach(secondAddress, second);
    m_rig.server.answerWith(FakeReply::silent());
    m_lookup->answer("two.test", {m_rig.serverAddress.withPort(0), secondAddress.withPort(0)});
    const SyncOutcome outcome = synchronize(nullptr, 400, "two.test");
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    ASSERT_EQ(m_rig.server.requestCount(), 1u);
    ASSERT_EQ(second.requestCount(), 1u);
    EXPECT_EQ(second.requests()[0].arrival - m_rig.server.requests()[0].arrival, 400ms)
        << "the first address had its whole time-out";
}

TEST_F(TimeSyncTest, ALookupThatFailsHangsOrIsStoppedEndsTheAttemptWithoutARequest) {
    const SyncOutcome unknown = synchronize(nullptr, 1000, "unknown.test");
    EXPECT_EQ(unknown.failure, SyncFailure::Network);
    EXPECT_EQ(unknown.nError, CFakeNameLookup::kUnknownName);

    m_lookup->hold();
    auto start = m_rig.monotonic.now();
    const SyncOutcome hanging = synchronize(nullptr, 300, "hanging.test");
    EXPECT_EQ(hanging.failure, SyncFailure::TimedOut);
    EXPECT_EQ(m_rig.monotonic.now() - start, 300ms);

    std::atomic<bool> stop{false};
    start = m_rig.monotonic.now();
    m_rig.monotonic.at(start + 100ms, [&stop] { stop.store(true); });
    const SyncOutcome stopped = synchronize(&stop, 5000, "hanging.test");
    EXPECT_EQ(stopped.failure, SyncFailure::Cancelled);
    EXPECT_EQ(m_rig.monotonic.now() - start, 100ms);
    EXPECT_EQ(m_lookup->lookups(), 2) << "the stopped attempt waited for the lookup left behind";
    m_lookup->release();
    EXPECT_TRUE(m_rig.network.sent().empty());
    EXPECT_TRUE(m_rig.clock.settings().empty());
}

TEST(SocketLibraryCheck, LogsWhyTheLibraryCannotBeUsed) {
    struct Case {
        SocketLibraryStatus status;
        const char* line;
    };
    const Case cases[] = {
        {{false, 10091, 0, 0}, "WSAStartup failed!"},
        {{true, 0, 1, 0}, "Winsock stack does not support version that is needed!"},
        {{true, 0, 2, 2}, "Winsock stack does not support version that is needed!"},
        {{true, 0, 1, 1}, nullptr},
    };
    for (const Case& c : cases) {
        CRecordingLogSink log;
        EXPECT_EQ(acceptSocketLibrary(c.status, log), c.line == nullptr);
        if (c.line == nullptr) {
            EXPECT_TRUE(log.lines().empty());
            continue;
        }
        const std::vector<LoggedLine> lines = log.lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].text, c.line);
        EXPECT_EQ(lines[0].resultCode, LOG_FAILED);
        EXPECT_EQ(lines[0].roundTripSeconds, 0.0);
    }
}

}  // namespace
