// Beside the Windows Time service: when it runs and synchronises (or cannot be asked) the clock
// is corrected by steps only; each change says so in the log once and reaches the discipline.

#include "engine/WindowsTimeWatch.h"

#include "common/LogResult.h"
#include "tests/support/FakeWindowsTimeProbe.h"
#include "tests/support/RecordingLogSink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::uint32_t kAccessDenied = 5;

WindowsTimeFacts Running(std::optional<std::string> type) {
    return WindowsTimeFacts{0, true, std::move(type)};
}

class CRecordingSwitch final : public StepsOnlySwitch {
public:
    void setStepsOnly(bool bStepsOnly) override { m_vecTold.push_back(bStepsOnly); }
    std::vector<bool> m_vecTold;
};

TEST(WindowsTimeWatchTest, OnlyARunningServiceWithASourceKeepsTheClock) {
    EXPECT_EQ(JudgeWindowsTime(WindowsTimeFacts{}), WindowsTimeVerdict::Idle) << "not installed";
    EXPECT_EQ(JudgeWindowsTime(WindowsTimeFacts{0, false, "NTP"}), WindowsTimeVerdict::Idle) << "stopped";
    EXPECT_EQ(JudgeWindowsTime(Running("nosync")), WindowsTimeVerdict::Idle);
    EXPECT_EQ(JudgeWindowsTime(Running("NT5DS")), WindowsTimeVerdict::Keeping);
    EXPECT_EQ(JudgeWindowsTime(Running(std::nullopt)), WindowsTimeVerdict::Keeping) << "the default source";
    EXPECT_EQ(JudgeWindowsTime(WindowsTimeFacts{kAccessDenied, false, std::nullopt}),
              WindowsTimeVerdict::Unknown);
}

TEST(WindowsTimeWatchTest, EachChangeIsLoggedOnceAndToldToTheDiscipline) {
    CFakeWindowsTimeProbe probe;
    CRecordingLogSink log;
    CWindowsTimeWatch watch(probe, log);
    CRecordingSwitch discipline;
    EXPECT_TRUE(watch.IsStepsOnly()) << "nothing is known before the first look";
    watch.Attach(discipline);

    watch.Look();  // a PC without it running: nothing to say
    EXPECT_FALSE(watch.IsStepsOnly());
    EXPECT_TRUE(log.texts().empty());

    probe.m_facts = Running("NTP");
    watch.Look();
    watch.Look();
    EXPECT_TRUE(watch.IsStepsOnly());
    probe.m_facts = WindowsTimeFacts{kAccessDenied, false, std::nullopt};
    watch.Look();
    EXPECT_TRUE(watch.IsStepsOnly());
    probe.m_facts = Running("NoSync");
    watch.Look();
    EXPECT_FALSE(watch.IsStepsOnly());

    const std::vector<LoggedLine> lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, CWindowsTimeWatch::kKeepingLine);
    EXPECT_THAT(
        lines[1].text,
        HasSubstr("The Windows Time service cannot be asked: Horalux corrects the clock by steps only - "));
    EXPECT_EQ(lines[2].text, CWindowsTimeWatch::kIdleLine);
    for (const LoggedLine& line : lines)
        EXPECT_EQ(line.resultCode, LOG_NOTICE) << "the console is not told";
    EXPECT_THAT(discipline.m_vecTold, ElementsAre(true, false, true, false));
}

}  // namespace
