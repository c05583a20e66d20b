// HoraluxServ.exe -q as an administrator runs it, with its standard output redirected: against
// chronyd -x on 127.0.0.1 while the service runs, against a silent address, and against every
// kind of bad reply of the fake server. A query writes neither the log nor the record.

#include "tests/e2e/LocalChrony.h"
#include "tools/kit/ServiceProgram_win.h"

#include "common/WindowMessages.h"
#include "tests/support/BadReplyCases.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr const char* kServerAddress = "127.0.0.1";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

bool NoServiceFiles() {
    return !FileExists(WindowsFile("zHoraluxServ.log")) && !FileExists(WindowsFile("zHoraluxServ.bin"));
}

class QueryCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), nullptr)
            << "a control window is left over";
    }
    void TearDown() override {
        m_service.terminate();
        WaitForNoExecWindow(10s);
    }

    CChildProcess m_service;
};

TEST_F(QueryCommandTest, AgainstChronyWhileTheServiceRunsEverySampleAndTheSummaryExitZero) {
    CLocalChrony chrony;
    ASSERT_TRUE(chrony.start(kServerAddress)) << chrony.error();
    PrepareServiceFiles(ServiceSettings(kModeDemandOnly, kServerAddress, {"Local chrony"}));
    ASSERT_TRUE(LaunchService(m_service, "-d"));
    ASSERT_NE(WaitForExecWindow(), nullptr);
    ASSERT_TRUE(WaitForFileText(WindowsFile("zHoraluxServ.log"), "is started."));
    const std::string logBefore = ReadWholeFile(WindowsFile("zHoraluxServ.log"));

    // No server named: the settings file's starting server.
    const auto start = std::chrono::steady_clock::now();
    const ActionOutcome outcome = RunAction(ServiceExePath(), "-q -n 3");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 8s) << "three requests, four seconds apart";

    EXPECT_EQ(outcome.exitCode, 0u) << outcome.output;
    const std::vector<std::string> lines = Lines(outcome.output);
    ASSERT_EQ(lines.size(), 5u) << outcome.output;
    EXPECT_EQ(lines[0], "Querying 127.0.0.1 (127.0.0.1:123), 3 samples; the clock is not changed.");
    const std::regex sample(
        "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}  127\\.0\\.0\\.1:123  "
        "offset [-+][0-9]+\\.[0-9]{3} ms  delay [0-9]+\\.[0-9]{3} ms  stratum 8  leap 0  "
        "ref 127\\.127\\.1\\.1");
    for (std::size_t i = 1; i <= 3; ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], sample)) << lines[i];
    }
    EXPECT_TRUE(std::regex_match(lines[4],
                                 std::regex("Summary: 3 of 3 samples answered; median offset "
                                            "[-+][0-9.]+ ms; smallest delay [0-9.]+ ms; best "
                                            "estimate \\(offset at the smallest delay\\) [-+][0-9.]+ ms\\.")))
        << lines[4];
    EXPECT_EQ(ReadWholeFile(WindowsFile("zHoraluxServ.log")), logBefore) << "the query wrote to the log";
    EXPECT_FALSE(FileExists(WindowsFile("zHoraluxServ.bin")));
}

TEST_F(QueryCommandTest, ASilentAddressGivesATimeOutPerSampleAndExitOne) {
    PrepareServiceFiles(ServiceSettings(kModeDemandOnly, kServerAddress, {"Unused"}));

    // With the port, as the lines print the address.
    const ActionOutcome outcome = RunAction(ServiceExePath(), "-q 127.0.0.2:123 -n 2");

    EXPECT_EQ(outcome.exitCode, 1u) << outcome.output;
    const std::vector<std::string> lines = Lines(outcome.output);
    ASSERT_EQ(lines.size(), 4u) << outcome.output;
    for (std::size_t i = 1; i <= 2; ++i) {
        EXPECT_NE(lines[i].find("  127.0.0.2:123  failed: no reply within 5 s (time-out)"), std::string::npos)
            << lines[i];
    }
    EXPECT_EQ(lines[3], "Summary: 0 of 2 samples answered.");
    EXPECT_TRUE(NoServiceFiles());
}

TEST_F(QueryCommandTest, EachBadReplyOfTheServerNamesTheCheckItFailed) {
    CFakeSntpServer server;
    ASSERT_TRUE(server.start(kServerAddress)) << socket_platform::lastError();
    PrepareServiceFiles(ServiceSettings(kModeDemandOnly, kServerAddress, {"Fake"}));
    const std::vector<BadReplyCase> cases = OneBadReplyOfEachKind();
    for (const BadReplyCase& bad : cases) {
        server.answerWith(bad.reply);
        const ActionOutcome outcome = RunAction(ServiceExePath(), "-q 127.0.0.1 -n 1");
        EXPECT_EQ(outcome.exitCode, 1u) << outcome.output;
        EXPECT_NE(outcome.output.find(std::string("  127.0.0.1:123  failed: bad reply: ") + bad.shown),
                  std::string::npos)
            << outcome.output;
    }
    EXPECT_EQ(server.requestCount(), cases.size());
    EXPECT_TRUE(NoServiceFiles());
}

}  // namespace
