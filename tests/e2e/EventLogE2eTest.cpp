// The events an administrator collects, from HoraluxServ.exe run as a process (-d) under Wine.
// Wine's event log keeps nothing, but its trace channel (WINEDEBUG=+eventlog) shows each report
// with its identifier and insertion strings on the standard error the service inherits from
// this program; run-with-stderr-file.sh puts that in a file and names it here.

#include "common/ProductFacts.h"
#include "tools/kit/ServiceProgram_win.h"

#include "common/LogResult.h"
#include "common/WindowMessages.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The report's identifier in the trace line that opens it, then its strings, one a line, on the
// same thread (other threads' lines may come between).
bool HasEvent(const std::string& trace, const std::string& id, const std::vector<std::string>& strings) {
    std::string pattern = "([0-9a-f]+):[a-z]+:advapi:ReportEventW \\([^,]*,[^,]*,[^,]*,0x" + id + ",";
    for (const std::string& text : strings) {
        pattern += "(?:[^\n]*\n)*?\\1:[a-z]+:eventlog:ReportEventW L\"" + text + "\"";
    }
    return std::regex_search(trace, std::regex(pattern));
}

// The environment a child takes is ours when it starts.
bool StartTracedService(CChildProcess& service) {
    char previous[256] = {};
    const DWORD length = ::GetEnvironmentVariableA("WINEDEBUG", previous, sizeof previous);
    ::SetEnvironmentVariableA("WINEDEBUG", "+eventlog");
    const bool bStarted = LaunchService(service, "-d");
    ::SetEnvironmentVariableA("WINEDEBUG", length > 0 && length < sizeof previous ? previous : nullptr);
    return bStarted;
}

TEST(EventLogE2eTest, APlainProcessReportsASuccessAndAFailureWithTheirValues) {
    const char* stderrFile = std::getenv("HORALUX_STDERR_FILE");
    if (stderrFile == nullptr) {
        GTEST_SKIP() << "runs as EventLogE2eTest.TracedEvents, which reads the trace";
    }
    CFakeSntpServer server;
    ASSERT_TRUE(server.startOnFreeLoopbackAddress()) << "port 123 is taken";
    ASSERT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), nullptr) << "a control window is left over";
    std::string settings = ServiceSettings(kModeDemandOnly, server.address(), {"Fake A"});
    settings.insert(settings.find('\n') + 1, "nTimeOut=5\n");
    PrepareServiceFiles(settings);

    CChildProcess service;
    ASSERT_TRUE(StartTracedService(service));
    CConsoleStandIn console;
    const HWND window = WaitForExecWindow();
    ASSERT_NE(window, nullptr);
    WPARAM code = 0;
    ASSERT_TRUE(::PostMessageA(window, UM_CONSOLE_HELLO, reinterpret_cast<WPARAM>(console.get()), 0));
    ASSERT_TRUE(console.waitFor(UM_SERVICE_HELLO, code));
    ASSERT_TRUE(::PostMessageA(window, UM_SYNC_NOW, 0, 0));
    ASSERT_TRUE(console.waitFor(UM_SYNC_RESULT, code, 30s));
    ASSERT_EQ(code, static_cast<WPARAM>(LOG_SUCCEEDED));
    server.answerWith(FakeReply::silent());
    ASSERT_TRUE(::PostMessageA(window, UM_SYNC_NOW, 0, 0));
    ASSERT_TRUE(console.waitFor(UM_SYNC_RESULT, code, 30s));
    ASSERT_EQ(code, static_cast<WPARAM>(LOG_FAILED));

    std::string trace;
    const bool bFailureSeen = WaitForFileContents(
        stderrFile,
        [](const std::string& text) { return text.find("No reply in time.") != std::string::npos; }, trace,
        10s);
    service.terminate();
    EXPECT_TRUE(WaitForNoExecWindow(10s));
    ASSERT_TRUE(bFailureSeen) << trace;
    EXPECT_TRUE(HasEvent(trace, "40000200",
                         {"Fake A", "[-+][0-9]+\\.[0-9]{3}", "[0-9]+\\.[0-9]{3}", "(stepped|slewed|none)"}))
        << trace;
    EXPECT_TRUE(HasEvent(trace, "80000201", {"Fake A", "No reply in time\\."})) << trace;
}

}  // namespace
