// The service's log file: line format, the delay suffix, which lines are kept and which are
// announced, trimming, loading, and the file surviving what happens around it.

#include "common/LogResult.h"
#include "engine/SyncLog.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/RecordingNotifier.h"
#include "tools/kit/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using ::testing::ElementsAre;

namespace {

class SyncLogTest : public ::testing::Test {
protected:
    std::string fileBytes() const {
        std::ifstream file(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }

    // The lines of the file; every line must end in CR LF.
    std::vector<std::string> fileLines() const {
        std::vector<std::string> lines;
        const std::string bytes = fileBytes();
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            const std::size_t end = bytes.find("\r\n", pos);
            EXPECT_NE(end, std::string::npos) << "unterminated line at " << pos;
            if (end == std::string::npos) {
                break;
            }
            lines.push_back(bytes.substr(pos, end - pos));
            pos = end + 2;
        }
        return lines;
    }

    void writeFile(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }

    // Lines "n0" ... "n<count-1>" at the fixed time stamp.
    void writeNumbered(SyncLog& target, int count) {
        for (int i = 0; i < count; ++i) {
            target.write("n" + std::to_string(i), LOG_NOTICE, 0.0);
        }
    }

    static std::string stamped(const std::string& text) { return "[ 03/03/2005 14:07:09 ] " + text; }

    TempDir dir;
    const std::string path = dir.file("zHoraluxServ.log");
    FakeLocalClock clock;
    RecordingNotifier notifier;
    LogLimits limits;
    SyncLog log{path, clock, notifier, [this] { return limits; }};
};

}  // namespace

TEST_F(SyncLogTest, LineIsTimeStampedMonthFirstAndEndsInCrLf) {
    clock.setNow(MakeLocalTime(2005, 3, 3, 14, 7, 9));
    log.write("Options are updated.", LOG_RELOADED, 0.0);
    clock.setNow(MakeLocalTime(2025, 12, 8, 1, 2, 3));
    log.write("Horalux Clock Service v. 2.5 is started.", LOG_NOTICE, 0.0);
    EXPECT_EQ(fileBytes(),
              "[ 03/03/2005 14:07:09 ] Options are updated.\r\n"
              "[ 12/08/2025 01:02:03 ] Horalux Clock Service v. 2.5 is started.\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST_F(SyncLogTest, OnlySuccessesCarryTheDelayTruncatedToMilliseconds) {
    log.write("a", LOG_SUCCEEDED, 0.0999);
    log.write("b", LOG_SUCCEEDED, 0.0483);
    log.write("c", LOG_SUCCEEDED, 0.0);
    log.write("d", LOG_SUCCEEDED, 1e300);
    limits.bOnlySuccLog = false;
    log.write("e", LOG_FAILED, 0.25);
    log.write("f", LOG_BROKEN, 0.25);
    EXPECT_THAT(fileLines(),
                ElementsAre(stamped("a Round Trip Delay: 99 ms"), stamped("b Round Trip Delay: 48 ms"),
                            stamped("c Round Trip Delay: 0 ms"), stamped("d Round Trip Delay: 2147483647 ms"),
                            stamped("e"), stamped("f")));
}

TEST_F(SyncLogTest, EveryCodeButNoticeIsAnnouncedAlsoWhenTheFailureLineIsLeftOut) {
    limits.bOnlySuccLog = true;
    log.write("started", LOG_NOTICE, 0.0);
    log.write("Failed. Server: A", LOG_FAILED, 0.0);
    log.write("ok", LOG_SUCCEEDED, 0.01);
    log.write("broken", LOG_BROKEN, 0.0);
    log.write("reloaded", LOG_RELOADED, 0.0);
    log.write("odd", 7, 0.0);
    EXPECT_THAT(notifier.codes(), ElementsAre(0, 1, 2, 3, 7));
    EXPECT_THAT(fileLines(), ElementsAre(stamped("started"), stamped("ok Round Trip Delay: 10 ms"),
                                         stamped("broken"), stamped("reloaded"), stamped("odd")));

    std::filesystem::remove(path);
    log.write("Failed. Server: B", LOG_FAILED, 0.0);
    EXPECT_EQ(fileLines().size(), 5u) << "the file is rewritten even when nothing was added";
}

TEST_F(SyncLogTest, TrimsTheOldestLinesToTheLimitReadAtEachWrite) {
    writeNumbered(log, 100);
    log.write("n100", LOG_NOTICE, 0.0);
    std::vector<std::string> lines = fileLines();
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines.front(), stamped("n1"));
    EXPECT_EQ(lines.back(), stamped("n100"));

    limits.nLogFileLen = 3;
    log.write("n101", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(), ElementsAre(stamped("n99"), stamped("n100"), stamped("n101")));

    for (int limit : {0, -5}) {
        limits.nLogFileLen = limit;
        log.write("gone", LOG_RELOADED, 0.0);
        EXPECT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(fileBytes(), "");
    }
}

TEST_F(SyncLogTest, LoadTakesTheFirstLinesUpToTheLimit) {
    writeFile("a\r\nb\nc\r\nd\r\n");
    limits.nLogFileLen = 3;
    log.load();
    log.write("e", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(), ElementsAre("b", "c", stamped("e")));
}

TEST_F(SyncLogTest, LoadKeepsTheFirst511CharactersOfALongLineAndTheLinesAfterIt) {
    const std::string longLine(600, 'x');
    const std::string exact(511, 'y');
    writeFile(longLine + "\r\n" + exact + "\r\nafter\r\nlast without end");
    log.load();
    log.write("new", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(),
                ElementsAre(std::string(511, 'x'), exact, "after", "last without end", stamped("new")));
}

TEST_F(SyncLogTest, FirstWriteWithoutLoadKeepsTheLinesAlreadyInTheFile) {
    writeFile("[ 01/01/2005 00:00:00 ] earlier\r\n");
    log.write("added", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(), ElementsAre("[ 01/01/2005 00:00:00 ] earlier", stamped("added")));
}

TEST_F(SyncLogTest, MissingFileStartsEmptyAndADeletedOneComesBackWithTheLinesHeld) {
    log.load();
    EXPECT_FALSE(std::filesystem::exists(path));
    log.write("first", LOG_NOTICE, 0.0);
    std::filesystem::remove(path);
    log.write("second", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(), ElementsAre(stamped("first"), stamped("second")));
}

TEST_F(SyncLogTest, AWriteThatCannotReachTheFileKeepsItsLineForTheNext) {
    std::filesystem::create_directory(path);  // nothing can replace a folder
    log.write("held", LOG_BROKEN, 0.0);
    EXPECT_THAT(notifier.codes(), ElementsAre(LOG_BROKEN));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    std::filesystem::remove(path);
    log.write("next", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(), ElementsAre(stamped("held"), stamped("next")));
}
