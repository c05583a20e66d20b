// The engine's two threads at once: log writes from both, settings reloads while runs read
// them, and breaks that race a run's end. Meant to run under ThreadSanitizer as well.

#include "common/LogResult.h"
#include "engine/SyncLog.h"
#include "tests/support/EngineRig.h"
#include "tests/support/InProcessLock.h"
#include "tests/support/RecordingNotifier.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <thread>

namespace {

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

constexpr const char* kOneServer = "[Servers]\nServers_Counter=1\nServers 0=Solo~solo.test~1\n";

}  // namespace

TEST(EngineConcurrencyTest, TwoThreadsWritingTheLogGiveWholeLinesInTheirOrder) {
    CTempDir dir;
    CFakeLocalClock clock;
    CRecordingNotifier notifier;
    CInProcessLock fileLock;
    SyncLog log(dir.file("zHoraluxServ.log"), clock, notifier, fileLock, [] {
        return LogLimits{1000, false};
    });
    constexpr int kPerThread = 200;
    const auto writer = [&](const std::string& name) {
        for (int i = 0; i < kPerThread; ++i) {
            log.write(name + " " + std::to_string(i), i % 2 ? LOG_FAILED : LOG_SUCCEEDED, 0.001);
        }
    };
    std::thread runThread(writer, "run");
    writer("window");
    runThread.join();

    const std::vector<std::string> lines = readLines(dir.file("zHoraluxServ.log"));
    ASSERT_EQ(lines.size(), 2u * kPerThread);
    const std::regex shape(R"(\[ 03/03/2005 14:07:09 \] (run|window) (\d+)( Round Trip Delay: 1 ms)?)");
    std::map<std::string, int> next;
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, shape)) << line;
        EXPECT_EQ(std::stoi(match[2]), next[match[1]]++) << line;
    }
    EXPECT_EQ(notifier.codes().size(), 2u * kPerThread);
}

TEST(EngineConcurrencyTest, ReloadsDuringRunsNeverTearTheServerList) {
    CFakeProfileStore store;
    CSettings settings(store, [] { return std::string("now"); });
    CEngineSettings engineSettings(settings);
    CFakeLocalClock clock;
    CScriptedSyncAttempt attempt;
    CRecordingNotifier notifier;
    CTempDir dir;
    CInProcessLock fileLock;
    SyncLog log(dir.file("zHoraluxServ.log"), clock, notifier, fileLock,
                [&] { return engineSettings.LogLimitsNow(); });
    CFakeConnectivity probe;
    CFakeMonotonicClock monotonic;
    CSyncController controller(engineSettings, attempt, clock, monotonic, log, dir.file("zHoraluxServ.bin"));
    CScheduler scheduler(controller, engineSettings, clock, probe, log);

    const auto write = [&](const std::string& limit, const std::string& servers) {
        store.setText(
            settings.m_strFileName,
            "[Options]\nnSynPeriod=0\nnMaxAttempts=1\nbOnlySuccLog=0\nnLogFileLen=" + limit + "\n" + servers);
    };
    write("5000", CEngineRig::kThreeServers);
    engineSettings.Reload();
    controller.Reload(true);
    for (int i = 0; i < 300; ++i) {
        write(i % 2 ? "5000" : "4000", i % 2 ? CEngineRig::kThreeServers : kOneServer);
        scheduler.OptionsUpdated();
        monotonic.advance(std::chrono::hours(2));  // past any back-off: scheduled runs go on
        scheduler.Tick();
        if (i % 50 == 0) {
            scheduler.RequestSyncNow();
        }
    }
    scheduler.BreakSync();

    const std::regex failed(R"(\[ [^\]]+ \] Failed\. Server: (Alpha|Beta|Gamma|Solo))");
    int failures = 0;
    for (const std::string& line : readLines(dir.file("zHoraluxServ.log"))) {
        if (line.find("Failed.") != std::string::npos) {
            EXPECT_TRUE(std::regex_match(line, failed)) << line;
            ++failures;
        }
    }
    EXPECT_GT(failures, 0);
    EXPECT_EQ(attempt.maxInFlight(), 1);
}

TEST(EngineConcurrencyTest, BreakStopsAWaitingRunWithin200Milliseconds) {
    CEngineRig rig;
    rig.configure("nSynPeriod=3");
    std::chrono::steady_clock::duration longest{};
    for (int i = 0; i < 20; ++i) {
        rig.attempt.pushWaitForStop();
        rig.scheduler.RequestSyncNow();
        ASSERT_TRUE(rig.attempt.waitForAttempts(i + 1, std::chrono::seconds(5)));
        const auto start = std::chrono::steady_clock::now();
        rig.scheduler.BreakSync();
        longest = std::max(longest, std::chrono::steady_clock::now() - start);
        EXPECT_EQ(rig.attempt.inFlight(), 0);
        EXPECT_FALSE(rig.controller.IsRunning());
    }
    EXPECT_LT(longest, std::chrono::milliseconds(200));
    RecordProperty("longest_break_us",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(longest).count()));
    for (const std::string& text : rig.log.texts()) {
        EXPECT_EQ(text, "Synchronization is broken by the user.");
    }
    EXPECT_EQ(rig.attempt.maxInFlight(), 1);
}

TEST(EngineConcurrencyTest, ABreakRacingARunsEndIsAlwaysTheLastLine) {
    CEngineRig rig;
    rig.configure("nSynPeriod=3\nnMaxAttempts=1");
    for (int i = 0; i < 200; ++i) {
        if (i % 3 == 0) {
            rig.attempt.push(CScriptedSyncAttempt::Succeeded(0.01));
        }
        rig.scheduler.RequestSyncNow();
        if (i % 2) {
            std::this_thread::yield();
        }
        rig.scheduler.BreakSync();
        ASSERT_EQ(rig.log.texts().back(), "Synchronization is broken by the user.");
        EXPECT_FALSE(rig.controller.IsRunning());
        EXPECT_FALSE(rig.controller.IsSynchronized());
    }
    // Whether any attempt got under way before its break depends on the scheduler; two never do.
    EXPECT_LE(rig.attempt.maxInFlight(), 1);
}
