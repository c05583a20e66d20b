// The last-synchronisation record as the service loads it at start and after each settings
// reload: whatever the file holds, loading takes status and date together or not at all, says
// so in the log when the file is short, and leaves a value that the daily and hourly checks can
// use; storing it again and loading gives the same value.
//
// Input: the file's content.

#include "common/LogResult.h"
#include "engine/FileStore.h"
#include "engine/LastSyncRecord.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/RecordingLogSink.h"

#include <cstring>

namespace {

const AutomationDate kHeld = AutomationDate::fromCalendar(MakeLocalTime(2005, 3, 3, 14, 7, 9));

// Bit for bit: a NaN date is the same NaN.
bool SameValue(const AutomationDate& a, const AutomationDate& b) {
    const double da = a.days();
    const double db = b.days();
    return std::memcmp(&da, &db, sizeof da) == 0 && a.status() == b.status();
}

// What the schedule asks of the value: its calendar date (daily) and the minutes since (hourly).
void CheckSchedulable(const AutomationDate& value) {
    CalendarTime last;
    if (value.toCalendar(last)) {
        FUZZ_CHECK(value.isValid());
        FUZZ_CHECK(last.wYear >= 100 && last.wYear <= 9999 && last.wMonth >= 1 && last.wMonth <= 12);
        FUZZ_CHECK(last.wDay >= 1 && last.wDay <= 31 && last.wHour < 24 && last.wMinute < 60);
        FUZZ_CHECK(last.wSecond < 60 && last.wMilliseconds < 1000 && last.wDayOfWeek < 7);
        const AutomationDate back = AutomationDate::fromCalendar(last);
        FUZZ_CHECK(back.isValid());
        FUZZ_CHECK(AutomationSpan::between(back, value).wholeSeconds() == 0);
    } else {
        FUZZ_CHECK(!value.isValid());
    }
    for (const CalendarTime& now : {MakeLocalTime(2025, 12, 8, 1, 23, 45), MakeLocalTime(100, 1, 1, 0, 0, 0),
                                    MakeLocalTime(9999, 12, 31, 23, 59, 59, 999)}) {
        const std::int32_t minutes =
            AutomationSpan::between(AutomationDate::fromCalendar(now), value).wholeMinutes();
        (void)minutes;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = FuzzScratchFolder() + "/zHoraluxServ.bin";
    CRecordingLogSink log;
    LastSyncRecord record(path, log);
    record.store(kHeld);
    FuzzWriteFile(path, FuzzText(data, size));
    record.load();

    if (size < LastSyncRecord::kFileSize) {
        FUZZ_CHECK(SameValue(record.value(), kHeld));
        FUZZ_CHECK(log.lines().size() == 1 && log.lines()[0].resultCode == LOG_NOTICE);
        return 0;
    }
    FUZZ_CHECK(log.lines().empty());
    std::int32_t status = 0;
    double days = 0.0;
    std::memcpy(&status, data, sizeof status);
    std::memcpy(&days, data + 4, sizeof days);
    FUZZ_CHECK(SameValue(record.value(), AutomationDate(days, status)));
    FUZZ_CHECK(status == 0 || !record.value().isValid());
    CheckSchedulable(record.value());

    // Stored and loaded again: the same 12 bytes, the same value.
    const AutomationDate value = record.value();
    record.store(value);
    std::string bytes;
    FUZZ_CHECK(ReadFileContents(path, bytes) && bytes.size() == LastSyncRecord::kFileSize);
    LastSyncRecord again(path, log);
    again.load();
    FUZZ_CHECK(SameValue(again.value(), value));
    FUZZ_CHECK(log.lines().empty());
    return 0;
}

// The unit tests' files: a record of 3 March 2005 14:07:09, an invalid one, a short one, none.
std::vector<std::string> FuzzSeeds() {
    const auto file = [](std::int32_t status, double days) {
        std::string bytes(LastSyncRecord::kFileSize, '\0');
        std::memcpy(bytes.data(), &status, sizeof status);
        std::memcpy(bytes.data() + 4, &days, sizeof days);
        return bytes;
    };
    return {file(0, 38414.5882986111), file(1, 38414.5882986111), file(0, 0.0), file(0, -1.25),
            file(0, 2958465.99999),    std::string(5, '\x01'),    std::string()};
}
