// What the control window's messages do to the engine: the start line, a close that stops a
// run in progress promptly and says "Is closed", and the SNTP attempt behind the engine's
// port.

#include "engine/SntpSyncAttempt.h"
#include "engine/SyncEngine.h"

#include "common/LogResult.h"
#include "engine/FileStore.h"
#include "tests/support/FakeMonotonicClock.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/VirtualClock.h"
#include "tools/kit/FakeSntpServer.h"
#include "tools/kit/InProcessLock.h"
#include "tools/kit/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

using namespace std::chrono_literals;

class CFixedLocalClock : public LocalClock {
public:
    CalendarTime nowLocal() const override {
        CalendarTime now;
        now.wYear = 2024;
        now.wMonth = 3;
        now.wDay = 5;
        now.wHour = 10;
        return now;
    }
    bool setLocal(const CalendarTime&) override { return true; }
};

class CCountingNotifier : public ResultNotifier {
public:
    void notifyResult(int resultCode) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vecCodes.push_back(resultCode);
    }
    std::vector<int> codes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vecCodes;
    }

private:
    std::mutex m_mutex;
    std::vector<int> m_vecCodes;
};

class CConnected : public ConnectivityProbe {
public:
    bool isConnected() override { return true; }
};

// An attempt that hangs until it is told to stop, as one waiting for a silent server does.
class CHangingAttempt : public SyncAttempt {
public:
    SyncOutcome attempt(const std::string&, const std::atomic<bool>& stop) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStarted = true;
        }
        m_cvStarted.notify_all();
        while (!stop.load()) {
            std::this_thread::sleep_for(5ms);
        }
        SyncOutcome outcome;
        outcome.failure = SyncFailure::Cancelled;
        return outcome;
    }
    bool waitStarted() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cvStarted.wait_for(lock, 10s, [this] { return m_bStarted; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cvStarted;
    bool m_bStarted = false;
};

class SyncEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
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

    const TempDir m_dir;
    const std::string m_logPath = m_dir.file("zHoraluxServ.log");
    FakeProfileStore m_store;
    CSettings m_settings{m_store, [] { return std::string("05.03.2024 10:00:00"); }};
    CEngineSettings m_engineSettings{m_settings};
    CFixedLocalClock m_clock;
    CCountingNotifier m_notifier;
    CConnected m_probe;
    CHangingAttempt m_attempt;
    CInProcessLock m_logLock;
    SyncLog m_log{m_logPath, m_clock, m_notifier, m_logLock,
                  [this] { return m_engineSettings.LogLimitsNow(); }};
    CFakeMonotonicClock m_monotonic;
    CSyncController m_controller{m_engineSettings, m_attempt, m_clock,
                                 m_monotonic,      m_log,     m_dir.file("zHoraluxServ.bin")};
    CScheduler m_scheduler{m_controller, m_engineSettings, m_clock, m_probe, m_log};
    CSyncEngine m_engine{m_engineSettings, m_log, m_controller, m_scheduler, "2.5"};
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
    ASSERT_TRUE(m_attempt.waitStarted());
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
    ASSERT_TRUE(m_attempt.waitStarted());
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
    RecordingLogSink log;
    CFakeMonotonicClock monotonic;
    CSntpSyncAttempt attempt(clock, privilege, log, monotonic, server.port());

    const std::atomic<bool> running{false};
    const SyncOutcome outcome = attempt.attempt(server.address(), running);
    EXPECT_TRUE(outcome.bSucceeded);
    EXPECT_NEAR(clock.offsetSeconds(), 0.25, 0.05);

    server.answerWith(FakeReply::silent());
    const std::atomic<bool> stopped{true};
    EXPECT_EQ(attempt.attempt(server.address(), stopped).failure, SyncFailure::Cancelled);
}

}  // namespace
