// The PC's life on virtual time: a wake from sleep or hibernation, a network that comes back
// during a failure's wait, a clock set by another program (and our own steps, which are not),
// and changes of time zone and daylight saving time under the hourly and daily schedules.

#include "tests/support/EngineRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

using ::testing::ElementsAre;

namespace {

using namespace std::chrono_literals;

class PcLifeTest : public ::testing::Test {
protected:
    void lastSyncAt(const CalendarTime& t) {
        CRecordingLogSink ignored;
        LastSyncRecord(rig.recordFile(), ignored).store(AutomationDate::fromCalendar(t));
        rig.controller.Reload(false);
    }

    // Waits for a run that a call may have started; true when one ran.
    bool ran(int attemptsBefore) {
        rig.awaitIdle();
        return rig.attempt.attempts() != attemptsBefore;
    }

    // One tick at t with the time zone's bias; true when it started a run.
    bool tickRuns(const CalendarTime& t, int biasMinutes = 0) {
        rig.clock.setNow(t, biasMinutes);
        const int attempts = rig.attempt.attempts();
        rig.scheduler.Tick();
        return ran(attempts);
    }

    // Ticks once a second for seconds; true when a run started in them.
    bool ticksRun(std::chrono::seconds seconds) {
        const int attempts = rig.attempt.attempts();
        for (auto s = 0s; s < seconds; s += 1s) {
            rig.monotonic.advance(1s);
            rig.engine.Tick();
            rig.awaitIdle();
        }
        return rig.attempt.attempts() != attempts;
    }

    bool wakeRuns() {
        const int attempts = rig.attempt.attempts();
        rig.engine.Resumed();
        return ran(attempts);
    }

    CEngineRig rig;
};

const CalendarTime kNoon = MakeLocalTime(2025, 6, 1, 12, 0, 0);

}  // namespace

// Hourly, synchronised ten minutes ago: a wake runs at once when connected; without a
// connection it waits for one, but not beyond a minute. The phase is measured afresh (a step
// of 0.8 s that the estimate would otherwise refuse), the frequency kept. "DemandOnly": nothing.
TEST_F(PcLifeTest, AWakeRunsTheModesOwnRunAsSoonAsTheNetworkIsUpAndAtMostAMinuteLater) {
    rig.configure("nSynPeriod=2\nnMaxAttempts=1");
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    EXPECT_TRUE(tickRuns(kNoon));
    lastSyncAt(MakeLocalTime(2025, 6, 1, 11, 50, 0));
    const DisciplineStatus before = rig.discipline.Status();

    rig.probe.m_bConnected = false;
    EXPECT_FALSE(wakeRuns());
    EXPECT_FALSE(ticksRun(20s));
    rig.probe.m_bConnected = true;
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01, 0.8));
    EXPECT_TRUE(ticksRun(1s)) << "the network is up";
    EXPECT_EQ(rig.log.texts().back(), "Hourly. Successful. Server: Alpha.");
    ASSERT_EQ(rig.pcClock.steps().size(), 1u);
    EXPECT_NEAR(rig.pcClock.steps()[0].seconds, 0.8, 1e-3);
    EXPECT_EQ(rig.discipline.Status().frequencyPpm, before.frequencyPpm);
    EXPECT_EQ(rig.discipline.Status().frequencySigmaPpm, before.frequencySigmaPpm);
    EXPECT_FALSE(wakeRuns()) << "the second notice of the same wake";

    rig.monotonic.advance(10min);
    rig.probe.m_bConnected = false;
    EXPECT_FALSE(wakeRuns());
    EXPECT_FALSE(ticksRun(59s));
    EXPECT_TRUE(ticksRun(1s)) << "a minute without a connection: the run goes out anyway";
    EXPECT_FALSE(ticksRun(5min)) << "and only one";

    rig.configure("nSynPeriod=3");
    rig.monotonic.advance(10min);
    EXPECT_FALSE(wakeRuns());
    EXPECT_FALSE(ticksRun(2min));
}

// A failure's wait ends when the network comes back (an address notice, or the connection
// test turning true); the wait after a run started so fails in full, so a flapping network adds
// at most one run per wait served.
TEST_F(PcLifeTest, ANetworkThatComesBackEndsAFailuresWaitButNotTwoInARow) {
    rig.configure("nSynPeriod=2\nnMaxAttempts=1");
    rig.attempt.pushHeld(CScriptedSyncAttempt::TimedOut());
    rig.clock.setNow(kNoon);
    rig.scheduler.Tick();
    rig.attempt.awaitAttempts(1);
    rig.engine.NetworkChanged();  // while the run is still waiting for its answer
    rig.attempt.release();
    rig.awaitIdle();
    EXPECT_TRUE(ticksRun(1s)) << "the news is taken once the run has failed";

    rig.engine.NetworkChanged();  // that run failed too: this wait of two minutes runs in full
    EXPECT_FALSE(ticksRun(119s));
    EXPECT_TRUE(ticksRun(1s));

    rig.probe.m_bConnected = false;  // four minutes
    EXPECT_FALSE(ticksRun(30s));
    rig.probe.m_bConnected = true;
    EXPECT_TRUE(ticksRun(1s)) << "the connection test turned true";
    EXPECT_THAT(rig.attempt.hosts(), ElementsAre("alpha.test", "beta.test", "gamma.test", "alpha.test"));

    rig.engine.NetworkChanged();  // that run failed too: its wait runs in full
    EXPECT_FALSE(ran(4));
}

// Another program sets the clock 0.8 s on: the log says so, the continuous mode measures at
// once and steps back (the estimate alone would refuse so far a sample). Our own step, and a
// notice soon after it, is not another program.
TEST_F(PcLifeTest, AClockSetByAnotherProgramIsToldAndMeasuredAfreshOurOwnStepIsNot) {
    rig.configure("nSynPeriod=4");
    rig.attempt.respondWith(
        [&](const std::string&) { return CScriptedSyncAttempt::Succeeded(0.01, -rig.pcClock.error()); });
    EXPECT_TRUE(tickRuns(kNoon));
    EXPECT_FALSE(ticksRun(20s));
    const double sigma = rig.discipline.Status().frequencySigmaPpm;

    const NtpTimestamp later = rig.pcClock.nowUtc().plusSeconds(0.8);
    ASSERT_TRUE(rig.pcClock.setUtc(later.toSystemTime()).bSucceeded);
    const int attempts = rig.attempt.attempts();
    EXPECT_TRUE(rig.engine.ClockChanged());
    EXPECT_TRUE(ran(attempts)) << "the continuous mode polls at once";
    EXPECT_THAT(rig.log.texts(), ElementsAre("Continuously. Successful. Server: Alpha.",
                                             "The clock was changed by another program.",
                                             "Continuously. Successful. Server: Alpha."));
    EXPECT_NEAR(rig.pcClock.error(), 0.0, 1e-3);
    EXPECT_EQ(rig.discipline.Status().frequencySigmaPpm, sigma) << "a tick came between sample and change";

    EXPECT_FALSE(rig.engine.ClockChanged()) << "the notice of our own step";
    rig.monotonic.advance(11s);
    EXPECT_TRUE(rig.engine.ClockChanged());
    EXPECT_GT(rig.discipline.Status().frequencySigmaPpm, sigma) << "the last sample may have seen it";
}

// Daylight saving time ends (02:59:59 CEST is followed by 02:00:00 CET) and begins (01:59:59
// CET, then 03:00:00 CEST): the hourly run still comes 60 minutes after the last. A new time
// zone that carries local time back across midnight does not make a new day.
TEST_F(PcLifeTest, ChangesOfTimeZoneAndDaylightSavingTimeMoveNoDecision) {
    rig.configure("nSynPeriod=2");
    lastSyncAt(MakeLocalTime(2025, 10, 26, 2, 30, 0));
    EXPECT_FALSE(tickRuns(MakeLocalTime(2025, 10, 26, 2, 59, 59), 120));
    EXPECT_FALSE(tickRuns(MakeLocalTime(2025, 10, 26, 2, 0, 0), 60));
    EXPECT_FALSE(tickRuns(MakeLocalTime(2025, 10, 26, 2, 29, 59), 60));
    EXPECT_TRUE(tickRuns(MakeLocalTime(2025, 10, 26, 2, 30, 0), 60));

    rig.configure("nSynPeriod=2");
    lastSyncAt(MakeLocalTime(2025, 3, 30, 1, 30, 0));
    EXPECT_FALSE(tickRuns(MakeLocalTime(2025, 3, 30, 1, 59, 59), 60));
    EXPECT_FALSE(tickRuns(MakeLocalTime(2025, 3, 30, 3, 0, 0), 120));
    EXPECT_FALSE(tickRuns(MakeLocalTime(2025, 3, 30, 3, 29, 59), 120));
    EXPECT_TRUE(tickRuns(MakeLocalTime(2025, 3, 30, 3, 30, 0), 120));

    rig.configure("nSynPeriod=0");
    lastSyncAt(MakeLocalTime(2025, 3, 4, 0, 30, 0));
    EXPECT_FALSE(tickRuns(MakeLocalTime(2025, 3, 4, 0, 40, 0), 120));
    EXPECT_FALSE(tickRuns(MakeLocalTime(2025, 3, 3, 23, 41, 0), 60));
    EXPECT_TRUE(tickRuns(MakeLocalTime(2025, 3, 4, 0, 0, 1), 60));
}

// Daily, a failed run's wait still on when the PC hibernates for three days (the monotonic
// clock stands still meanwhile): the wake runs at once and the day's run is done.
TEST_F(PcLifeTest, AHibernationOfDaysLeavesTheDailyModeWaitingForNothing) {
    rig.configure("nSynPeriod=0\nnMaxAttempts=1");
    EXPECT_TRUE(tickRuns(kNoon));  // fails: a minute's wait
    rig.clock.setNow(MakeLocalTime(2025, 6, 4, 9, 0, 0));
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    EXPECT_TRUE(wakeRuns());
    EXPECT_EQ(rig.log.texts().back(), "Daily. Successful. Server: Beta.");
    EXPECT_FALSE(ticksRun(2min));
}
