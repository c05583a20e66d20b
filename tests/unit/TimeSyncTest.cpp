// One synchronisation attempt end to end against the fake server with a virtual clock: the fine
// setting, the coarse step and second query at an hour or more, the year window, kisses, the
// privilege and clock failures, the socket library's log lines, spacing and cancellation, and a
// name's addresses asked in turn.

#include "common/LogResult.h"
#include "sntp/TimeSync.h"
#include "tests/support/CalendarTimePrinter.h"
#include "tests/support/FakeMonotonicClock.h"
#include "tests/support/FakeNameLookup.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/SyncOutcomeText.h"
#include "tests/support/TestAddress.h"
#include "tests/support/VirtualClock.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

using Steady = std::chrono::steady_clock;

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
        // A port of its own on 127.0.0.1: Wine binds a UDP socket given another loopback address
        // to all addresses of the device, and its replies would then come from 127.0.0.1.
        ASSERT_TRUE(m_server.start("127.0.0.1", 0)) << socket_platform::lastError();
        m_server.answerWith(FakeReply{});
        m_clock.requirePrivilege(&m_privilege);
    }

    SyncOutcome synchronize(const std::atomic<bool>* stop = nullptr, std::uint32_t timeoutMs = 1000,
                            const std::string& server = "") {
        const SyncContext context{m_clock,    m_privilege, m_log,           m_pacer,
                                  m_resolver, stop,        m_server.port(), timeoutMs};
        return synchronizeWithServer(server.empty() ? m_server.address() : server, context);
    }

    void expectFineSettingOnly(double offset) {
        const SyncOutcome outcome = synchronize();
        ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
        EXPECT_EQ(m_server.requestCount(), 1u);
        ASSERT_EQ(m_clock.settings().size(), 1u);
        EXPECT_NEAR(m_clock.offsetSeconds(), offset, outcome.roundTripDelay / 2 + 0.001);
    }

    // The coarse step (a whole-second move from the current time with its fraction dropped),
    // a second query four seconds later, and the fine setting.
    void expectCoarseThenFine(double offset) {
        const SyncOutcome outcome = synchronize();
        ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
        EXPECT_EQ(m_server.requestCount(), 2u);
        ASSERT_EQ(m_clock.settings().size(), 2u);
        const ClockSetting& step = m_clock.settings()[0];
        EXPECT_EQ(step.utc.wMilliseconds, 0);
        const double whole = std::trunc(offset);
        EXPECT_LE(step.offsetAfter, whole + 0.001) << "the fraction of the current second is dropped";
        EXPECT_GT(step.offsetAfter, whole - 1.0 - 0.5) << "(half a second allowed for a slow machine)";
        EXPECT_NEAR(m_clock.offsetSeconds(), offset, outcome.roundTripDelay / 2 + 0.001);
        EXPECT_EQ(m_monotonic.waits(), std::vector<MonotonicClock::TimePoint::duration>{4s});
    }

    std::unique_ptr<SystemClock> m_pRealClock = makeSystemClock();
    CVirtualClock m_clock{*m_pRealClock};
    CFakeTimePrivilege m_privilege;
    CRecordingLogSink m_log;
    CFakeMonotonicClock m_monotonic;
    CQueryPacer m_pacer{m_monotonic};
    const std::shared_ptr<CFakeNameLookup> m_lookup = std::make_shared<CFakeNameLookup>();
    CHostResolver m_resolver{m_lookup};
    CFakeSntpServer m_server;
};

TEST_F(TimeSyncTest, SmallOffsetIsOneFineSettingUnderThePrivilege) {
    m_server.answerWith(FakeReply::offsetBy(0.25));
    const SyncOutcome outcome = synchronize();
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    EXPECT_NEAR(m_clock.offsetSeconds(), 0.25, outcome.roundTripDelay / 2 + 0.001);
    EXPECT_LT(outcome.roundTripDelay, 0.05);
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

// Over the wire an offset is measured only to within the network's jitter, so the end-to-end
// cases keep clear of the boundary that the rule above pins down.
TEST_F(TimeSyncTest, JustUnderAnHourIsOneFineSetting) {
    m_server.answerWith(FakeReply::offsetBy(3599.9));
    expectFineSettingOnly(3599.9);
}

TEST_F(TimeSyncTest, AnHourAheadIsCoarseThenFine) {
    m_server.answerWith(FakeReply::offsetBy(3600.3));
    expectCoarseThenFine(3600.3);
}

TEST_F(TimeSyncTest, AnHourBehindIsCoarseThenFine) {
    m_server.answerWith(FakeReply::offsetBy(-3600.3));
    expectCoarseThenFine(-3600.3);
}

TEST_F(TimeSyncTest, MinusTwoHoursAndABitStepsExactlyTwoHoursThenTheRest) {
    m_server.answerWith(FakeReply::offsetBy(-7200.4));
    expectCoarseThenFine(-7200.4);
}

TEST_F(TimeSyncTest, ServerTimesOutsideTwoThousandFourToTwentyOneHundredFourAreRefused) {
    m_server.answerWith(FakeReply::offsetBy(secondsUntilYear(*m_pRealClock, 2003)));
    const SyncOutcome outcome = synchronize();
    EXPECT_EQ(outcome.failure, SyncFailure::YearOutOfRange);
    EXPECT_TRUE(m_clock.settings().empty());
}

TEST_F(TimeSyncTest, ServerTimesInTwentyThirtySixAndTwentyOneHundredAreAccepted) {
    for (int year : {2036, 2100}) {
        CVirtualClock clock(*m_pRealClock);
        m_server.answerWith(FakeReply::offsetBy(secondsUntilYear(*m_pRealClock, year)));
        const SyncContext context{clock,      m_privilege, m_log,           m_pacer,
                                  m_resolver, nullptr,     m_server.port(), 1000};
        const SyncOutcome outcome = synchronizeWithServer(m_server.address(), context);
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
    m_server.answerWith(FakeReply::kiss("RATE"));
    const SyncOutcome outcome = synchronize();
    EXPECT_FALSE(outcome.bSucceeded);
    EXPECT_TRUE(outcome.bServerRefused);
    EXPECT_TRUE(m_clock.settings().empty());
}

TEST_F(TimeSyncTest, PrivilegeRefusedLeavesTheClockAlone) {
    m_privilege.setEnableResult({false, 1300});
    const SyncOutcome outcome = synchronize();
    EXPECT_EQ(outcome.failure, SyncFailure::ClockNotSet);
    EXPECT_EQ(outcome.nError, 1300);
    EXPECT_TRUE(m_clock.settings().empty());
    EXPECT_EQ(m_privilege.restoreCount(), 1);
}

TEST_F(TimeSyncTest, ARefusedCoarseStepEndsTheAttemptWithoutASecondQuery) {
    m_clock.refuseSettings(1314);
    m_server.answerWith(FakeReply::offsetBy(7200.0));
    const SyncOutcome outcome = synchronize();
    EXPECT_EQ(outcome.failure, SyncFailure::ClockNotSet);
    EXPECT_EQ(outcome.nError, 1314);
    EXPECT_EQ(m_server.requestCount(), 1u);
}

TEST_F(TimeSyncTest, AFailedSecondQueryKeepsTheCoarseStep) {
    m_server.queueAnswer(FakeReply::offsetBy(7200.0));
    m_server.answerWith(FakeReply::silent());
    const SyncOutcome outcome = synchronize(nullptr, 300);
    EXPECT_EQ(outcome.failure, SyncFailure::TimedOut);
    ASSERT_EQ(m_clock.settings().size(), 1u);
    EXPECT_EQ(m_clock.settings()[0].utc.wMilliseconds, 0);
    EXPECT_EQ(m_clock.offsetSeconds(), m_clock.settings()[0].offsetAfter);
    EXPECT_TRUE(m_log.lines().empty()) << "failures are the run's to log";
}

TEST_F(TimeSyncTest, AStopDuringTheWaitEndsTheAttemptPromptly) {
    m_server.answerWith(FakeReply::silent());
    std::atomic<bool> stop{false};
    Steady::time_point stoppedAt;
    std::thread stopper([&] {
        m_server.waitForRequests(1, 2000ms);
        std::this_thread::sleep_for(50ms);
        stoppedAt = Steady::now();
        stop.store(true);
    });
    const SyncOutcome outcome = synchronize(&stop, 5000);
    const auto returnedAt = Steady::now();
    stopper.join();
    EXPECT_EQ(outcome.failure, SyncFailure::Cancelled);
    EXPECT_LT(std::chrono::duration<double>(returnedAt - stoppedAt).count(), 0.2);
}

// --- a name and its addresses ----------------------------------------------------------------

// 127.0.0.2 has nobody on the server's port: natively the system says so at once, under Wine
// (whose server socket takes the port on every loopback address but does not answer there)
// the reply's time-out passes.
TEST_F(TimeSyncTest, ANamesAddressesAreAskedInTurnAndTheOneThatAnsweredIsAskedAgain) {
    m_lookup->answer("pool.test", {TestAddress("127.0.0.2", 0), TestAddress(m_server.address(), 0)});
    m_server.answerWith(FakeReply::offsetBy(7200.0));
    const SyncOutcome outcome = synchronize(nullptr, 500, "pool.test");
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    // The coarse step's second query went to the address that answered, four seconds after it.
    EXPECT_EQ(m_server.requestCount(), 2u);
    EXPECT_EQ(m_monotonic.waits(), std::vector<MonotonicClock::TimePoint::duration>{4s});
    EXPECT_NEAR(m_clock.offsetSeconds(), 7200.0, outcome.roundTripDelay / 2 + 0.001);

    // A server refuses us only when every one of its addresses does.
    m_server.answerWith(FakeReply::kiss("RATE"));
    const SyncOutcome kissed = synchronize(nullptr, 500, "pool.test");
    EXPECT_EQ(kissed.failure, SyncFailure::BadReply);
    EXPECT_FALSE(kissed.bServerRefused);
}

TEST_F(TimeSyncTest, ASilentFirstAddressGivesWayToTheSecond) {
#ifdef _WIN32
    GTEST_SKIP() << "under Wine a second server would take the first one's port on every address";
#endif
    CFakeSntpServer silent;
    ASSERT_TRUE(silent.start("127.0.0.2", m_server.port()));
    silent.answerWith(FakeReply::silent());
    CFakeSntpServer second;
    ASSERT_TRUE(second.start("127.0.0.3", m_server.port()));
    m_lookup->answer("two.test", {TestAddress("127.0.0.2", 0), TestAddress("127.0.0.3", 0)});
    const auto start = Steady::now();
    const SyncOutcome outcome = synchronize(nullptr, 400, "two.test");
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    EXPECT_GE(Steady::now() - start, 400ms) << "the first address had its whole time-out";
    EXPECT_EQ(silent.requestCount(), 1u);
    EXPECT_EQ(second.requestCount(), 1u);
    EXPECT_EQ(m_server.requestCount(), 0u);
}

TEST_F(TimeSyncTest, ALookupThatFailsHangsOrIsStoppedEndsTheAttemptWithoutARequest) {
    const SyncOutcome unknown = synchronize(nullptr, 1000, "unknown.test");
    EXPECT_EQ(unknown.failure, SyncFailure::Network);
    EXPECT_EQ(unknown.nError, CFakeNameLookup::kUnknownName);

    m_lookup->hold();
    auto start = Steady::now();
    const SyncOutcome hanging = synchronize(nullptr, 300, "hanging.test");
    EXPECT_EQ(hanging.failure, SyncFailure::TimedOut);
    EXPECT_GE(Steady::now() - start, 300ms);
    EXPECT_LT(Steady::now() - start, 1500ms);

    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop.store(true);
    });
    start = Steady::now();
    const SyncOutcome stopped = synchronize(&stop, 5000, "hanging.test");
    stopper.join();
    EXPECT_EQ(stopped.failure, SyncFailure::Cancelled);
    EXPECT_LT(Steady::now() - start, 300ms);
    EXPECT_EQ(m_lookup->lookups(), 2) << "the stopped attempt waited for the lookup left behind";
    m_lookup->release();
    EXPECT_EQ(m_server.requestCount(), 0u);
    EXPECT_TRUE(m_clock.settings().empty());
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
