// What the control window's messages do to the engine: the start line, a close that stops a
// run in progress and says "Is closed", the organisation's policy, and the SNTP attempt behind
// the engine's port, also while it waits for a name lookup that never answers.

#include "engine/SntpSyncAttempt.h"
#include "engine/SyncEngine.h"

#include "common/LogResult.h"
#include "tests/support/EngineRig.h"
#include "tests/support/FakeClockRate.h"
#include "tests/support/FakeNameLookup.h"
#include "tests/support/FakePolicySource.h"
#include "tests/support/VirtualSntpRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using ::testing::ElementsAre;

namespace {

constexpr const char* kOneServer = "[Servers]\nServers_Counter=1\nServers 0=Fake~192.0.2.1~1\n";

// The codes of the lines a console hears of: all but the notices.
std::vector<int> announced(const CRecordingLogSink& log) {
    std::vector<int> codes;
    for (const LoggedLine& line : log.lines()) {
        if (line.resultCode != LOG_NOTICE) {
            codes.push_back(line.resultCode);
        }
    }
    return codes;
}

class SyncEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        rig.attempt.pushWaitForStop();  // as an attempt waiting for a silent server does
        rig.writeSettings("nSynPeriod=3", kOneServer);
    }

    CEngineRig rig;
};

TEST_F(SyncEngineTest, OpenLoadsTheSettingsAndWritesTheStartLineAsANotice) {
    rig.engine.Open();
    EXPECT_EQ(rig.engineSettings.Read([](const CSettings& s) { return s.m_nSynPeriod; }), 3);
    ASSERT_EQ(rig.log.lines().size(), 1u);
    EXPECT_EQ(rig.log.lines()[0].text, "Horalux Clock Service v. " HORALUX_VERSION_TEXT " is started.");
    EXPECT_EQ(rig.log.lines()[0].resultCode, LOG_NOTICE);
}

TEST_F(SyncEngineTest, CloseStopsARunInProgressAndSaysSo) {
    rig.engine.Open();
    rig.engine.SyncNow();
    rig.attempt.awaitAttempts(1);
    rig.engine.Close();
    EXPECT_FALSE(rig.controller.IsRunning());
    EXPECT_EQ(rig.attempt.inFlight(), 0);
    EXPECT_EQ(rig.log.texts().back(), CSyncEngine::kClosedLine);
    EXPECT_TRUE(announced(rig.log).empty()) << "the stopped run wrote no result";
}

TEST_F(SyncEngineTest, BreakIsAnnouncedWithItsCode) {
    rig.engine.Open();
    rig.engine.SyncNow();
    rig.attempt.awaitAttempts(1);
    rig.engine.SyncBreak();
    rig.engine.OptionsUpdated();
    EXPECT_EQ(announced(rig.log), (std::vector<int>{LOG_BROKEN, LOG_RELOADED}));
}

// The organisation's policy: applied at start, noticed by the periodic check within five
// minutes of ticks, and each value left out named in the log at every reload.
TEST_F(SyncEngineTest, PolicyAppliesAtStartAndItsChangeAtTheNextCheck) {
    CFakePolicySource policy;
    policy.setText("nOffset", "-90");
    policy.setText("nMaxAttempts", "many");
    rig.settings.SetPolicySource(&policy);
    rig.engine.Open();
    EXPECT_EQ(rig.engineSettings.Read([](const CSettings& s) { return s.m_nOffset; }), -90);
    const std::string ignored = "Policy value nMaxAttempts is ignored: \"many\" is not a whole number.";
    ASSERT_EQ(rig.log.texts().size(), 2u);
    EXPECT_EQ(rig.log.texts()[1], ignored);

    policy.setLines("Servers", {"Policy~127.0.0.9"});
    for (int tick = 1; tick < CSyncEngine::kPolicyCheckTicks; ++tick)
        rig.engine.Tick();
    EXPECT_EQ(rig.log.texts().size(), 2u) << "the policy was looked at before its time";
    rig.engine.Tick();
    const std::vector<std::string> texts = rig.log.texts();
    EXPECT_THAT(std::vector<std::string>(texts.begin() + 2, texts.end()),
                ElementsAre("Options are updated.", ignored));
    EXPECT_EQ(rig.engineSettings.Read([](const CSettings& s) { return s.m_servers.GetAt(0).m_strAddress; }),
              "127.0.0.9");
    EXPECT_EQ(announced(rig.log), (std::vector<int>{LOG_RELOADED}));

    // Unchanged, the next check reloads nothing.
    for (int tick = 0; tick < CSyncEngine::kPolicyCheckTicks; ++tick)
        rig.engine.Tick();
    EXPECT_EQ(rig.log.texts().size(), 4u);
}

TEST_F(SyncEngineTest, TheWindowsTimeServiceIsLookedAtOnOpenAndAtEachPolicyCheck) {
    rig.windowsTimeProbe.m_facts = WindowsTimeFacts{0, true, "NTP"};
    rig.engine.Open();
    ASSERT_EQ(rig.log.texts().size(), 2u);
    EXPECT_EQ(rig.log.texts()[1], CWindowsTimeWatch::kKeepingLine);
    EXPECT_TRUE(rig.windowsTime.IsStepsOnly());
    EXPECT_TRUE(rig.controller.Discipline().Status().bStepsOnly);

    rig.windowsTimeProbe.m_facts.bRunning = false;  // stopped by its administrator
    for (int tick = 1; tick < CSyncEngine::kPolicyCheckTicks; ++tick)
        rig.engine.Tick();
    EXPECT_EQ(rig.windowsTimeProbe.m_nLooks, 1);
    rig.engine.Tick();
    ASSERT_EQ(rig.log.texts().size(), 3u);
    EXPECT_EQ(rig.log.texts()[2], CWindowsTimeWatch::kIdleLine);
    EXPECT_FALSE(rig.windowsTime.IsStepsOnly());
    EXPECT_FALSE(rig.controller.Discipline().Status().bStepsOnly);
    EXPECT_TRUE(announced(rig.log).empty()) << "notices only";
}

TEST(SntpSyncAttempt, SamplesTheServerWithoutSettingTheClockAndStopsWhenAsked) {
    CVirtualSntpRig net;
    net.server.answerWith(FakeReply::offsetBy(0.25));
    CRecordingLogSink log;
    CSntpSyncAttempt attempt(net.clock, log, net.monotonic, net.network, std::make_shared<CFakeNameLookup>(),
                             CVirtualSntpRig::kPort);

    const std::atomic<bool> running{false};
    const SyncOutcome outcome = attempt.attempt(CVirtualSntpRig::kServer, running);
    EXPECT_TRUE(outcome.bSucceeded);
    EXPECT_NEAR(outcome.clockOffset, 0.25, 1e-6);
    EXPECT_EQ(outcome.address, net.serverAddress);
    EXPECT_TRUE(net.clock.settings().empty());

    net.server.answerWith(FakeReply::silent());
    const std::atomic<bool> stopped{true};
    EXPECT_EQ(attempt.attempt(CVirtualSntpRig::kServer, stopped).failure, SyncFailure::Cancelled);
    EXPECT_EQ(net.server.requestCount(), 1u);
}

// A name whose lookup never answers: neither a break nor the service's stop waits for it, the
// next run waits for the same lookup instead of starting another, and once the system's
// resolver gives up the lookup lets go of everything, although the engine has gone by then.
// Virtual time is frozen, so each run stays in its wait until it is stopped.
TEST(SntpSyncAttempt, BreakAndStopDuringAHangingNameLookupLeaveItBehindAndTheNextRunJoinsIt) {
    const auto lookup = std::make_shared<CFakeNameLookup>();
    lookup->hold();
    std::vector<int> codes;
    {
        CVirtualSntpRig net;
        CFakeTimePrivilege privilege;
        CFakeLocalClock localClock;
        CRecordingLogSink log;
        CFakeConnectivity probe;
        const CTempDir dir;
        CFakeClockRate rate;
        CSntpSyncAttempt attempt(net.clock, log, net.monotonic, net.network, lookup);
        CEngineWiring wiring(
            EnginePorts{localClock, net.monotonic, attempt, log, probe, net.clock, rate, privilege},
            dir.file(kRecordFileName), dir.file(kDriftFileName));
        wiring.writeSettings("nSynPeriod=3", "[Servers]\nServers_Counter=1\nServers 0=Hanging~hang.test~1\n");
        wiring.engine.Open();
        net.monotonic.freeze();

        wiring.engine.SyncNow();
        net.monotonic.awaitParked();
        wiring.engine.SyncBreak();
        EXPECT_FALSE(wiring.controller.IsRunning());

        wiring.engine.SyncNow();
        net.monotonic.awaitParked();
        EXPECT_TRUE(wiring.controller.IsRunning()) << "the second run waits";
        EXPECT_EQ(lookup->lookups(), 1) << "for the first run's lookup";
        wiring.engine.Close();
        EXPECT_FALSE(wiring.controller.IsRunning());
        EXPECT_EQ(log.texts().back(), CSyncEngine::kClosedLine);
        EXPECT_TRUE(net.network.sent().empty());
        codes = announced(log);
    }
    EXPECT_EQ(codes, std::vector<int>{LOG_BROKEN}) << "no run wrote a result";
    lookup->release();
    EXPECT_EQ(lookup.use_count(), 1) << "the lookup still holds what it shared";
}

}  // namespace
