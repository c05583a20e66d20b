// What the control window's messages do to the engine: the start line, a close that stops a
// run in progress promptly and says "Is closed", and the SNTP attempt behind the engine's
// port, also while it waits for a name lookup that never answers.

#include "engine/SntpSyncAttempt.h"
#include "engine/SyncEngine.h"

#include "common/LogResult.h"
#include "engine/FileStore.h"
#include "tests/support/FakeConnectivity.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/FakeMonotonicClock.h"
#include "tests/support/FakeNameLookup.h"
#include "tests/support/FakePolicySource.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/support/FakeWindowsTimeProbe.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/ScriptedSyncAttempt.h"
#include "tests/support/VirtualClock.h"
#include "tools/kit/FakeSntpServer.h"
#include "tools/kit/InProcessLock.h"
#include "tools/kit/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class SyncEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_attempt.pushWaitForStop();  // as an attempt waiting for a silent server does
        m_store.setText(
            "zHoraluxServ.ini",
            "[Options]\nnSynPeriod=3\n[Servers]\nServers_Counter=1\nServers 0=Fake~127.0.0.2~1\n");
    }

    std::vector<std::string> logLines() {
        std::string bytes;
        ReadFileContents(m_logPath, bytes);
        std::vector<std::string> lines;
        std::size_t begin = 0;
        for (std::size_t end; (end = bytes.find('\n', begin)) != std::string::npos; begin = end + 1) {
            const std::size_t length = end > begin && bytes[end - 1] == '\r' ? end - begin - 1 : end - begin;
            lines.push_back(bytes.substr(begin, length));
        }
        return lines;
    }

    static bool endsWith(const std::string& text, const std::string& tail) {
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    }

    const CTempDir m_dir;
    const std::string m_logPath = m_dir.file("zHoraluxServ.log");
    CFakeProfileStore m_store;
    CSettings m_settings{m_store, [] { return std::string("05.03.2024 10:00:00"); }};
    CEngineSettings m_engineSettings{m_settings};
    CFakeLocalClock m_clock{MakeLocalTime(2024, 3, 5, 10, 0, 0)};
    CRecordingNotifier m_notifier;
    CFakeConnectivity m_probe;
    CScriptedSyncAttempt m_attempt;
    CInProcessLock m_logLock;
    SyncLog m_log{m_logPath, m_clock, m_notifier, m_logLock,
                  [this] { return m_engineSettings.LogLimitsNow(); }};
    CFakeMonotonicClock m_monotonic;
    CSyncController m_controller{m_engineSettings, m_attempt, m_clock,
                                 m_monotonic,      m_log,     m_dir.file("zHoraluxServ.bin")};
    CScheduler m_scheduler{m_controller, m_engineSettings, m_clock, m_probe, m_log};
    CFakeWindowsTimeProbe m_windowsTime;
    CWindowsTimeWatch m_windowsTimeWatch{m_windowsTime, m_log};
    CSyncEngine m_engine{m_engineSettings, m_log, m_controller, m_scheduler, m_windowsTimeWatch, "2.5"};
};

TEST_F(SyncEngineTest, OpenLoadsTheSettingsAndWritesTheStartLineUnannounced) {
    m_engine.Open();
    EXPECT_EQ(m_engineSettings.Read([](const CSettings& s) { return s.m_nSynPeriod; }), 3);
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(endsWith(lines[0], "] Horalux Clock Service v. 2.5 is started.")) << lines[0];
    EXPECT_TRUE(m_notifier.codes().empty());
}

TEST_F(SyncEngineTest, CloseStopsARunInProgressPromptlyAndSaysSo) {
    m_engine.Open();
    m_engine.SyncNow();
    ASSERT_TRUE(m_attempt.waitForAttempts(1, 10s));
    const auto before = std::chrono::steady_clock::now();
    m_engine.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_FALSE(m_controller.IsRunning());
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(endsWith(lines.back(), "] Is closed")) << lines.back();
    // The stopped run wrote no result, and notices are never announced.
    EXPECT_TRUE(m_notifier.codes().empty());
}

TEST_F(SyncEngineTest, BreakIsAnnouncedWithItsCode) {
    m_engine.Open();
    m_engine.SyncNow();
    ASSERT_TRUE(m_attempt.waitForAttempts(1, 10s));
    m_engine.SyncBreak();
    m_engine.OptionsUpdated();
    EXPECT_EQ(m_notifier.codes(), (std::vector<int>{LOG_BROKEN, LOG_RELOADED}));
}

TEST(SntpSyncAttempt, SetsTheClockFromTheServerAndStopsWhenAsked) {
    CFakeSntpServer server;
    ASSERT_TRUE(server.start("127.0.0.1", 0));
    server.answerWith(FakeReply::offsetBy(0.25));
    const std::unique_ptr<SystemClock> realClock = makeSystemClock();
    CVirtualClock clock(*realClock);
    CFakeTimePrivilege privilege;
    CRecordingLogSink log;
    CFakeMonotonicClock monotonic;
    CSntpSyncAttempt attempt(clock, privilege, log, monotonic, std::make_shared<CFakeNameLookup>(),
                             server.port());

    const std::atomic<bool> running{false};
    const SyncOutcome outcome = attempt.attempt(server.address(), running);
    EXPECT_TRUE(outcome.bSucceeded);
    EXPECT_NEAR(clock.offsetSeconds(), 0.25, 0.05);

    server.answerWith(FakeReply::silent());
    const std::atomic<bool> stopped{true};
    EXPECT_EQ(attempt.attempt(server.address(), stopped).failure, SyncFailure::Cancelled);
}

// A name whose lookup never answers: neither a break nor the service's stop waits for it, the
// next run waits for the same lookup instead of starting another, and once the system's
// resolver gives up the lookup lets go of everything, although the engine has gone by then.
TEST(SntpSyncAttempt, BreakAndStopDuringAHangingNameLookupTakeUnder200Milliseconds) {
    const auto lookup = std::make_shared<CFakeNameLookup>();
    lookup->hold();
    std::vector<int> codes;
    std::chrono::steady_clock::duration breakTime{};
    std::chrono::steady_clock::duration closeTime{};
    {
        const CTempDir dir;
        CFakeProfileStore store;
        store.setText(
            "zHoraluxServ.ini",
            "[Options]\nnSynPeriod=3\n[Servers]\nServers_Counter=1\nServers 0=Hanging~hang.test~1\n");
        CSettings settings(store, [] { return std::string("05.03.2024 10:00:00"); });
        CEngineSettings engineSettings(settings);
        CFakeLocalClock localClock;
        CRecordingNotifier notifier;
        CFakeConnectivity probe;
        const std::unique_ptr<SystemClock> realClock = makeSystemClock();
        CVirtualClock clock(*realClock);
        CFakeTimePrivilege privilege;
        CFakeMonotonicClock monotonic;
        CInProcessLock logLock;
        SyncLog log(dir.file("zHoraluxServ.log"), localClock, notifier, logLock,
                    [&] { return engineSettings.LogLimitsNow(); });
        CSntpSyncAttempt attempt(clock, privilege, log, monotonic, lookup);
        CSyncController controller(engineSettings, attempt, localClock, monotonic, log,
                                   dir.file("zHoraluxServ.bin"));
        CScheduler scheduler(controller, engineSettings, localClock, probe, log);
        const CFakeWindowsTimeProbe windowsTime;
        CWindowsTimeWatch windowsTimeWatch(windowsTime, log);
        CSyncEngine engine(engineSettings, log, controller, scheduler, windowsTimeWatch, "2.5");
        engine.Open();

        engine.SyncNow();
        ASSERT_TRUE(lookup->waitForLookups(1, 5s));
        auto start = std::chrono::steady_clock::now();
        engine.SyncBreak();
        breakTime = std::chrono::steady_clock::now() - start;

        engine.SyncNow();
        std::this_thread::sleep_for(100ms);  // the second run is waiting for the first lookup
        start = std::chrono::steady_clock::now();
        engine.Close();
        closeTime = std::chrono::steady_clock::now() - start;
        codes = notifier.codes();
    }
    EXPECT_LT(breakTime, 200ms);
    EXPECT_LT(closeTime, 200ms);
    EXPECT_EQ(codes, std::vector<int>{LOG_BROKEN}) << "no run wrote a result";
    EXPECT_EQ(lookup->lookups(), 1);
    lookup->release();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (lookup.use_count() > 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(lookup.use_count(), 1) << "a lookup thread still holds what it shared";
    std::printf("[ measured ] break %.1f ms, stop %.1f ms during a hanging lookup\n",
                std::chrono::duration<double, std::milli>(breakTime).count(),
                std::chrono::duration<double, std::milli>(closeTime).count());
}

}  // namespace

// The organisation's policy: applied at start, noticed by the periodic check within five
// minutes of ticks, and each value left out named in the log at every reload.
TEST_F(SyncEngineTest, PolicyAppliesAtStartAndItsChangeAtTheNextCheck) {
    CFakePolicySource policy;
    policy.setText("nOffset", "-90");
    policy.setText("nMaxAttempts", "many");
    m_settings.SetPolicySource(&policy);
    m_engine.Open();
    EXPECT_EQ(m_engineSettings.Read([](const CSettings& s) { return s.m_nOffset; }), -90);
    std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(endsWith(lines[1], "] Policy value nMaxAttempts is ignored: \"many\" is not a whole number."))
        << lines[1];

    policy.setLines("Servers", {"Policy~127.0.0.9"});
    for (int tick = 1; tick < CSyncEngine::kPolicyCheckTicks; ++tick)
        m_engine.Tick();
    EXPECT_EQ(logLines().size(), 2u) << "the policy was looked at before its time";
    m_engine.Tick();
    lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(endsWith(lines[2], "] Options are updated.")) << lines[2];
    EXPECT_TRUE(
        endsWith(lines[3], "] Policy value nMaxAttempts is ignored: \"many\" is not a whole number."));
    EXPECT_EQ(m_engineSettings.Read([](const CSettings& s) { return s.m_servers.GetAt(0).m_strAddress; }),
              "127.0.0.9");
    EXPECT_EQ(m_notifier.codes(), (std::vector<int>{LOG_RELOADED}));

    // Unchanged, the next check reloads nothing.
    for (int tick = 0; tick < CSyncEngine::kPolicyCheckTicks; ++tick)
        m_engine.Tick();
    EXPECT_EQ(logLines().size(), 4u);
}

TEST_F(SyncEngineTest, TheWindowsTimeServiceIsLookedAtOnOpenAndAtEachPolicyCheck) {
    m_windowsTime.m_facts = WindowsTimeFacts{0, true, "NTP"};
    m_engine.Open();
    std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(endsWith(lines[1], std::string("] ") + CWindowsTimeWatch::kKeepingLine)) << lines[1];
    EXPECT_TRUE(m_windowsTimeWatch.IsStepsOnly());

    m_windowsTime.m_facts.bRunning = false;  // stopped by its administrator
    for (int tick = 1; tick < CSyncEngine::kPolicyCheckTicks; ++tick)
        m_engine.Tick();
    EXPECT_EQ(m_windowsTime.m_nLooks, 1);
    m_engine.Tick();
    lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(endsWith(lines[2], std::string("] ") + CWindowsTimeWatch::kIdleLine)) << lines[2];
    EXPECT_FALSE(m_windowsTimeWatch.IsStepsOnly());
    EXPECT_TRUE(m_notifier.codes().empty()) << "notices only";
}
