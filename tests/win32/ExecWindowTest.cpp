// The control window in this process with the real engine and a scripted attempt: its class
// and title, the hello and options replies, the stop that ends its loop (also one that comes
// before the window exists), and "Is closed".

#include "service/ExecWindow_win.h"

#include "common/LogResult.h"
#include "common/ProductFacts.h"
#include "common/WinHandle_win.h"
#include "common/WindowMessages.h"
#include "engine/FileStore.h"
#include "engine/SyncLog.h"
#include "engine/Win32NamedMutex_win.h"
#include "sntp/SteadyClock.h"
#include "tests/support/EngineWiring.h"
#include "tests/support/FakeClockRate.h"
#include "tests/support/FakeConnectivity.h"
#include "tests/support/ScriptedSyncAttempt.h"
#include "tests/support/VirtualClock.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

class ExecWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_probe.m_bConnected = false;
        m_engine.writeSettings("nSynPeriod=3", "[Servers]\nServers_Counter=1\nServers 0=Loop~127.0.0.9~1\n");
    }
    void TearDown() override {
        if (m_thread.joinable()) {
            m_window.RequestQuit();
            m_thread.join();
        }
    }

    HWND startWindow() {
        m_thread = std::thread([this] { m_bCreated = m_window.RunExecWindow(); });
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (m_window.Window() == nullptr && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
        return m_window.Window();
    }

    std::string logText() {
        std::string bytes;
        ReadFileContents(m_logPath, bytes);
        return bytes;
    }

    const CTempDir m_dir;
    const std::string m_logPath = m_dir.file("zHoraluxServ.log");
    CWin32LocalClock m_clock;
    CWin32ResultNotifier m_notifier;
    CFakeConnectivity m_probe;
    CScriptedSyncAttempt m_attempt;  // nothing scripted: every attempt times out
    CWin32NamedMutex m_logLock{"Global\\HoraluxTest.ExecWindow.log"};
    SyncLog m_log{m_logPath, m_clock, m_notifier, m_logLock,
                  [this] { return m_engine.engineSettings.LogLimitsNow(); }};
    CSteadyClock m_monotonic;
    // The clock discipline steps and slews a clock of its own: the machine's is never touched.
    const std::unique_ptr<SystemClock> m_realClock = makeSystemClock();
    CVirtualClock m_systemClock{*m_realClock};
    CFakeClockRate m_rate;
    CFakeTimePrivilege m_privilege;
    CEngineWiring m_engine{
        EnginePorts{m_clock, m_monotonic, m_attempt, m_log, m_probe, m_systemClock, m_rate, m_privilege},
        m_dir.file("zHoraluxServ.bin"), m_dir.file("zHoraluxServ.drift")};
    CExecWindow m_window{m_engine.engine, m_notifier, m_log};
    std::thread m_thread;
    bool m_bCreated = false;
};

TEST_F(ExecWindowTest, HiddenWindowWithItsClassAndTitle) {
    const HWND window = startWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), window);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrA(window, GWL_STYLE)) & WS_POPUP,
              static_cast<DWORD>(WS_POPUP));
    EXPECT_NE(logText().find("] Horalux Clock Service v. " HORALUX_VERSION_TEXT " is started."),
              std::string::npos);
}

TEST_F(ExecWindowTest, HelloIsAnsweredAndResultsGoToTheLastConsole) {
    const HWND window = startWindow();
    ASSERT_NE(window, nullptr);
    CConsoleStandIn first;
    CConsoleStandIn second;
    WPARAM code = 99;
    ASSERT_TRUE(::PostMessageA(window, UM_CONSOLE_HELLO, reinterpret_cast<WPARAM>(first.get()), 0));
    ASSERT_TRUE(first.waitFor(UM_SERVICE_HELLO, code));
    ASSERT_TRUE(::PostMessageA(window, UM_CONSOLE_HELLO, reinterpret_cast<WPARAM>(second.get()), 0));
    ASSERT_TRUE(second.waitFor(UM_SERVICE_HELLO, code));
    ASSERT_TRUE(::PostMessageA(window, UM_OPTIONS_UPDATED, 0, 0));
    ASSERT_TRUE(second.waitFor(UM_SYNC_RESULT, code));
    EXPECT_EQ(code, static_cast<WPARAM>(LOG_RELOADED));
    EXPECT_FALSE(first.waitFor(UM_SYNC_RESULT, code, 300ms));
}

TEST_F(ExecWindowTest, StopEndsTheLoopAndSaysSo) {
    ASSERT_NE(startWindow(), nullptr);
    m_window.RequestQuit();
    m_thread.join();
    EXPECT_TRUE(m_bCreated);
    EXPECT_EQ(m_window.Window(), nullptr);
    EXPECT_NE(logText().find("] Is closed"), std::string::npos);
}

TEST_F(ExecWindowTest, StopBeforeTheWindowExistsStillEndsTheLoop) {
    m_window.RequestQuit();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(m_window.RunExecWindow());
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
}

}  // namespace
