// The last-synchronisation record: its initial value, the 12 bytes on disk, reloading, and
// what short, missing and unwritable files do.

#include "common/LogResult.h"
#include "engine/LastSyncRecord.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/RecordingLogSink.h"
#include "tools/kit/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

namespace {

const char* const kLoadFailed = "Error. Faild loading the last synchonization date and time.";
const char* const kStoreFailed = "Error. Faild storing the last synchonization date and time.";

class LastSyncRecordTest : public ::testing::Test {
protected:
    std::string fileBytes() const {
        std::ifstream file(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }

    void writeFile(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }

    void expectOnlyLine(const char* text) const {
        const std::vector<LoggedLine> lines = log.lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].text, text);
        EXPECT_EQ(lines[0].resultCode, LOG_NOTICE);
        EXPECT_EQ(lines[0].roundTripSeconds, 0.0);
    }

    CTempDir dir;
    const std::string path = dir.file("zHoraluxServ.bin");
    CRecordingLogSink log;
    LastSyncRecord record{path, log};
    const AutomationDate march3 = AutomationDate::fromCalendar(MakeLocalTime(2005, 3, 3, 14, 7, 9));
};

}  // namespace

TEST_F(LastSyncRecordTest, WithoutAFileTheRecordIsTheEpochAndLoadingSaysNothing) {
    record.load();
    EXPECT_TRUE(record.value().isValid());
    EXPECT_EQ(record.value().days(), 0.0);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(LastSyncRecordTest, StoresTwelveLittleEndianBytesThatARestartReadsBack) {
    record.store(march3);
    const std::string bytes = fileBytes();
    ASSERT_EQ(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 4), std::string(4, '\0'));
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | static_cast<unsigned char>(bytes[4 + static_cast<std::size_t>(i)]);
    }
    double days = 0.0;
    std::memcpy(&days, &bits, sizeof days);
    EXPECT_EQ(days, march3.days());
    EXPECT_NEAR(days, 38414.5882986111, 1e-9);

    LastSyncRecord restarted(path, log);
    restarted.load();
    EXPECT_EQ(restarted.value().days(), march3.days());
    EXPECT_TRUE(restarted.value().isValid());
    EXPECT_TRUE(log.lines().empty());
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    std::string invalid = bytes;
    invalid[0] = 1;
    writeFile(invalid);
    restarted.load();
    EXPECT_FALSE(restarted.value().isValid()) << "status 1 in the file";
}

// A file that ends early, and twelve bytes whose date is none: not a number, infinite, or
// beyond the calendar.
TEST_F(LastSyncRecordTest, ADamagedFileIsReportedAndKeepsTheValueHeld) {
    const auto withDays = [](double days) {
        std::string bytes(12, '\0');
        std::memcpy(&bytes[4], &days, sizeof days);  // little-endian, as every build here is
        return bytes;
    };
    for (const std::string& damaged :
         {std::string("\0\0\0\0\x01", 5), std::string(12, '\xFF'), withDays(1e308),
          withDays(std::numeric_limits<double>::infinity()), withDays(-700000.0)}) {
        CRecordingLogSink caseLog;
        LastSyncRecord loaded(path, caseLog);
        loaded.store(march3);
        writeFile(damaged);
        loaded.load();
        EXPECT_EQ(caseLog.texts(), std::vector<std::string>{kLoadFailed}) << damaged.size();
        EXPECT_EQ(loaded.value().days(), march3.days());
        EXPECT_TRUE(loaded.value().isValid());
    }
}

TEST_F(LastSyncRecordTest, ADeletedFileIsWrittenAgainByTheNextStore) {
    record.store(march3);
    std::filesystem::remove(path);
    record.store(march3.plusSeconds(60));
    EXPECT_EQ(fileBytes().size(), 12u);
}

// Whether the file cannot be created (its folder is missing) or cannot be replaced (a folder
// stands in its place), the record says so and keeps the new value.
TEST_F(LastSyncRecordTest, AFileThatCannotBeCreatedOrReplacedIsReportedAndTheValueHeldIsTheNewOne) {
    LastSyncRecord nowhere(dir.file("missing-folder/zHoraluxServ.bin"), log);
    nowhere.store(march3);
    std::filesystem::create_directory(path);
    record.store(march3);

    const std::vector<LoggedLine> lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    for (const LoggedLine& line : lines) {
        EXPECT_EQ(line.text, kStoreFailed);
        EXPECT_EQ(line.resultCode, LOG_NOTICE);
    }
    EXPECT_EQ(nowhere.value().days(), march3.days());
    EXPECT_EQ(record.value().days(), march3.days());
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}
