// HoraluxServ.exe -status as a monitoring script runs it, with each of its exit codes: nothing
// answers (1), the service synchronised since it started (0), a fresh service whose run failed
// (2), and the service gone again (1, with the history's last row).

#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/ServiceProgram_win.h"

#include "common/LogResult.h"
#include "common/ProductFacts.h"
#include "common/WindowMessages.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>

namespace {

using namespace std::chrono_literals;

bool Has(const ActionOutcome& outcome, const std::string& pattern) {
    return std::regex_search(outcome.output, std::regex(pattern));
}

class StatusCommandE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.startOnFreeLoopbackAddress()) << "port 123 is taken";
        ASSERT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), nullptr)
            << "a control window is left over";
    }
    void TearDown() override { StopService(); }

    void StopService() {
        m_service.terminate();
        WaitForNoExecWindow(10s);
    }
    ActionOutcome Status() { return RunAction(ServiceExePath(), "-status", 30s); }
    // The service takes a run's end in at its next tick (a second): asked until it has.
    ActionOutcome StatusOnce(const std::string& pattern) {
        ActionOutcome outcome = Status();
        for (const auto deadline = std::chrono::steady_clock::now() + 15s;
             !Has(outcome, pattern) && std::chrono::steady_clock::now() < deadline;) {
            outcome = Status();
        }
        return outcome;
    }

    CFakeSntpServer m_server;
    CChildProcess m_service;
};

TEST_F(StatusCommandE2eTest, EachExitCodeSaysWhatAMonitoringScriptNeeds) {
    PrepareServiceFiles(ServiceSettings(kModeDemandOnly, m_server.address(), {"Fake A"}));
    ::DeleteFileA(WindowsFile(kHistoryFileName).c_str());
    ActionOutcome outcome = Status();
    EXPECT_EQ(outcome.exitCode, 1u) << outcome;
    EXPECT_EQ(outcome.output, "The service does not answer.\r\nThe history has no row.\r\n");

    // On demand: synchronised since the service started.
    CConsoleStandIn console;
    const HWND window = StartGreetedService(ServiceSettings(kModeDemandOnly, m_server.address(), {"Fake A"}),
                                            m_service, console);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(::PostMessageA(window, UM_SYNC_NOW, 0, 0));
    WPARAM code = 0;
    ASSERT_TRUE(console.waitFor(UM_SYNC_RESULT, code, 30s));
    ASSERT_EQ(code, static_cast<WPARAM>(LOG_SUCCEEDED));
    ASSERT_TRUE(WaitForFileText(WindowsFile(kHistoryFileName), "Fake A"));
    outcome = StatusOnce("^State: synchronised");
    EXPECT_EQ(outcome.exitCode, 0u) << outcome;
    EXPECT_TRUE(Has(outcome,
                    "^State: synchronised\r\nMode: DemandOnly\r\n"
                    "Last success: [-0-9]{10} [:0-9]{8} \\([0-9]+ s ago\\), server Fake A \\(" +
                        m_server.address() + ":123" +
                        "\\), offset [-+][0-9]+\\.[0-9]{3} ms, delay [0-9]+\\.[0-9]{3} ms\r\n"
                        "Frequency: [-+][0-9]+\\.[0-9]{3} ppm \\([-+][0-9]+\\.[0-9]{3} s a day\\)\r\n"
                        "Runs: none by itself; next run: none planned\r\n"
                        "Failures in a row: 0\r\n$"))
        << outcome;

    // A fresh start whose run failed: no success since the service started.
    StopService();
    m_server.answerWith(FakeReply::silent());
    std::string settings = ServiceSettings(kModeDemandOnly, m_server.address(), {"Fake A"});
    settings.insert(settings.find('\n') + 1, "nTimeOut=5\n");
    const HWND restarted = StartGreetedService(settings, m_service, console);
    ASSERT_NE(restarted, nullptr);
    ASSERT_TRUE(::PostMessageA(restarted, UM_SYNC_NOW, 0, 0));
    ASSERT_TRUE(console.waitFor(UM_SYNC_RESULT, code, 30s));
    ASSERT_EQ(code, static_cast<WPARAM>(LOG_FAILED));
    ASSERT_TRUE(WaitForFileText(WindowsFile(kHistoryFileName), ",failed,"));
    outcome = StatusOnce("Failures in a row: 1");
    EXPECT_EQ(outcome.exitCode, 2u) << outcome;
    EXPECT_TRUE(
        Has(outcome, "^State: not synchronised\r\nMode: DemandOnly\r\nLast success: none on record\r\n"))
        << outcome;
    EXPECT_TRUE(Has(outcome, "\r\nFailures in a row: 1\r\n$")) << outcome;

    StopService();
    outcome = Status();
    EXPECT_EQ(outcome.exitCode, 1u) << outcome;
    EXPECT_TRUE(Has(outcome,
                    "^The service does not answer.\r\nThe history's last row:\r\nTime \\(UTC\\),Label,"
                    "[^\r]*\r\n[-0-9T:.Z]+,[^\r]*,Fake A,[^\r]*,failed,[^\r]*\r\n$"))
        << outcome;
}

}  // namespace
