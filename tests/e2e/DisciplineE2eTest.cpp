// The clock discipline as a user's service shows it, HoraluxServ.exe run as a process under
// Wine: the continuous mode's polls against a fake server (64 s at first, one request each),
// and a falseticker, served natively on its own loopback address
// beside a real NTP server on another, whose big step is refused with its log line while the
// true server is used. Wine's clock cannot be slewed (its rate calls do nothing), so what is
// seen here is what the service asks and decides, not a disciplined clock.

#include "tools/kit/ServiceProgram_win.h"

#include "common/LogResult.h"
#include "common/WindowMessages.h"
#include "tests/e2e/HostCommand.h"
#include "tests/e2e/LocalChrony.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A native server whose time is off by a given amount, on its own loopback address: started
// and stopped (by its pid) with tools/offset-sntp-local.sh; stopped also when a test fails.
class COffsetServer {
public:
    ~COffsetServer() { stop(); }

    bool start(const std::string& address, double offset) {
        stop();
        const HostCommandResult started =
            RunHostCommand(Script("start") + " " + address + " " + std::to_string(offset));
        m_bStarted = started.bEnded && started.exitCode == 0;
        m_strError = started.output;
        return m_bStarted;
    }
    void stop() {
        if (m_bStarted) {
            RunHostCommand(Script("stop"));
            m_bStarted = false;
        }
    }
    const std::string& error() const { return m_strError; }

private:
    static std::string Script(const char* action) {
        return "'" + SourceDirOnHost() + "/tools/offset-sntp-local.sh' " + action +
               " '" HORALUX_E2E_WORK_DIR "/falseticker'";
    }

    bool m_bStarted = false;
    std::string m_strError;
};

class DisciplineE2eTest : public ::testing::Test {
protected:
    void TearDown() override {
        m_service.terminate();
        WaitForNoExecWindow(10s);
        if (m_bGatewayUp) {
            const HostCommandResult down = NamespaceGateway("down");
            EXPECT_TRUE(down.bEnded && down.exitCode == 0) << down.output;
        }
    }

    void Launch(const std::string& settings) {
        PrepareServiceFiles(settings);
        ASSERT_TRUE(LaunchService(m_service, "-d"));
        m_hWindow = WaitForExecWindow();
        ASSERT_NE(m_hWindow, nullptr);
    }

    std::string Log() const { return ReadWholeFile(WindowsFile("zHoraluxServ.log")); }

    CChildProcess m_service;
    HWND m_hWindow = nullptr;
    bool m_bGatewayUp = false;  // the schedule runs only while Wine reports a connection
};

// The first polls come 64 s apart, one request each, also with five attempts allowed. Whether
// the wait then lengthens depends on the clock keeping the course the discipline set, which
// Wine's rate calls (they do nothing) do not: the unit tests and the simulator show that part.
TEST_F(DisciplineE2eTest, ContinuouslyPollsEverySixtyFourSecondsWithOneRequestAPoll) {
    if (!InPrivateNetworkNamespace()) {
        GTEST_SKIP() << "needs a default gateway: only inside tools/wine-session.sh's namespace";
    }
    const HostCommandResult up = NamespaceGateway("up");
    m_bGatewayUp = up.bEnded;
    ASSERT_TRUE(up.bEnded && up.exitCode == 0) << up.output;
    CFakeSntpServer server;
    ASSERT_TRUE(server.startOnFreeLoopbackAddress())
        << "port 123 is taken, by another Wine program's server perhaps";
    Launch(ServiceSettings(kModeContinuous, server.address(), {"Fake A"}, 5));
    ASSERT_TRUE(server.waitForRequests(3, 150s)) << server.requests().size() << " requests\n" << Log();
    std::this_thread::sleep_for(10s);  // room for a request a poll should not send
    const std::vector<ReceivedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 3u) << Log();
    for (std::size_t i = 1; i < requests.size(); ++i) {
        const double gap =
            std::chrono::duration<double>(requests[i].arrival - requests[i - 1].arrival).count();
        EXPECT_NEAR(gap, 64.0, 3.0) << i;
    }
    EXPECT_NE(Log().find("] Continuously. Successful. Server: Fake A."), std::string::npos) << Log();
}

// Falseticker first in the list, an hour off: its step needs a second server, which is asked at
// once and disagrees; the run fails with the notice that names both, the clock is not stepped,
// and the request walks on to the true server, which is used.
TEST_F(DisciplineE2eTest, AFalsetickersStepIsRefusedWithItsLogLineAndTheTrueServerIsUsed) {
    CLocalChrony chrony;
    ASSERT_TRUE(chrony.start("127.0.0.3")) << chrony.error();
    COffsetServer falseticker;
    ASSERT_TRUE(falseticker.start("127.0.0.2", 3600.0)) << falseticker.error();
    Launch(
        "[Options]\nnSynPeriod=3\nnMaxAttempts=1\nbOnlySuccLog=0\nnStartingServ=0\n[Servers]\n"
        "Servers_Counter=2\nServers 0=Falseticker~127.0.0.2~1\nServers 1=Reference~127.0.0.3~1\n");
    CConsoleStandIn console;
    WPARAM code = 0;
    ASSERT_TRUE(::PostMessageA(m_hWindow, UM_CONSOLE_HELLO, reinterpret_cast<WPARAM>(console.get()), 0));
    ASSERT_TRUE(console.waitFor(UM_SERVICE_HELLO, code));
    ASSERT_TRUE(::PostMessageA(m_hWindow, UM_SYNC_NOW, 0, 0));
    ASSERT_TRUE(console.waitFor(UM_SYNC_RESULT, code, 30s));
    EXPECT_EQ(code, static_cast<WPARAM>(LOG_FAILED));
    ASSERT_TRUE(console.waitFor(UM_SYNC_RESULT, code, 30s));
    EXPECT_EQ(code, static_cast<WPARAM>(LOG_SUCCEEDED));

    const std::string log = Log();
    EXPECT_NE(log.find("] Error. Server Falseticker would step the clock +3"), std::string::npos) << log;
    EXPECT_NE(log.find(" s; server Reference disagrees ("), std::string::npos) << log;
    EXPECT_NE(log.find(" s): clock left as it is.\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] Failed. Server: Falseticker\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] Manualy. Successful. Server: Reference. Round Trip Delay: "), std::string::npos)
        << log;
    EXPECT_EQ(log.find("not shifted"), std::string::npos) << "no step was tried\n" << log;
}

}  // namespace
