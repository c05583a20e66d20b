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
    EngineFakes fakes;
    CRecordingNotifier notifier;
    CInProcessLock fileLock;
    const CEngineSettings* pLimits = nullptr;  // the wiring's, made after the log that reads them
    SyncLog log(fakes.dir.file("zHoraluxServ.log"), fakes.clock, notifier, fileLock,
                [&pLimits] { return pLimits->LogLimitsNow(); });
    EnginePorts ports = fakes.ports();
    CEngineWiring engine(EnginePorts{ports.clock, ports.monotonic, ports.attempt, log, ports.probe,
                                     ports.systemClock, ports.rate, ports.privilege},
                         fakes.dir.file("zHoraluxServ.bin"), fakes.dir.file("zHoraluxServ.drift"));
    pLimits = &engine.engineSettings;

    const auto configure = [&](const std::string& limit, const std::string& servers) {
        engine.writeSettings("nSynPeriod=0\nnMaxAttempts=1\nbOnlySuccLog=0\nnLogFileLen=" + limit, servers);
    };
    configure("5000", CEngineWiring::kThreeServers);
    engine.engineSettings.Reload();
    engine.controller.Reload(true);
    for (int i = 0; i < 300; ++i) {
        configure(i % 2 ? "5000" : "4000", i % 2 ? CEngineWiring::kThreeServers : kOneServer);
        engine.scheduler.OptionsUpdated();
        fakes.monotonic.advance(std::chrono::hours(2));  // past any back-off: scheduled runs go on
        engine.scheduler.Tick();
        if (i % 50 == 0) {
            engine.scheduler.RequestSyncNow();
        }
    }
    engine.scheduler.BreakSync();

    const std::regex failed(R"(\[ [^\]]+ \] Failed\. Server: (Alpha|Beta|Gamma|Solo))");
    int failures = 0;
    for (const std::string& line : readLines(fakes.dir.file("zHoraluxServ.log"))) {
        if (line.find("Failed.") != std::string::npos) {
            EXPECT_TRUE(std::regex_match(line, failed)) << line;
            ++failures;
        }
    }
    EXPECT_GT(failures, 0);
    EXPECT_EQ(fakes.attempt.maxInFlight(), 1);
}

TEST(EngineConcurrencyTest, BreakStopsAWaitingRunAndOnlyTheBreakIsLogged) {
    CEngineRig rig;
    rig.configure("nSynPeriod=3");
    for (int i = 0; i < 20; ++i) {
        rig.attempt.pushWaitForStop();
        rig.scheduler.RequestSyncNow();
        rig.attempt.awaitAttempts(i + 1);
        rig.scheduler.BreakSync();
        EXPECT_EQ(rig.attempt.inFlight(), 0);
        EXPECT_FALSE(rig.controller.IsRunning());
    }
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
