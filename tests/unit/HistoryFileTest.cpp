// The history of runs: what a run leaves in it, its bounds, and two writers on one file.

#include "common/HistoryCsv.h"
#include "engine/HistoryFile.h"
#include "engine/HistoryFileStore.h"
#include "tests/support/EngineRig.h"
#include "tests/support/FakeHistoryStore.h"
#include "tests/support/InProcessLock.h"
#include "tools/kit/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using ::testing::ElementsAre;

namespace {

// 1 June 2025 00:00:00.000 UTC plus seconds, labelled with its number.
HistoryRow RowAt(std::int64_t seconds, int number) {
    CalendarTime utc{2025, 6, 0, 1, 0, 0, 0, 0};
    const CalendarDate date =
        dateFromJulianDay(julianDayFromDate(2025, 6, 1) + static_cast<std::int32_t>(seconds / 86400));
    utc.wYear = static_cast<std::uint16_t>(date.year);
    utc.wMonth = static_cast<std::uint16_t>(date.month);
    utc.wDay = static_cast<std::uint16_t>(date.day);
    utc.wHour = static_cast<std::uint16_t>(seconds % 86400 / 3600);
    utc.wMinute = static_cast<std::uint16_t>(seconds % 3600 / 60);
    utc.wSecond = static_cast<std::uint16_t>(seconds % 60);
    HistoryRow row;
    row.utc = utc;
    row.strLabel = "Row " + std::to_string(number);
    row.action = HistoryAction::None;
    return row;
}

std::vector<int> NumbersIn(const std::string& bytes) {
    std::vector<int> numbers;
    for (const HistoryRow& row : ScanHistory(bytes).rows) {
        numbers.push_back(std::stoi(row.strLabel.substr(4)));
    }
    return numbers;
}

std::vector<int> Range(int first, int last) {
    std::vector<int> numbers;
    for (int n = first; n <= last; ++n) {
        numbers.push_back(n);
    }
    return numbers;
}

}  // namespace

// A run as a user reads it in a spreadsheet: every field in its column, the title's comma and
// quotes kept; a failed run says why and has no figures.
TEST(HistoryFile, ARunsOutcomeLandsAsARowWithItsFields) {
    CEngineRig rig;
    rig.configure("", "[Servers]\nServers_Counter=1\nServers 0=Alpha, \"the first\"~alpha.test~1\n");
    SyncOutcome answer = CScriptedSyncAttempt::Succeeded(0.0483, 0.2);
    answer.stratum = 2;
    rig.attempt.push(answer);
    ASSERT_TRUE(rig.controller.StartRun(CSyncController::RunKind::Manual));
    rig.awaitIdle();
    ASSERT_TRUE(rig.controller.StartRun(CSyncController::RunKind::Manual));
    rig.awaitIdle();  // the script is used up: this one fails

    const std::string bytes = rig.historyStore.bytes();
    ASSERT_EQ(bytes.rfind(std::string(kHistoryHeader) + "\r\n", 0), 0u) << bytes;
    const std::vector<HistoryRow> rows = ScanHistory(bytes).rows;
    ASSERT_EQ(rows.size(), 2u) << bytes;
    EXPECT_EQ(FormatHistoryRow(rows[0]).substr(0, 17), "2025-06-01T12:00:");
    EXPECT_EQ(rows[0].strLabel, "Manualy");
    EXPECT_EQ(rows[0].strServer, "Alpha, \"the first\"");
    EXPECT_EQ(rows[0].strAddress, "192.0.2.1:123");
    EXPECT_DOUBLE_EQ(*rows[0].offsetMs, 200.0);
    EXPECT_DOUBLE_EQ(*rows[0].delayMs, 48.3);
    EXPECT_EQ(*rows[0].stratum, 2);
    EXPECT_EQ(rows[0].action, HistoryAction::Slewed);
    EXPECT_EQ(rows[0].strReason, "");

    EXPECT_EQ(rows[1].action, HistoryAction::Failed);
    EXPECT_FALSE(rows[1].offsetMs || rows[1].delayMs || rows[1].stratum);
    EXPECT_EQ(rows[1].strReason, "No reply in time.");
}

// Neither bound is ever broken, the newest rows always stay, and the file is rewritten only
// once a batch, not at every row.
TEST(HistoryFile, KeepsTheNewestRowsAndDaysAndTrimsInBatches) {
    CFakeHistoryStore store;
    CInProcessLock lock;
    CHistoryFile rows(store, lock, HistoryLimits{10, 4, 90});
    for (int n = 1; n <= 30; ++n) {
        ASSERT_TRUE(rows.AppendRow(RowAt(n * 60, n)));
        const std::vector<int> kept = NumbersIn(store.bytes());
        ASSERT_FALSE(kept.empty());
        EXPECT_LE(kept.size(), 10u) << "after row " << n;
        EXPECT_EQ(kept, Range(kept.front(), n)) << "after row " << n;
    }
    EXPECT_EQ(NumbersIn(store.bytes()).size(), 10u);
    EXPECT_LE(store.replaces(), 1 + (30 - 10) / 4 + 1);

    CFakeHistoryStore dayStore;
    CHistoryFile days(dayStore, lock, HistoryLimits{20000, 1000, 90});
    constexpr std::int64_t kDay = 86400;
    for (int n = 0; n <= 200; ++n) {
        ASSERT_TRUE(days.AppendRow(RowAt(n * kDay / 2, n)));  // two rows a day
        const std::vector<int> kept = NumbersIn(dayStore.bytes());
        ASSERT_FALSE(kept.empty());
        EXPECT_EQ(kept, Range(kept.front(), n)) << "after row " << n;
        EXPECT_GE(kept.front(), n - 180) << "a row older than 90 days after row " << n;
        EXPECT_LE(kept.front(), std::max(0, n - 178)) << "a row of the last 89 days gone after row " << n;
    }
    EXPECT_LE(dayStore.replaces(), 10);
}

// A file from another writer, or edited by hand, is appended to where it is tidy and tidied
// where it is not: no row lost either way.
TEST(HistoryFile, TakesUpAFileLeftByAnotherWriterWithACutRowWrittenOver) {
    CFakeHistoryStore store;
    CInProcessLock lock;
    const std::string header = std::string(kHistoryHeader) + "\r\n";
    const std::string before = header + FormatHistoryRow(RowAt(60, 1)) + FormatHistoryRow(RowAt(120, 2));
    store.setBytes(before + FormatHistoryRow(RowAt(180, 3)).substr(0, 30));
    CHistoryFile rows(store, lock);
    ASSERT_TRUE(rows.AppendRow(RowAt(240, 4)));
    EXPECT_EQ(store.bytes(), before + FormatHistoryRow(RowAt(240, 4)));
    EXPECT_EQ(store.replaces(), 0);

    store.setBytes("a note\r\n" + before.substr(header.size()));
    ASSERT_TRUE(rows.AppendRow(RowAt(300, 5)));
    EXPECT_EQ(store.bytes(), before + FormatHistoryRow(RowAt(300, 5)));
}

// Two writers on one file (the service and another instance) through the cross-process lock:
// every row of each stays, in its order, across the trims.
TEST(HistoryFile, TwoWritersNeverLoseEachOthersRows) {
    CTempDir dir;
    CInProcessLock lock;
    CHistoryFileStore storeA(dir.file("zHoraluxHistory.csv"));
    CHistoryFileStore storeB(dir.file("zHoraluxHistory.csv"));
    const HistoryLimits limits{120, 30, 90};
    CHistoryFile writerA(storeA, lock, limits);
    CHistoryFile writerB(storeB, lock, limits);
    constexpr int kRows = 150;
    const auto write = [](CHistoryFile& writer, int first) {
        for (int n = first; n < first + kRows; ++n) {
            writer.AppendRow(RowAt(n, n));
        }
    };
    std::thread a(write, std::ref(writerA), 1000);
    std::thread b(write, std::ref(writerB), 2000);
    a.join();
    b.join();

    std::vector<HistoryRow> rows;
    ASSERT_EQ(ReadHistory(dir.file("zHoraluxHistory.csv"), rows), FileReadResult::Read);
    std::vector<int> fromA;
    std::vector<int> fromB;
    for (const HistoryRow& row : rows) {
        const int n = std::stoi(row.strLabel.substr(4));
        (n < 2000 ? fromA : fromB).push_back(n);
    }
    EXPECT_LE(rows.size(), limits.nMaxRows);
    EXPECT_GE(rows.size(), limits.nMaxRows - limits.nTrimRows);
    // What a trim left of each writer's rows is its newest, without a gap (a writer that ran
    // first may have had all its rows trimmed).
    EXPECT_TRUE(fromA.empty() || fromA == Range(fromA.front(), 1000 + kRows - 1));
    EXPECT_TRUE(fromB.empty() || fromB == Range(fromB.front(), 2000 + kRows - 1));
}
