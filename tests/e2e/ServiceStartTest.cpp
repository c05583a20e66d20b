// What HoraluxServ.exe does by itself once started as a process (-d): the settings file it
// makes when there is none, the runs its schedule starts, and what a wake from sleep and a
// clock set by another program do.
//
// Both depend on the network: a first start loads the public default server list, so that
// test runs only in a test session's namespace with no route off loopback; scheduled runs
// wait for Wine to report an internet connection, which it does only when a default gateway
// exists, so those tests give the namespace one that leads nowhere (tests/e2e/
// namespace-gateway.sh) and list only this test's fake server.

#include "common/ProductFacts.h"
#include "engine/DriftFile.h"
#include "service/ExecWindow_win.h"
#include "tests/e2e/HostCommand.h"
#include "tools/kit/ServiceProgram_win.h"

#include "common/LogResult.h"
#include "common/WindowMessages.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

bool WineReportsAConnection() {
    DWORD flags = 0;
    return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

// Ends the program started by a test and waits until its window has gone.
void EndService(CChildProcess& service) {
    service.terminate();
    WaitForNoExecWindow(10s);
}

TEST(FirstStartTest, WithoutASettingsFileOnlyTheServerListIsWritten) {
    if (!InPrivateNetworkNamespace()) {
        GTEST_SKIP() << "loads the public server list: only inside tools/wine-session.sh's namespace";
    }
    const HostCommandResult noGateway = NamespaceGateway("down");
    ASSERT_TRUE(noGateway.bEnded && noGateway.exitCode == 0) << noGateway.output;
    ASSERT_FALSE(WineReportsAConnection()) << "this namespace has a route off loopback";
    ASSERT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), nullptr) << "a control window is left over";

    PrepareServiceFiles("");
    const std::string ini = WindowsFile("zHoraluxServ.ini");
    ASSERT_TRUE(::DeleteFileA(ini.c_str()));
    CChildProcess service;
    ASSERT_TRUE(LaunchService(service, "-d"));
    EXPECT_NE(WaitForExecWindow(), nullptr);
    EXPECT_TRUE(WaitForFileText(WindowsFile("zHoraluxServ.log"),
                                "] Horalux Clock Service v. " HORALUX_VERSION_TEXT " is started.", 10s));
    EXPECT_TRUE(WaitForFileText(ini, "\r\nServers 17=", 10s));
    EndService(service);

    const std::string text = ReadWholeFile(ini);
    EXPECT_EQ(text.rfind("[Servers]\r\nServers_Counter=18\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("\r\nServers 0=USA. NIST, Gaithersburg, Maryland - 1~129.6.15.28~0\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(
        text.find("\r\nServers 17=Switzerland. Integrated Systems Laboratory. Zurich~129.132.2.21~0\r\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.find("Servers 18="), std::string::npos) << text;
    EXPECT_EQ(text.find("[Options]"), std::string::npos) << text;
}

class ScheduledRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!InPrivateNetworkNamespace()) {
            GTEST_SKIP() << "needs a default gateway: only inside tools/wine-session.sh's namespace";
        }
        const HostCommandResult up = NamespaceGateway("up");
        m_bGatewayUp = up.bEnded;
        ASSERT_TRUE(up.bEnded && up.exitCode == 0) << up.output;
        ASSERT_TRUE(WineReportsAConnection());
        ASSERT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), nullptr)
            << "a control window is left over";
        ASSERT_TRUE(m_server.startOnFreeLoopbackAddress()) << "port 123 is taken";
    }

    void TearDown() override {
        EndService(m_service);
        if (m_bGatewayUp) {
            const HostCommandResult down = NamespaceGateway("down");
            EXPECT_TRUE(down.bEnded && down.exitCode == 0) << down.output;
        }
    }

    // Starts the service and says hello at once: the hello is queued ahead of the first
    // tick (a timer message comes only when the queue is empty), so every run is heard.
    void Launch() {
        ASSERT_TRUE(LaunchService(m_service, "-d"));
        const HWND hWindow = WaitForExecWindow();
        ASSERT_NE(hWindow, nullptr);
        m_console.drain();
        ASSERT_TRUE(::PostMessageA(hWindow, UM_CONSOLE_HELLO, reinterpret_cast<WPARAM>(m_console.get()), 0));
        WPARAM unused = 0;
        ASSERT_TRUE(m_console.waitFor(UM_SERVICE_HELLO, unused));
    }

    // The next run's result as the console hears it; -1 when none came within limit.
    int NextResult(std::chrono::milliseconds limit = 15s) {
        WPARAM code = 0;
        return m_console.waitFor(UM_SYNC_RESULT, code, limit) ? static_cast<int>(code) : -1;
    }

    static std::string Log() { return ReadWholeFile(WindowsFile("zHoraluxServ.log")); }

    CFakeSntpServer m_server;
    CChildProcess m_service;
    CConsoleStandIn m_console;
    bool m_bGatewayUp = false;
};

TEST_F(ScheduledRunTest, OnStartRunsOnceAfterEachStart) {
    PrepareServiceFiles(ServiceSettings(kModeOnStart, m_server.address(), {"Fake A"}));
    Launch();
    EXPECT_EQ(NextResult(), LOG_SUCCEEDED);
    EXPECT_EQ(m_server.requestCount(), 1u);
    // Several ticks later: no second run.
    EXPECT_EQ(NextResult(5s), -1);

    EndService(m_service);
    Launch();
    EXPECT_EQ(NextResult(), LOG_SUCCEEDED);
    EXPECT_EQ(NextResult(5s), -1);
    EXPECT_EQ(m_server.requestCount(), 2u);
    // The log keeps the first start's lines.
    const std::string log = Log();
    const auto first = log.find("OnStart. Successful. Server: Fake A.");
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find("OnStart. Successful. Server: Fake A.", first + 1), std::string::npos) << log;
}

// The daily tests compare calendar days: they start well clear of local midnight, so that
// the day cannot change while one of them runs.
void WaitUntilClearOfMidnight() {
    constexpr double kMargin = 60.0 / 86400.0;
    const double now = LocalAutomationDate();
    const double dayFraction = now - std::floor(now);
    if (dayFraction > 1.0 - kMargin) {
        ::Sleep(static_cast<DWORD>((1.0 - dayFraction) * 86400.0 * 1000.0) + 1000);
    }
}

bool IsToday(const SyncRecord& record) {
    return record.status == 0 && std::floor(record.days) == std::floor(LocalAutomationDate());
}

TEST_F(ScheduledRunTest, DailyRunsAtTheFirstTickWhenTheLastRunWasYesterday) {
    WaitUntilClearOfMidnight();
    PrepareServiceFiles(ServiceSettings(kModeDaily, m_server.address(), {"Fake A"}));
    WriteSyncRecord(SyncRecord{0, LocalAutomationDate() - 1.0});
    Launch();
    EXPECT_EQ(NextResult(), LOG_SUCCEEDED);
    EXPECT_NE(Log().find("Daily. Successful. Server: Fake A."), std::string::npos) << Log();
    // The record now says today, so the schedule is satisfied.
    SyncRecord record;
    EXPECT_TRUE(WaitForSyncRecord(record, IsToday)) << record.days << "\n" << Log();
    EXPECT_EQ(NextResult(5s), -1);
    EXPECT_EQ(m_server.requestCount(), 1u);
}

TEST_F(ScheduledRunTest, DailyWaitsWhenTheLastRunWasToday) {
    WaitUntilClearOfMidnight();
    PrepareServiceFiles(ServiceSettings(kModeDaily, m_server.address(), {"Fake A"}));
    WriteSyncRecord(SyncRecord{0, LocalAutomationDate()});
    // The clock's frequency is known: without it the service would poll at once to learn it.
    std::ofstream(WindowsFile(kDriftFileName), std::ios::binary) << CDriftFile::Encode(DriftState{});
    Launch();
    EXPECT_EQ(NextResult(5s), -1) << Log();
    EXPECT_EQ(m_server.requestCount(), 0u);
}

// Daily, synchronised today: a wake from sleep (as Windows broadcasts it to the control window)
// runs at once, ten times over with a fresh start each, measured from the notice to the console
// hearing "Successful". The second notice of the same wake adds no run, and WM_TIMECHANGE soon
// after it is the wake's; later, one the service did not cause is logged and, in this mode,
// starts nothing.
TEST_F(ScheduledRunTest, AWakeRunsAtOnceAndAClockSetByAnotherProgramIsLogged) {
    WaitUntilClearOfMidnight();
    PrepareServiceFiles(ServiceSettings(kModeDaily, m_server.address(), {"Fake A"}));
    WriteSyncRecord(SyncRecord{0, LocalAutomationDate()});
    std::ofstream(WindowsFile(kDriftFileName), std::ios::binary) << CDriftFile::Encode(DriftState{});
    std::vector<double> latencies;
    for (int i = 0; i < 10; ++i) {
        EndService(m_service);
        Launch();
        const HWND hWindow = WaitForExecWindow();
        const auto posted = std::chrono::steady_clock::now();
        ASSERT_TRUE(::PostMessageA(hWindow, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0));
        ASSERT_EQ(NextResult(), LOG_SUCCEEDED) << i << "\n" << Log();
        latencies.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - posted).count());
    }
    ASSERT_EQ(m_server.requestCount(), 10u);
    const auto lastWake = std::chrono::steady_clock::now();
    const HWND hWindow = WaitForExecWindow();
    ASSERT_TRUE(::PostMessageA(hWindow, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0));
    ASSERT_TRUE(::PostMessageA(hWindow, WM_TIMECHANGE, 0, 0));  // the wake's own change
    EXPECT_EQ(NextResult(3s), -1);
    std::this_thread::sleep_until(lastWake + 11s);
    ASSERT_TRUE(::PostMessageA(hWindow, WM_TIMECHANGE, 0, 0));
    const std::string changed = "] The clock was changed by another program.\r\n";
    EXPECT_TRUE(WaitForFileText(WindowsFile("zHoraluxServ.log"), changed, 5s)) << Log();
    EXPECT_EQ(NextResult(3s), -1);
    const std::string log = Log();
    EXPECT_EQ(log.find(changed), log.rfind(changed)) << log;
    EXPECT_EQ(m_server.requestCount(), 10u);
    EXPECT_EQ(log.find("addresses cannot be watched"), std::string::npos) << log;

    std::sort(latencies.begin(), latencies.end());
    std::printf("[ measured ] wake -> \"Successful\": median of 10 %.1f ms (%.1f to %.1f ms)\n",
                (latencies[4] + latencies[5]) / 2.0, latencies.front(), latencies.back());
}

// A failed daily run waits a minute; the news that an address appeared (as the address watch
// posts it) ends the wait at once.
TEST_F(ScheduledRunTest, AnAddressThatAppearsEndsAFailuresWait) {
    WaitUntilClearOfMidnight();
    PrepareServiceFiles(ServiceSettings(kModeDaily, m_server.address(), {"Fake A"}));
    m_server.queueAnswer(FakeReply::silent());
    Launch();
    ASSERT_EQ(NextResult(), LOG_FAILED) << Log();
    ASSERT_TRUE(::PostMessageA(WaitForExecWindow(), CExecWindow::kNetworkChangedMessage, 0, 0));
    EXPECT_EQ(NextResult(10s), LOG_SUCCEEDED) << Log();
    EXPECT_EQ(m_server.requestCount(), 2u);
}

}  // namespace
