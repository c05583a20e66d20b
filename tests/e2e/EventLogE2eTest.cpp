// The events an administrator collects, from HoraluxServ.exe run as a process (-d) under Wine.
// Wine's event log keeps nothing, but its trace channel (WINEDEBUG=+eventlog) shows each report
// with its identifier and insertion strings; the service's output goes to a file this test reads.

#include "common/ProductFacts.h"
#include "tools/kit/ServiceProgram_win.h"

#include "common/LogResult.h"
#include "common/WindowMessages.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

using namespace std::chrono_literals;

// The report's identifier in the trace line that opens it, then its strings, one a line.
bool HasEvent(const std::string& trace, const std::string& id, const std::string& strings) {
    return std::regex_search(trace, std::regex("0x" + id + "[^\n]*\n" + strings));
}

// Starts the service with its output in traceFile and the event log's trace on: the
// environment a child takes is ours when it starts.
bool StartTracedService(CChildProcess& service, HANDLE traceFile) {
    char previous[256] = {};
    const DWORD length = ::GetEnvironmentVariableA("WINEDEBUG", previous, sizeof previous);
    ::SetEnvironmentVariableA("WINEDEBUG", "+eventlog");
    const bool bStarted = service.start("\"" + ServiceExePath() + "\" -d", "", "", traceFile);
    ::SetEnvironmentVariableA("WINEDEBUG", length > 0 && length < sizeof previous ? previous : nullptr);
    return bStarted;
}

TEST(EventLogE2eTest, APlainProcessReportsASuccessAndAFailureWithTheirValues) {
    CFakeSntpServer server;
    ASSERT_TRUE(server.startOnFreeLoopbackAddress()) << "port 123 is taken";
    ASSERT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), nullptr) << "a control window is left over";
    std::string settings = ServiceSettings(kModeDemandOnly, server.address(), {"Fake A"});
    settings.insert(settings.find('\n') + 1, "nTimeOut=5\n");
    PrepareServiceFiles(settings);

    const std::string tracePath = WindowsFile("horalux-events-trace.txt");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const UniqueFileHandle trace(::CreateFileA(tracePath.c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(trace);
    CChildProcess service;
    ASSERT_TRUE(StartTracedService(service, trace.get()));
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

    std::string text;
    const bool bBoth = WaitForFileContents(
        tracePath,
        [](const std::string& contents) { return contents.find("0x80000201") != std::string::npos; }, text,
        10s);
    service.terminate();
    EXPECT_TRUE(WaitForNoExecWindow(10s));
    ASSERT_TRUE(bBoth) << text;
    EXPECT_TRUE(HasEvent(text, "40000200",
                         "[^\n]*\"Fake A\"[^\n]*\n[^\n]*\"[-+][0-9]+\\.[0-9]{3}\"[^\n]*\n"
                         "[^\n]*\"[0-9]+\\.[0-9]{3}\"[^\n]*\n[^\n]*\"(stepped|slewed|none)\""))
        << text;
    EXPECT_TRUE(HasEvent(text, "80000201", "[^\n]*\"Fake A\"[^\n]*\n[^\n]*\"No reply in time.\"")) << text;
    ::DeleteFileA(tracePath.c_str());
}

}  // namespace
