// The service run as a process: what is in place while the work runs, and a hidden process
// whose window cannot be made.

#include "service/ProcessMode.h"

#include "tests/support/RecordingLogSink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class CRecordingProcessMode : public ProcessModePort {
public:
    void catchConsoleStop(bool bCatch) override { m_vecCalls.push_back(bCatch ? "catch" : "release"); }
    SystemResult registerSessionClass() override {
        m_vecCalls.push_back("class");
        return m_nClassError == 0 ? SystemResult::success() : SystemResult::failure(m_nClassError);
    }
    SystemResult createSessionWindow() override {
        m_vecCalls.push_back("window");
        return m_nWindowError == 0 ? SystemResult::success() : SystemResult::failure(m_nWindowError);
    }
    void destroySessionWindow() override { m_vecCalls.push_back("no window"); }
    bool registerServiceProcess(bool bRegister) override {
        if (m_bHasServiceProcess) {
            m_vecCalls.push_back(bRegister ? "hide" : "unhide");
        }
        return m_bHasServiceProcess;
    }
    std::string errorText(std::uint32_t error) const override { return "error " + std::to_string(error); }

    std::vector<std::string> m_vecCalls;
    std::uint32_t m_nClassError = 0;
    std::uint32_t m_nWindowError = 0;
    bool m_bHasServiceProcess = false;
};

class ProcessModeTest : public ::testing::Test {
protected:
    bool Run(bool bFaceless, bool bWorkSucceeds = true) {
        return RunInProcessMode(port, reporter, bFaceless, [&] {
            port.m_vecCalls.push_back("work");
            return bWorkSucceeds;
        });
    }

    CRecordingProcessMode port;
    CRecordingLogSink log;
    CHostReporter reporter{log, [](const std::string&) {}};
};

using Calls = std::vector<std::string>;

TEST_F(ProcessModeTest, EachModeHasItsStopInPlaceOnlyWhileTheWorkRuns) {
    EXPECT_TRUE(Run(false));
    EXPECT_EQ(port.m_vecCalls, (Calls{"catch", "work", "release"}));

    port.m_vecCalls.clear();
    EXPECT_TRUE(Run(true));
    EXPECT_EQ(port.m_vecCalls, (Calls{"class", "window", "work", "no window"}));

    // Windows 9x also keeps the process across a log-off while it works.
    port.m_vecCalls.clear();
    port.m_bHasServiceProcess = true;
    EXPECT_FALSE(Run(true, false));
    EXPECT_EQ(port.m_vecCalls, (Calls{"class", "window", "hide", "work", "unhide", "no window"}));
    EXPECT_FALSE(Run(false, false));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(ProcessModeTest, AHiddenProcessWithoutItsWindowSaysSoRunsAndFails) {
    port.m_nClassError = 1410;
    EXPECT_FALSE(Run(true));
    EXPECT_EQ(port.m_vecCalls, (Calls{"class", "work", "no window"}));

    port.m_nClassError = 0;
    port.m_nWindowError = 1400;
    EXPECT_FALSE(Run(true));
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"RegisterClass failed - error 1410",
                                                     "CreateWindow failed - error 1400"}));
    EXPECT_EQ(log.lines()[0].resultCode, -1);
}

}  // namespace
