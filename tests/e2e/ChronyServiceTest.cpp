// HoraluxServ.exe as a process against a real NTP server: chronyd -x on 127.0.0.1, listed as
// the starting server. No fake SNTP server runs meanwhile (under Wine both would need port 123
// on every loopback address).

#include "tests/e2e/LocalChrony.h"
#include "tools/kit/ServiceProgram_win.h"

#include "common/LogResult.h"
#include "common/WindowMessages.h"
#include "tools/kit/ConsoleStandIn_win.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace {

using namespace std::chrono_literals;

constexpr const char* kChronyAddress = "127.0.0.1";

// The log line that holds text, without its line end; empty when there is none.
std::string LogLineWith(const std::string& log, const std::string& text) {
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.find(text) != std::string::npos) {
            return line;
        }
    }
    return {};
}

class ChronyServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), nullptr)
            << "a control window is left over";
        ASSERT_TRUE(m_chrony.start(kChronyAddress)) << m_chrony.error();
    }

    void TearDown() override {
        m_service.terminate();
        WaitForNoExecWindow(10s);
        m_chrony.stop();
    }

    CLocalChrony m_chrony;
    CChildProcess m_service;
};

TEST_F(ChronyServiceTest, AManualRunAgainstChronySucceedsAndLogsItsRoundTrip) {
    PrepareServiceFiles(ServiceSettings(kModeDemandOnly, kChronyAddress, {"Local chrony"}));
    ASSERT_TRUE(LaunchService(m_service, "-d"));
    const HWND hWindow = WaitForExecWindow();
    ASSERT_NE(hWindow, nullptr);
    CConsoleStandIn console;
    WPARAM parameter = 0;
    ASSERT_TRUE(::PostMessageA(hWindow, UM_CONSOLE_HELLO, reinterpret_cast<WPARAM>(console.get()), 0));
    ASSERT_TRUE(console.waitFor(UM_SERVICE_HELLO, parameter));

    ASSERT_TRUE(::PostMessageA(hWindow, UM_SYNC_NOW, 0, 0));
    ASSERT_TRUE(console.waitFor(UM_SYNC_RESULT, parameter, 30s));
    EXPECT_EQ(parameter, static_cast<WPARAM>(LOG_SUCCEEDED));

    const std::string log = ReadWholeFile(WindowsFile("zHoraluxServ.log"));
    const std::string line = LogLineWith(log, "Successful. Server: Local chrony.");
    EXPECT_TRUE(std::regex_search(line, std::regex("Manualy\\. Successful\\. Server: Local chrony\\. "
                                                   "Round Trip Delay: [0-9]+ ms$")))
        << log;

    SyncRecord record;
    ASSERT_TRUE(WaitForSyncRecord(record));
    EXPECT_EQ(record.status, 0);
}

}  // namespace
