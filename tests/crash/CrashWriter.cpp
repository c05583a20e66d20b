// Writes the log and the last-synchronisation record through the service's own classes, over
// and over, until it is killed:
//   horalux_crash_writer FOLDER FIRST LIMIT
// For n = FIRST, FIRST + 1, ...: the log line "Line n" (limit LIMIT lines, a fixed time stamp),
// then the record with the date n. So the files after write n are known exactly, and whatever
// moment the process dies at, each file must be the one of some n. Prints "ready" once the
// objects are made, so that the driver's kill lands among the writes.

#include "common/LogResult.h"
#include "engine/LastSyncRecord.h"
#include "engine/SyncLog.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/InProcessLock.h"
#include "tests/support/RecordingNotifier.h"

#include <cstdio>
#include <cstdlib>
#include <string>

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
    std::printf("ready\n");
    std::fflush(stdout);
    for (long n = first;; ++n) {
        log.write("Line " + std::to_string(n), LOG_NOTICE, 0.0);
        record.store(AutomationDate(static_cast<double>(n), 0));
    }
}
