// Writes the log, the last-synchronisation record and the history through the service's own
// classes, over and over, until it is killed:
//   horalux_crash_writer FOLDER FIRST LIMIT
// For n = FIRST, FIRST + 1, ...: the log line "Line n" (limit LIMIT lines, a fixed time stamp),
// then the record with the date n, then the history's row "Row n" (at most kHistoryRows rows,
// trimmed kHistoryTrim at a time, so that trims come often). So the files after write n are known exactly,
// and whatever moment the process dies at, each file must be the one of some n. Prints "ready" once the
// objects are made, so that the driver's kill lands among the writes.

#include "common/LogResult.h"
#include "engine/HistoryFile.h"
#include "engine/HistoryFileStore.h"
#include "engine/LastSyncRecord.h"
#include "engine/SyncLog.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/InProcessLock.h"
#include "tests/support/RecordingNotifier.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr std::size_t kHistoryRows = 16;
constexpr std::size_t kHistoryTrim = 4;

HistoryRow RowNumbered(long n) {
    HistoryRow row;
    row.utc = CalendarTime{2025, 6, 0, 1, 12, 0, 0, 0};
    row.strLabel = "Row " + std::to_string(n);
    row.strServer = "Server, \"quoted\"";
    row.strReason = std::string(static_cast<std::size_t>(n % 40), 'x');  // rows of many lengths
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: horalux_crash_writer FOLDER FIRST LIMIT\n");
        return 2;
    }
    const std::string folder = argv[1];
    const long first = std::atol(argv[2]);
    LogLimits limits;
    limits.nLogFileLen = std::atoi(argv[3]);

    CFakeLocalClock clock;
    CRecordingNotifier notifier;
    CInProcessLock lock;
    SyncLog log(folder + "/zHoraluxServ.log", clock, notifier, lock, [&limits] { return limits; });
    LastSyncRecord record(folder + "/zHoraluxServ.bin", log);
    CHistoryFileStore historyStore(folder + "/zHoraluxHistory.csv");
    CInProcessLock historyLock;
    CHistoryFile history(historyStore, historyLock, HistoryLimits{kHistoryRows, kHistoryTrim, 90});
    std::printf("ready\n");
    std::fflush(stdout);
    for (long n = first;; ++n) {
        log.write("Line " + std::to_string(n), LOG_NOTICE, 0.0);
        record.store(AutomationDate(static_cast<double>(n), 0));
        history.AppendRow(RowNumbered(n));
    }
}
