// The synchronisation controller and its run: attempts, result lines, the offset shift,
// server rotation, harvesting, breaking off, and the snapshot each run works on.

#include "common/LogResult.h"
#include "settings/SyncMode.h"
#include "tests/support/CalendarTimePrinter.h"
#include "tests/support/EngineRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

using ::testing::ElementsAre;

namespace {

using RunKind = CSyncController::RunKind;

class SyncControllerTest : public ::testing::Test {
protected:
    // Runs one run of kind to its harvest.
    void runToEnd(RunKind kind) {
        ASSERT_TRUE(rig.controller.StartRun(kind));
        rig.awaitIdle();
    }

    void expectOnlyLine(const std::string& text, int code, double delay = 0.0) const {
        const std::vector<LoggedLine> lines = rig.log.lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].text, text);
        EXPECT_EQ(lines[0].resultCode, code);
        EXPECT_EQ(lines[0].roundTripSeconds, delay);
    }

    CEngineRig rig;
};

}  // namespace

TEST_F(SyncControllerTest, NoAttemptsAllowedFailsWithoutAQueryAndMovesOn) {
    // Out of the file's range (its default is used there); set in memory.
    for (const int attempts : {0, -3}) {
        CEngineRig fresh;
        fresh.settings.m_nMaxAttempts = attempts;
        ASSERT_TRUE(fresh.controller.StartRun(RunKind::Manual));
        fresh.awaitIdle();
        EXPECT_EQ(fresh.attempt.attempts(), 0);
        EXPECT_THAT(fresh.log.texts(), ElementsAre("Failed. Server: Alpha"));
        EXPECT_EQ(fresh.controller.CurrentServer(), 1);
        EXPECT_EQ(fresh.controller.ServersTried(), 1);
    }
}

TEST_F(SyncControllerTest, FirstSuccessEndsTheAttemptsWithOneLineAndTheExchangesDelay) {
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.0483));
    runToEnd(RunKind::Manual);
    EXPECT_EQ(rig.attempt.attempts(), 1);
    expectOnlyLine("Manualy. Successful. Server: Alpha.", LOG_SUCCEEDED, 0.0483);
    EXPECT_TRUE(rig.controller.IsSynchronized());
    EXPECT_EQ(rig.controller.CurrentServer(), 0);
    EXPECT_EQ(rig.controller.ServersTried(), 0);
    EXPECT_TRUE(rig.pcClock.steps().empty()) << "a clock on time is not stepped";
}

TEST_F(SyncControllerTest, SuccessIsTheExchangesFlagNotAPositiveDelay) {
    rig.attempt.push(CScriptedSyncAttempt::TimedOut());
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.0));
    runToEnd(RunKind::Manual);
    EXPECT_EQ(rig.attempt.attempts(), 2);
    expectOnlyLine("Manualy. Successful. Server: Alpha.", LOG_SUCCEEDED, 0.0);
    EXPECT_TRUE(rig.controller.IsSynchronized());
}

TEST_F(SyncControllerTest, AllAttemptsFailingGiveOneFailureLine) {
    runToEnd(RunKind::Scheduled);
    EXPECT_THAT(rig.attempt.hosts(),
                ElementsAre("alpha.test", "alpha.test", "alpha.test", "alpha.test", "alpha.test"));
    expectOnlyLine("Failed. Server: Alpha", LOG_FAILED);
    EXPECT_FALSE(rig.controller.IsSynchronized());
    EXPECT_FALSE(std::filesystem::exists(rig.recordFile()));
}

TEST_F(SyncControllerTest, AServerThatRefusesUsIsNotAskedAgainInThatRun) {
    rig.attempt.push(CScriptedSyncAttempt::Refused());
    runToEnd(RunKind::Scheduled);
    EXPECT_EQ(rig.attempt.attempts(), 1);
    expectOnlyLine("Failed. Server: Alpha", LOG_FAILED);
    EXPECT_EQ(rig.controller.CurrentServer(), 1);
}

TEST_F(SyncControllerTest, FailuresWalkTheListAndWrapToTheFirst) {
    rig.configure("nMaxAttempts=1\nnStartingServ=2");
    runToEnd(RunKind::Manual);
    EXPECT_EQ(rig.controller.CurrentServer(), 0);
    runToEnd(RunKind::Manual);
    EXPECT_EQ(rig.controller.CurrentServer(), 1);
    EXPECT_THAT(rig.attempt.hosts(), ElementsAre("gamma.test", "alpha.test"));
    EXPECT_THAT(rig.log.texts(), ElementsAre("Failed. Server: Gamma", "Failed. Server: Alpha"));
    EXPECT_EQ(rig.controller.ServersTried(), 2);
}

TEST_F(SyncControllerTest, AScheduledRunIsLabelledWithTheModeName) {
    for (const auto& mode :
         {std::make_pair(0, "Daily"), std::make_pair(1, "OnStart"), std::make_pair(2, "Hourly"),
          std::make_pair(3, "DemandOnly"), std::make_pair(4, "Continuously"), std::make_pair(7, "Error")}) {
        CEngineRig fresh;
        fresh.settings.m_nSynPeriod = mode.first;  // 7: out of the file's range, set in memory
        fresh.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
        ASSERT_TRUE(fresh.controller.StartRun(RunKind::Scheduled));
        fresh.awaitIdle();
        EXPECT_THAT(fresh.log.texts(),
                    ElementsAre(std::string(mode.second) + ". Successful. Server: Alpha."));
    }
}

// The user's offset is part of the target: its change is one step of exactly that much, on a
// whole millisecond, made on one server's word (the user chose it).
TEST_F(SyncControllerTest, TheUsersOffsetIsOneStepOfExactlyThatMuch) {
    rig.configure("nOffset=-30");
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02));
    runToEnd(RunKind::Manual);
    EXPECT_THAT(rig.log.texts(), ElementsAre("Manualy. Successful. Server: Alpha."));
    ASSERT_EQ(rig.pcClock.steps().size(), 1u);
    EXPECT_NEAR(rig.pcClock.steps()[0].seconds, -30.0, 1e-4);
    EXPECT_NEAR(rig.pcClock.error(), -30.0, 1e-4);
    EXPECT_EQ(rig.attempt.attempts(), 1) << "no second server for the user's own offset";
    EXPECT_TRUE(rig.controller.IsSynchronized());
}

// A clock that refuses the shift leaves the computer off by the offset: the run has failed.
TEST_F(SyncControllerTest, ARefusedOffsetShiftFailsTheRunAndSaysWhy) {
    rig.configure("nOffset=120");
    rig.privilege.setEnableResult({false, 1314});
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02));
    runToEnd(RunKind::Manual);
    const std::vector<LoggedLine> lines = rig.log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0].text, ::testing::StartsWith("Error. The clock was not shifted by 120 seconds. "
                                                     "System error 1314"));
    EXPECT_EQ(lines[0].resultCode, LOG_NOTICE);
    EXPECT_EQ(lines[1].text, "Failed. Server: Alpha");
    EXPECT_EQ(lines[1].resultCode, LOG_FAILED);
    EXPECT_TRUE(rig.pcClock.steps().empty());
    EXPECT_FALSE(rig.controller.IsSynchronized());
    EXPECT_FALSE(std::filesystem::exists(rig.recordFile()));
    EXPECT_EQ(rig.controller.CurrentServer(), 1);
}

// More than a second on one server's word is not enough: another server, at another address,
// asked right then, must agree within a tenth of a second. Otherwise the clock is left alone, a
// notice names the disagreement, and the run fails. A list of one server is trusted as it is.
// In the continuous mode a server that answers off the clock's course has not failed: its
// answer is not used, and the next poll comes at its time, with no back-off.
TEST_F(SyncControllerTest, AnAnswerOffTheClocksCourseIsNoFailureToBackOffFromInTheContinuousMode) {
    rig.settings.m_nSynPeriod = kSyncContinuous;
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02, 0.0));
    runToEnd(RunKind::Scheduled);
    rig.monotonic.advance(std::chrono::seconds(64));
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02, 0.3));
    runToEnd(RunKind::Scheduled);
    EXPECT_EQ(rig.log.texts()[rig.log.texts().size() - 2],
              "Error. Server Alpha is +0.300 s off the clock's course: its answer is not used.");
    EXPECT_EQ(rig.controller.LastRunRecord()->action, ClockAction::Refused);
    EXPECT_FALSE(rig.controller.HasScheduledRunFailed());
}

TEST_F(SyncControllerTest, ABigCorrectionIsMadeOnlyWhenAnotherServerAgrees) {
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02, 3.0));  // Alpha: 3 s
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02, 0.0));  // Beta: on time
    runToEnd(RunKind::Manual);
    EXPECT_THAT(
        rig.log.texts(),
        ElementsAre("Error. Server Alpha would step the clock +3.000 s; server Beta disagrees (+0.000 s): "
                    "clock left as it is.",
                    "Failed. Server: Alpha"));
    EXPECT_EQ(rig.log.lines()[0].resultCode, LOG_NOTICE);
    EXPECT_TRUE(rig.pcClock.steps().empty());
    EXPECT_EQ(rig.controller.CurrentServer(), 1);
    ASSERT_TRUE(rig.controller.LastRunRecord());
    EXPECT_EQ(rig.controller.LastRunRecord()->action, ClockAction::Refused);
    EXPECT_EQ(rig.controller.LastRunRecord()->sample.clockOffset, 3.0);
    EXPECT_EQ(rig.controller.LastRunRecord()->strRival, "Beta") << "the events name the second server";

    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02, 3.0));   // Beta: 3 s
    rig.attempt.push(CScriptedSyncAttempt::TimedOut());             // Gamma: silent
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02, 3.05));  // Alpha: agrees
    runToEnd(RunKind::Manual);
    EXPECT_THAT(rig.attempt.hosts(),
                ElementsAre("alpha.test", "beta.test", "beta.test", "gamma.test", "alpha.test"));
    ASSERT_EQ(rig.pcClock.steps().size(), 1u);
    EXPECT_NEAR(rig.pcClock.steps()[0].seconds, 3.0, 1e-4);
    EXPECT_EQ(rig.controller.LastRunRecord()->action, ClockAction::Stepped);

    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02, 5.0));
    rig.attempt.push(CScriptedSyncAttempt::TimedOut());
    rig.attempt.push(CScriptedSyncAttempt::TimedOut());
    runToEnd(RunKind::Manual);
    EXPECT_EQ(rig.log.texts()[rig.log.texts().size() - 2],
              "Error. Server Beta would step the clock +5.000 s; no second server confirms it: clock left as "
              "it is.");
    EXPECT_EQ(rig.pcClock.steps().size(), 1u);

    CEngineRig solo;
    solo.configure("", "[Servers]\nServers_Counter=1\nServers 0=Solo~solo.test~1\n");
    solo.attempt.push(CScriptedSyncAttempt::Succeeded(0.02, 7200.0));
    ASSERT_TRUE(solo.controller.StartRun(RunKind::Manual));
    solo.awaitIdle();
    EXPECT_EQ(solo.attempt.attempts(), 1);
    ASSERT_EQ(solo.pcClock.steps().size(), 1u);
    EXPECT_NEAR(solo.pcClock.steps()[0].seconds, 7200.0, 1e-4);
}

TEST_F(SyncControllerTest, SuccessIsRecordedOnlyWhenTheEndedRunIsHarvested) {
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02));
    ASSERT_TRUE(rig.controller.StartRun(RunKind::Manual));
    rig.log.awaitLines(1);
    ASSERT_EQ(rig.log.lines().size(), 1u);
    EXPECT_FALSE(rig.controller.IsSynchronized());
    EXPECT_FALSE(std::filesystem::exists(rig.recordFile()));

    rig.clock.setNow(MakeLocalTime(2005, 3, 3, 15, 0, 0));
    rig.awaitIdle();
    EXPECT_TRUE(rig.controller.IsSynchronized());
    EXPECT_EQ(rig.controller.LastSync().days(),
              AutomationDate::fromCalendar(MakeLocalTime(2005, 3, 3, 15, 0, 0)).days());
    EXPECT_EQ(std::filesystem::file_size(rig.recordFile()), 12u);
}

TEST_F(SyncControllerTest, ABrokenRunLeavesNoTraceAndNoSecondRunStartsBeforeIt) {
    rig.attempt.pushWaitForStop();
    ASSERT_TRUE(rig.controller.StartRun(RunKind::Manual));
    rig.attempt.awaitAttempts(1);
    EXPECT_FALSE(rig.controller.StartRun(RunKind::Scheduled));
    rig.controller.BreakRun();
    EXPECT_EQ(rig.attempt.inFlight(), 0);
    EXPECT_FALSE(rig.controller.IsRunning());
    EXPECT_EQ(rig.attempt.attempts(), 1);
    EXPECT_TRUE(rig.log.lines().empty());
    EXPECT_FALSE(rig.controller.IsSynchronized());
    EXPECT_FALSE(std::filesystem::exists(rig.recordFile()));
    EXPECT_EQ(rig.controller.CurrentServer(), 0);
    EXPECT_EQ(rig.controller.ServersTried(), 0);
}

TEST_F(SyncControllerTest, PreparingAManualRunStartsTheListAfresh) {
    rig.configure("nMaxAttempts=1\nnStartingServ=1");
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02));
    runToEnd(RunKind::Manual);
    runToEnd(RunKind::Manual);
    ASSERT_TRUE(rig.controller.IsSynchronized());
    ASSERT_EQ(rig.controller.ServersTried(), 1);
    ASSERT_EQ(rig.controller.CurrentServer(), 2);

    rig.controller.PrepareManualRun();
    EXPECT_FALSE(rig.controller.IsSynchronized());
    EXPECT_EQ(rig.controller.ServersTried(), 0);
    EXPECT_EQ(rig.controller.CurrentServer(), 1);
    EXPECT_EQ(rig.controller.CurrentServerName(), "Beta");
    EXPECT_EQ(rig.controller.CurrentServerHost(), "beta.test");
}

TEST_F(SyncControllerTest, ReloadReturnsToTheStartingServerAndRereadsTheRecord) {
    rig.configure("nMaxAttempts=1");
    runToEnd(RunKind::Scheduled);
    rig.controller.MarkStartRunDone();
    CRecordingLogSink otherLog;
    LastSyncRecord(rig.recordFile(), otherLog)
        .store(AutomationDate::fromCalendar(MakeLocalTime(2005, 3, 1, 8, 0, 0)));

    rig.controller.Reload(false);
    EXPECT_EQ(rig.controller.CurrentServer(), 0);
    EXPECT_EQ(rig.controller.LastSync().days(),
              AutomationDate::fromCalendar(MakeLocalTime(2005, 3, 1, 8, 0, 0)).days());
    EXPECT_TRUE(rig.controller.IsStartRunDone());
    rig.controller.Reload(true);
    EXPECT_FALSE(rig.controller.IsStartRunDone());
}

TEST_F(SyncControllerTest, ARunWorksOnTheListAsItWasWhenItStarted) {
    rig.configure("nMaxAttempts=2\nnStartingServ=2");
    rig.attempt.pushHeld(CScriptedSyncAttempt::TimedOut());
    ASSERT_TRUE(rig.controller.StartRun(RunKind::Manual));
    rig.attempt.awaitAttempts(1);
    rig.writeSettings("nMaxAttempts=1", "[Servers]\nServers_Counter=1\nServers 0=Solo~solo.test~1\n");
    rig.engineSettings.Reload();
    rig.attempt.release();
    rig.awaitIdle();
    EXPECT_THAT(rig.attempt.hosts(), ElementsAre("gamma.test", "gamma.test"));
    EXPECT_THAT(rig.log.texts(), ElementsAre("Failed. Server: Gamma"));
    EXPECT_EQ(rig.controller.CurrentServer(), 0) << "the advance wraps within the shorter list";
}

TEST_F(SyncControllerTest, AnIndexTheShorterListNoLongerHoldsMeansTheFirstServer) {
    rig.configure("nStartingServ=2");
    rig.writeSettings("", "[Servers]\nServers_Counter=1\nServers 0=Solo~solo.test~1\n");
    rig.engineSettings.Reload();
    EXPECT_EQ(rig.controller.CurrentServerName(), "Solo");
    rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.02));
    runToEnd(RunKind::Manual);
    EXPECT_THAT(rig.attempt.hosts(), ElementsAre("solo.test"));
    EXPECT_EQ(rig.controller.CurrentServer(), 0);
}

namespace {

class ThrowingAttempt : public SyncAttempt {
public:
    SyncOutcome attempt(const std::string&, const std::atomic<bool>&) override {
        throw std::runtime_error("out of the blue");
    }
};

}  // namespace

// What was caught is kept as a notice (the console is not told, as for any notice).
TEST_F(SyncControllerTest, SomethingThrownInARunEndsItAsFailedWithoutEscapingAndIsLogged) {
    ThrowingAttempt throwing;
    CSyncController controller(rig.engineSettings,
                               ControllerPorts{throwing, rig.discipline, rig.pcClock, rig.clock,
                                               rig.monotonic, rig.log, rig.history},
                               rig.recordFile());
    ASSERT_TRUE(controller.StartRun(RunKind::Manual));
    controller.AwaitRun();
    EXPECT_FALSE(controller.IsSynchronized());
    const std::vector<LoggedLine> lines = rig.log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "SyncRun: out of the blue");
    EXPECT_EQ(lines[0].resultCode, LOG_NOTICE);
}
