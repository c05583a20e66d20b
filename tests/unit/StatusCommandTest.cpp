// HoraluxServ -status's decisions: the exit code per mode at the edges of "recently", and the
// lines a person reads for an answer and for no answer.

#include "service/StatusCommand.h"

#include "settings/SyncMode.h"

#include <gtest/gtest.h>

namespace {

CalendarTime At(std::uint16_t hour, std::uint16_t minute, std::uint16_t second) {
    CalendarTime time;
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 9;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

int ExitCodeFor(std::int32_t mode, std::int32_t successAge, std::int32_t uptime = 100000) {
    ClockStatus report;
    report.mode = mode;
    report.successAge = successAge;
    report.uptime = uptime;
    return DescribeStatus(report, std::nullopt, At(12, 0, 0)).exitCode;
}

TEST(StatusCommandTest, RecentlyEndsPerModeAtItsLimitAndNoSuccessIsNeverRecent) {
    struct Case {
        int mode;
        std::int32_t limit;
    };
    const Case cases[] = {
        {kSyncDaily, 2 * 86400},   {kSyncHourly, 3 * 3600}, {kSyncContinuous, 2 * 1024 + 3600},
        {kSyncOnStart, 100000},  // since the service started
        {kSyncDemandOnly, 100000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExitCodeFor(c.mode, 0), kStatusSynchronised) << c.mode;
        EXPECT_EQ(ExitCodeFor(c.mode, c.limit), kStatusSynchronised) << c.mode;
        EXPECT_EQ(ExitCodeFor(c.mode, c.limit + 1), kStatusNotSynchronised) << c.mode;
        EXPECT_EQ(ExitCodeFor(c.mode, -1), kStatusNotSynchronised) << c.mode;
    }
    // A success kept from before the service started does not count in the modes that run on request.
    EXPECT_EQ(ExitCodeFor(kSyncOnStart, 601, 600), kStatusNotSynchronised);
    EXPECT_EQ(ExitCodeFor(kSyncDaily, 601, 600), kStatusSynchronised);
}

TEST(StatusCommandTest, TheLinesSayTheStateTheLastSuccessTheFrequencyTheScheduleAndTheFailures) {
    HistoryRow success;
    success.utc = At(8, 59, 59);
    success.strServer = "Local chrony";
    success.strAddress = "127.0.0.1";
    success.offsetMs = -1.25;
    success.delayMs = 0.5;
    success.action = HistoryAction::Slewed;
    HistoryRow failure = success;
    failure.action = HistoryAction::Failed;
    EXPECT_EQ(NewestSuccess({success, failure})->action, HistoryAction::Slewed);
    EXPECT_FALSE(NewestSuccess({failure}).has_value());

    const ClockStatus report{kSyncHourly, 1, 3 * 3600 + 1, 2, 240, 11574, 3600, 240, 86400};
    const StatusOutput output = DescribeStatus(report, success, At(12, 0, 0));
    EXPECT_EQ(output.exitCode, kStatusNotSynchronised);
    EXPECT_EQ(output.lines,
              (std::vector<std::string>{
                  "State: not synchronised; backing off after failures until 2026-12-09 12:04:00; "
                  "steps only, because the Windows Time service runs",
                  "Mode: Hourly",
                  "Last success: 2026-12-09 08:59:59 (3 h ago), server Local chrony (127.0.0.1), "
                  "offset -1.250 ms, delay 0.500 ms",
                  "Frequency: +11.574 ppm (+1.000 s a day)",
                  "Runs: every 1 h; next run: 2026-12-09 12:04:00 (in 4 min)",
                  "Failures in a row: 2",
              }));

    const ClockStatus idle{kSyncDemandOnly, 0, -1, 0, 0, 0, 0, -1, 5};
    const StatusOutput idleOutput = DescribeStatus(idle, std::nullopt, At(12, 0, 0));
    EXPECT_EQ(idleOutput.lines[2], "Last success: none on record");
    EXPECT_EQ(idleOutput.lines[4], "Runs: none by itself; next run: none planned");

    EXPECT_EQ(DescribeNoAnswer(NoAnswer::Silent, std::nullopt).lines,
              (std::vector<std::string>{"The service does not answer.", "The history has no row."}));
    const StatusOutput held = DescribeNoAnswer(NoAnswer::HeldByAnother, failure);
    EXPECT_EQ(held.exitCode, kStatusNoAnswer);
    ASSERT_EQ(held.lines.size(), 4u);
    EXPECT_EQ(held.lines[0], "Another program holds the service's channel: its answer is not believed.");
    EXPECT_EQ(held.lines[2], std::string(kHistoryHeader));
    const std::optional<HistoryRow> shown = ParseHistoryRow(held.lines[3]);
    ASSERT_TRUE(shown.has_value()) << held.lines[3];
    EXPECT_EQ(shown->strServer, "Local chrony");
}

}  // namespace
