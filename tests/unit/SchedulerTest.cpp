// The scheduler: when each mode starts a run, the midnight guard, the connectivity test,
// the waits after failed scheduled runs and for servers that refused us, the manual chain
// through the server list, and the console's "now", "break" and "options updated" requests.

#include "common/LogResult.h"
#include "tests/support/DaySimulation.h"
#include "tests/support/EngineRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

using ::testing::ElementsAre;

namespace {

using namespace std::chrono_literals;

class SchedulerTest : public ::testing::Test {
protected:
    // Records a successful synchronisation at t, as a harvest does, and lets the controller
    // read it back.
    void lastSyncAt(const CalendarTime& t) {
        CRecordingLogSink ignored;
        LastSyncRecord(rig.recordFile(), ignored).store(AutomationDate::fromCalendar(t));
        rig.controller.Reload(false);
    }

    // One tick at t; true when it started a run (which is then run to its harvest).
    bool tickStartsRun(const CalendarTime& t) {
        rig.clock.setNow(t);
        const int attempts = rig.attempt.attempts();
        const std::size_t lines = rig.log.lines().size();
        rig.scheduler.Tick();
        const bool started = rig.controller.IsRunning() || rig.attempt.attempts() != attempts ||
                             rig.log.lines().size() != lines;
        rig.awaitIdle();
        return started;
    }

    CEngineRig rig;
};

const CalendarTime kMarch3Noon = MakeLocalTime(2005, 3, 3, 12, 0, 0);

}  // namespace

TEST_F(SchedulerTest, DemandOnlyAndUnknownModesNeverStartARunByThemselves) {
    // A mode outside the table cannot come from the file (its default is used); set in memory.
    for (const int mode : {3, 7, -1}) {
        rig.configure("");
        rig.settings.m_nSynPeriod = mode;
        for (int i = 0; i < 3; ++i) {
            EXPECT_FALSE(tickStartsRun(kMarch3Noon)) << mode;
        }
    }
    EXPECT_EQ(rig.probe.m_nQuestions, 0);

    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    rig.scheduler.RequestSyncNow();
    rig.awaitIdle();
    EXPECT_THAT(rig.log.texts(), ElementsAre("Manualy. Successful. Server: Alpha."));
}

TEST_F(SchedulerTest, DailyRunsWhenTheDateDiffersFromTheLastSynchronisation) {
    rig.configure("nSynPeriod=0");
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    EXPECT_TRUE(tickStartsRun(kMarch3Noon)) << "no record: long past";
    EXPECT_THAT(rig.log.texts(), ElementsAre("Daily. Successful. Server: Alpha."));

    EXPECT_FALSE(tickStartsRun(MakeLocalTime(2005, 3, 3, 23, 59, 59)));
    EXPECT_TRUE(tickStartsRun(MakeLocalTime(2005, 3, 4, 0, 0, 1)));
}

TEST_F(SchedulerTest, OnlyWithAnOffsetDoRunsWaitUntilQuarterPastMidnight) {
    rig.configure("nSynPeriod=0\nnOffset=10");
    lastSyncAt(MakeLocalTime(2005, 3, 2, 12, 0, 0));
    EXPECT_FALSE(tickStartsRun(MakeLocalTime(2005, 3, 3, 23, 50, 0)));
    EXPECT_FALSE(tickStartsRun(MakeLocalTime(2005, 3, 3, 23, 46, 0)));
    EXPECT_FALSE(tickStartsRun(MakeLocalTime(2005, 3, 4, 0, 14, 59)));
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    EXPECT_TRUE(tickStartsRun(MakeLocalTime(2005, 3, 4, 0, 15, 0)));
    EXPECT_FALSE(tickStartsRun(MakeLocalTime(2005, 3, 4, 0, 15, 1)));

    rig.configure("nSynPeriod=0\nnOffset=10");
    lastSyncAt(MakeLocalTime(2005, 3, 2, 12, 0, 0));
    EXPECT_TRUE(tickStartsRun(MakeLocalTime(2005, 3, 3, 23, 45, 59)));
    rig.configure("nSynPeriod=0");
    lastSyncAt(MakeLocalTime(2005, 3, 2, 12, 0, 0));
    EXPECT_TRUE(tickStartsRun(MakeLocalTime(2005, 3, 3, 23, 50, 0))) << "without an offset, any time";
}

TEST_F(SchedulerTest, HourlyCountsWholeMinutesWithTheHalfSecondRounding) {
    rig.configure("nSynPeriod=2");
    lastSyncAt(MakeLocalTime(2005, 3, 3, 13, 0, 0));
    EXPECT_FALSE(tickStartsRun(MakeLocalTime(2005, 3, 3, 13, 59, 59)));
    EXPECT_FALSE(tickStartsRun(MakeLocalTime(2005, 3, 3, 13, 59, 59, 499)));
    EXPECT_TRUE(tickStartsRun(MakeLocalTime(2005, 3, 3, 13, 59, 59, 500)));
    EXPECT_THAT(rig.log.texts(), ElementsAre("Failed. Server: Alpha"));

    lastSyncAt(MakeLocalTime(2005, 3, 3, 15, 0, 0));
    EXPECT_FALSE(tickStartsRun(MakeLocalTime(2005, 3, 3, 14, 0, 0)))
        << "a last synchronisation in the future";
}

TEST_F(SchedulerTest, AnInvalidLastSynchronisationCountsAsLongPast) {
    rig.configure("nSynPeriod=2");
    lastSyncAt(MakeLocalTime(2005, 3, 3, 13, 0, 0));
    CRecordingLogSink ignored;
    LastSyncRecord(rig.recordFile(), ignored).store(AutomationDate(38414.5, 1));
    rig.controller.Reload(false);
    EXPECT_TRUE(tickStartsRun(MakeLocalTime(2005, 3, 3, 13, 10, 0)));
    rig.configure("nSynPeriod=0");
    EXPECT_TRUE(tickStartsRun(MakeLocalTime(2005, 3, 3, 13, 10, 0)));
}

TEST_F(SchedulerTest, OnStartRunsAtEachStartAndRetriesAFailedRunAfterTheWaitUntilOneSucceeds) {
    rig.configure("nSynPeriod=1");
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
    EXPECT_THAT(rig.log.texts(), ElementsAre("Failed. Server: Alpha"));
    EXPECT_FALSE(tickStartsRun(kMarch3Noon));

    rig.scheduler.OptionsUpdated();
    EXPECT_FALSE(tickStartsRun(kMarch3Noon)) << "a reload is not a start";
    rig.monotonic.advance(59s);
    EXPECT_FALSE(tickStartsRun(kMarch3Noon));
    rig.monotonic.advance(1s);
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    EXPECT_TRUE(tickStartsRun(kMarch3Noon)) << "the retry, one minute after the failure";
    rig.monotonic.advance(24h);
    EXPECT_FALSE(tickStartsRun(kMarch3Noon)) << "a success ends the retries";

    rig.controller.Reload(true);
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
}

// Continuously: a poll when the discipline's wait since the last poll is over (64 s at first),
// one request each; a lost request is not asked again, the next poll comes at its time.
TEST_F(SchedulerTest, ContinuouslyPollsAtTheDisciplinesPaceWithOneRequestAPoll) {
    rig.configure("nSynPeriod=4\nnMaxAttempts=5");
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
    rig.monotonic.advance(63s);
    EXPECT_FALSE(tickStartsRun(kMarch3Noon));
    rig.monotonic.advance(1s);
    EXPECT_TRUE(tickStartsRun(kMarch3Noon)) << "64 s after the first";  // nothing scripted: lost
    EXPECT_EQ(rig.attempt.attempts(), 2) << "one request a poll";
    rig.monotonic.advance(63s);
    EXPECT_FALSE(tickStartsRun(kMarch3Noon)) << "the lost one is not asked again before its time";
    rig.monotonic.advance(1s);
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
}

// Without a drift file the frequency is unknown: the hourly mode adds polls at the discipline's
// pace until it has learned it, instead of letting the clock run off for an hour.
TEST_F(SchedulerTest, WithoutADriftFileTheOtherModesPollUntilTheFrequencyIsLearned) {
    std::remove(rig.driftFile().c_str());
    rig.configure("nSynPeriod=2");
    ASSERT_TRUE(rig.discipline.IsLearning());
    rig.attempt.respondWith([](const std::string&) { return CScriptedSyncAttempt::Succeeded(0.01); });
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
    rig.monotonic.advance(rig.discipline.PollInterval());
    EXPECT_TRUE(tickStartsRun(kMarch3Noon)) << "a learning poll, not an hour later";

    rig.drift.Store(DriftState{});
    rig.configure("nSynPeriod=2");
    EXPECT_FALSE(rig.discipline.IsLearning());
    rig.monotonic.advance(rig.discipline.PollInterval());
    EXPECT_FALSE(tickStartsRun(kMarch3Noon)) << "known from the file: the hour holds";
}

TEST_F(SchedulerTest, WithoutAConnectionScheduledRunsWaitSilently) {
    rig.configure("nSynPeriod=0");
    rig.probe.m_bConnected = false;
    EXPECT_FALSE(tickStartsRun(kMarch3Noon));
    EXPECT_FALSE(tickStartsRun(kMarch3Noon));
    EXPECT_EQ(rig.probe.m_nQuestions, 2);
    EXPECT_TRUE(rig.log.lines().empty());
    rig.probe.m_bConnected = true;
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
}

// One minute after the first failure, doubling up to an hour; a manual request never waits;
// a success ends the waiting.
TEST_F(SchedulerTest, FailedScheduledRunsMoveThroughTheListWithGrowingWaitsUpToAnHour) {
    rig.configure("nSynPeriod=2\nnMaxAttempts=1");
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
    for (const std::chrono::seconds wait : {60s, 120s, 240s, 480s, 960s, 1920s, 3600s, 3600s}) {
        rig.monotonic.advance(wait - 1s);
        EXPECT_FALSE(tickStartsRun(kMarch3Noon)) << wait.count();
        rig.monotonic.advance(1s);
        EXPECT_TRUE(tickStartsRun(kMarch3Noon)) << wait.count();
    }
    EXPECT_THAT(rig.attempt.hosts(),
                ElementsAre("alpha.test", "beta.test", "gamma.test", "alpha.test", "beta.test", "gamma.test",
                            "alpha.test", "beta.test", "gamma.test"));

    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    rig.scheduler.RequestSyncNow();
    rig.awaitIdle();
    EXPECT_EQ(rig.attempt.attempts(), 10) << "a manual request starts at once";
    EXPECT_EQ(rig.log.texts().back(), "Manualy. Successful. Server: Alpha.");

    lastSyncAt(MakeLocalTime(2005, 3, 3, 10, 0, 0));
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    EXPECT_TRUE(tickStartsRun(kMarch3Noon)) << "after a success a due run waits no more";
}

// Alpha refuses us ("RATE"); Beta and Gamma do not answer.
TEST_F(SchedulerTest, AServerThatRefusedUsIsLeftOutOfScheduledRunsForAnHour) {
    rig.configure("nSynPeriod=2\nnMaxAttempts=2");
    rig.attempt.push(CScriptedSyncAttempt::Refused());
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
    for (const std::chrono::seconds wait : {60s, 120s, 240s}) {
        rig.monotonic.advance(wait);
        EXPECT_TRUE(tickStartsRun(kMarch3Noon));
    }
    EXPECT_THAT(rig.attempt.hosts(), ElementsAre("alpha.test", "beta.test", "beta.test", "gamma.test",
                                                 "gamma.test", "beta.test", "beta.test"));

    rig.attempt.push(CScriptedSyncAttempt::Refused());
    rig.scheduler.RequestSyncNow();
    rig.awaitIdle();
    EXPECT_EQ(rig.attempt.hosts().back(), "alpha.test") << "a manual request asks every server";

    rig.writeSettings("nSynPeriod=2\nnMaxAttempts=2",
                      "[Servers]\nServers_Counter=1\nServers 0=Alpha~ALPHA.test~1\n");
    rig.scheduler.OptionsUpdated();
    rig.monotonic.advance(1h - 1s);  // from the manual refusal
    EXPECT_FALSE(tickStartsRun(kMarch3Noon)) << "every server left out: no run";
    rig.monotonic.advance(1s);
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
    EXPECT_EQ(rig.attempt.hosts().back(), "ALPHA.test");
}

// With the built-in list (18 servers, 5 attempts) and the mode "Hourly", every server silent
// or the first one answering "RATE"; and the two silent servers, one attempt each, of a
// measurement by hand. bench/backoff_day prints the same figures without the waits.
TEST(SchedulerDayTest, ADayOfSilentServersCostsFewerThan200Requests) {
    const BackoffPolicy policy;
    const DayFigures silent = SimulateDay({"nSynPeriod=2", "", -1}, policy);
    const DayFigures refusing = SimulateDay({"nSynPeriod=2", "", 0}, policy);
    const DayFigures twoSilent = SimulateDay({"nSynPeriod=2\nnMaxAttempts=1",
                                              "[Servers]\nServers_Counter=2\n"
                                              "Servers 0=A~a.test~1\nServers 1=B~b.test~1\n",
                                              -1},
                                             policy);
    std::printf(
        "[ measured ] requests a day: %d all silent; %d with one server refusing (%d to it); "
        "%d with two silent servers, one attempt\n",
        silent.nRequests, refusing.nRequests, refusing.nToRefusingServer, twoSilent.nRequests);
    EXPECT_LE(silent.nRequests, 200);
    EXPECT_GT(silent.nRequests, 100) << "the simulation lost its runs";
    EXPECT_LE(refusing.nRequests, 200);
    EXPECT_LE(refusing.nToRefusingServer, 24);
    EXPECT_LE(twoSilent.nRequests, 40);
}

TEST_F(SchedulerTest, ANowRequestWalksTheListUntilOneSucceeds) {
    rig.configure("nSynPeriod=3\nnMaxAttempts=1\nnStartingServ=1");
    rig.attempt.push(CScriptedSyncAttempt::TimedOut());
    rig.attempt.push(CScriptedSyncAttempt::TimedOut());
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    rig.scheduler.RequestSyncNow();
    EXPECT_TRUE(rig.scheduler.IsManualRequested());
    rig.awaitIdle();
    for (int i = 0; i < 4; ++i) {
        tickStartsRun(kMarch3Noon);
    }
    EXPECT_THAT(rig.attempt.hosts(), ElementsAre("beta.test", "gamma.test", "alpha.test"));
    EXPECT_THAT(rig.log.texts(), ElementsAre("Failed. Server: Beta", "Failed. Server: Gamma",
                                             "Manualy. Successful. Server: Alpha."));
    EXPECT_TRUE(rig.scheduler.IsManualRequested()) << "success does not clear the request";
}

TEST_F(SchedulerTest, ANowRequestStopsWhenTheListIsUsedUpAndTheNextOneStartsAfresh) {
    rig.configure("nSynPeriod=3\nnMaxAttempts=1");
    rig.scheduler.RequestSyncNow();
    rig.awaitIdle();
    for (int i = 0; i < 5; ++i) {
        tickStartsRun(kMarch3Noon);
    }
    EXPECT_EQ(rig.attempt.attempts(), 3);
    EXPECT_EQ(rig.controller.ServersTried(), 3);

    rig.scheduler.RequestSyncNow();
    rig.awaitIdle();
    EXPECT_EQ(rig.attempt.attempts(), 4);
    EXPECT_EQ(rig.attempt.hosts().back(), "alpha.test");
}

TEST_F(SchedulerTest, ANowRequestAfterASuccessStartsANewRunAtOnce) {
    rig.configure("nSynPeriod=3");
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    rig.scheduler.RequestSyncNow();
    rig.awaitIdle();
    EXPECT_FALSE(tickStartsRun(kMarch3Noon));
    rig.scheduler.RequestSyncNow();
    EXPECT_TRUE(rig.controller.IsRunning() || rig.attempt.attempts() == 2);
    rig.awaitIdle();
    EXPECT_EQ(rig.log.texts().size(), 2u);
}

TEST_F(SchedulerTest, ANowRequestDuringAScheduledRunWaitsForItsEnd) {
    rig.configure("nSynPeriod=0\nnMaxAttempts=1");
    rig.attempt.pushHeld(CScriptedSyncAttempt::TimedOut());
    rig.clock.setNow(kMarch3Noon);
    rig.scheduler.Tick();
    rig.attempt.awaitAttempts(1);

    rig.scheduler.RequestSyncNow();
    rig.scheduler.Tick();
    rig.scheduler.Tick();
    EXPECT_EQ(rig.attempt.attempts(), 1) << "no second thread";
    EXPECT_EQ(rig.controller.CurrentServer(), 0);

    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    rig.attempt.release();
    rig.awaitIdle();
    tickStartsRun(kMarch3Noon);
    EXPECT_EQ(rig.attempt.maxInFlight(), 1);
    EXPECT_THAT(rig.attempt.hosts(), ElementsAre("alpha.test", "beta.test"));
    EXPECT_THAT(rig.log.texts(), ElementsAre("Failed. Server: Alpha", "Manualy. Successful. Server: Beta."));
}

// Found by the endurance bench: a console that asked again as soon as the result came (the
// run's thread not yet ended) got no run and no answer at all.
TEST_F(SchedulerTest, ANowRequestWhileASucceedingRunEndsGetsARunOfItsOwn) {
    rig.configure("nSynPeriod=3");
    rig.attempt.pushHeld(CScriptedSyncAttempt::Succeeded(0.01));
    rig.scheduler.RequestSyncNow();
    rig.attempt.awaitAttempts(1);
    rig.scheduler.RequestSyncNow();
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    rig.attempt.release();
    rig.awaitIdle();
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
    EXPECT_FALSE(tickStartsRun(kMarch3Noon));
    EXPECT_THAT(rig.log.texts(),
                ElementsAre("Manualy. Successful. Server: Alpha.", "Manualy. Successful. Server: Alpha."));
}

TEST_F(SchedulerTest, BreakEndsTheRunAndTheRequestAndSaysSoEvenWithoutARun) {
    rig.configure("nSynPeriod=3");
    rig.scheduler.BreakSync();
    rig.attempt.pushWaitForStop();
    rig.scheduler.RequestSyncNow();
    rig.attempt.awaitAttempts(1);
    rig.scheduler.BreakSync();
    EXPECT_FALSE(rig.scheduler.IsManualRequested());
    EXPECT_FALSE(tickStartsRun(kMarch3Noon));
    const std::vector<LoggedLine> lines = rig.log.lines();
    ASSERT_EQ(lines.size(), 2u);
    for (const LoggedLine& line : lines) {
        EXPECT_EQ(line.text, "Synchronization is broken by the user.");
        EXPECT_EQ(line.resultCode, LOG_BROKEN);
        EXPECT_EQ(line.roundTripSeconds, 0.0);
    }
}

TEST_F(SchedulerTest, OptionsUpdatedReloadsAndSaysSo) {
    rig.configure("nSynPeriod=3");
    rig.writeSettings("nSynPeriod=3\nnStartingServ=2");
    rig.scheduler.OptionsUpdated();
    EXPECT_EQ(rig.controller.CurrentServerName(), "Gamma");
    const std::vector<LoggedLine> lines = rig.log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "Options are updated.");
    EXPECT_EQ(lines[0].resultCode, LOG_RELOADED);
}

// What HoraluxServ -status is told: after a failure the wait, the next run at its end and the
// failures in a row; after a success its age and the next hourly run counted from it.
TEST_F(SchedulerTest, TheStatusGivesTheWaitTheNextRunAndTheFailuresInARow) {
    rig.configure("nSynPeriod=2");
    EXPECT_TRUE(tickStartsRun(kMarch3Noon));
    ClockStatus status = rig.engine.Status();
    EXPECT_EQ(status.mode, 2);
    EXPECT_EQ(status.successAge, -1);
    EXPECT_EQ(status.failures, 1);
    EXPECT_EQ(status.backoffLeft, 60);
    EXPECT_EQ(status.interval, 3600);
    EXPECT_EQ(status.nextRun, 60);

    rig.monotonic.advance(60s);
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
    EXPECT_TRUE(tickStartsRun(MakeLocalTime(2005, 3, 3, 12, 1, 0)));
    rig.clock.setNow(MakeLocalTime(2005, 3, 3, 12, 31, 0));
    status = rig.engine.Status();
    EXPECT_EQ(status.successAge, 1800);
    EXPECT_EQ(status.failures, 0);
    EXPECT_EQ(status.backoffLeft, 0);
    EXPECT_EQ(status.nextRun, 1800);
}
