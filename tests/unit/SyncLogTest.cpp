// The service's log file: line format, the delay suffix, which lines are kept and which are
// announced, trimming to the newest lines, the file as the one truth (cleared from outside,
// written by another process), the lock between writers, and the file surviving what
// happens around it.

#include "common/LogResult.h"
#include "engine/SyncLog.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/InProcessLock.h"
#include "tests/support/RecordingNotifier.h"
#include "tools/kit/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
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

    CTempDir dir;
    const std::string path = dir.file("zHoraluxServ.log");
    CFakeLocalClock clock;
    CRecordingNotifier notifier;
    LogLimits limits;
    CInProcessLock fileLock;
    SyncLog log{path, clock, notifier, fileLock, [this] { return limits; }};
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

    limits.nLogFileLen = 2;
    log.write("Failed. Server: B", LOG_FAILED, 0.0);
    EXPECT_EQ(fileLines().size(), 2u) << "the file is rewritten even when nothing was added";
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

// CR LF, LF and CR alone each end a line, as editors and other systems leave them.
TEST_F(SyncLogTest, ALongerFileKeepsItsNewestLinesWhateverEndsThem) {
    for (const char* end : {"\r\n", "\n", "\r"}) {
        std::string bytes;
        for (int i = 0; i < 300; ++i) {
            bytes += "l" + std::to_string(i) + end;
        }
        writeFile(bytes);
        log.write("new", LOG_NOTICE, 0.0);
        const std::vector<std::string> lines = fileLines();
        ASSERT_EQ(lines.size(), 100u);
        EXPECT_EQ(lines.front(), "l201");
        EXPECT_EQ(lines.back(), stamped("new"));
    }
    writeFile("a\r\nb\nc\rd\r\r\n");
    limits.nLogFileLen = 4;
    log.write("e", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(), ElementsAre("c", "d", "", stamped("e")));
}

// Found by fuzzing: an LF inside the text split the entry into two lines, which the console
// showed as two and the limit counted as two.
TEST_F(SyncLogTest, ALineBreakInTheTextStaysInItsLine) {
    limits.nLogFileLen = 2;
    log.write("Failed. Access is denied.\r\n", LOG_NOTICE, 0.0);
    log.write(std::string("\nb\r\0", 4), LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(),
                ElementsAre(stamped("Failed. Access is denied.  "), stamped(std::string(" b \0", 4))));
}

TEST_F(SyncLogTest, LinesAreCutAt511CharactersAndTheLinesAfterALongOneStay) {
    const std::string longLine(600, 'x');
    const std::string exact(511, 'y');
    writeFile(longLine + "\r\n" + exact + "\r\n\r\nafter\r\nlast without end");
    log.write("new", LOG_NOTICE, 0.0);
    log.write(std::string(600, 'z'), LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(), ElementsAre(std::string(511, 'x'), exact, "", "after", "last without end",
                                         stamped("new"), stamped(std::string(511 - 24, 'z'))));
}

// Another process's log object is another SyncLog on the same file, sharing the lock.
TEST_F(SyncLogTest, EachWriteKeepsWhatOthersWroteAndAClearedFileStartsAnew) {
    writeFile("[ 01/01/2005 00:00:00 ] earlier\r\n");
    SyncLog other(path, clock, notifier, fileLock, [this] { return limits; });
    log.write("service 1", LOG_NOTICE, 0.0);
    other.write("command line", LOG_NOTICE, 0.0);
    log.write("service 2", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(), ElementsAre("[ 01/01/2005 00:00:00 ] earlier", stamped("service 1"),
                                         stamped("command line"), stamped("service 2")));

    std::filesystem::remove(path);  // the console's "Clear Log File"
    log.write("after clearing", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(), ElementsAre(stamped("after clearing")));
}

namespace {

// The log's lock as another process holds it: that writer lets go after a while, adding its own
// line as it does, or never. The wait costs no time; the waits asked for are recorded.
class CContendedLock final : public CrossProcessLock {
public:
    static constexpr std::chrono::milliseconds kNever = std::chrono::milliseconds::max();

    void heldByAnother(std::chrono::milliseconds letsGoAfter, std::function<void()> atRelease = {}) {
        m_letsGoAfter = letsGoAfter;
        m_atRelease = std::move(atRelease);
    }

    bool acquire(std::chrono::milliseconds timeout) override {
        m_vecAsked.push_back(timeout);
        if (m_letsGoAfter > timeout) {
            return false;
        }
        if (m_atRelease) {
            m_atRelease();
        }
        m_letsGoAfter = std::chrono::milliseconds::zero();
        m_atRelease = {};
        return true;
    }
    void release() override {}

    const std::vector<std::chrono::milliseconds>& asked() const { return m_vecAsked; }

private:
    std::chrono::milliseconds m_letsGoAfter{0};
    std::function<void()> m_atRelease;
    std::vector<std::chrono::milliseconds> m_vecAsked;
};

}  // namespace

TEST_F(SyncLogTest, AWriteWaitsForAnotherWritersLockButNotForever) {
    using namespace std::chrono_literals;
    CContendedLock contended;
    SyncLog shared(path, clock, notifier, contended, [this] { return limits; });
    contended.heldByAnother(100ms, [this] { writeFile("[ 01/01/2005 00:00:00 ] the holder's line\r\n"); });
    shared.write("waited", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(), ElementsAre("[ 01/01/2005 00:00:00 ] the holder's line", stamped("waited")));

    contended.heldByAnother(CContendedLock::kNever);
    shared.write("not lost", LOG_NOTICE, 0.0);
    EXPECT_THAT(contended.asked(), ElementsAre(SyncLog::kLockWait, SyncLog::kLockWait));
    EXPECT_THAT(fileLines(), ElementsAre("[ 01/01/2005 00:00:00 ] the holder's line", stamped("waited"),
                                         stamped("not lost")));
}

// Said once while the file takes no lines, with the first line the consoles hear, and once more
// when it stops again after taking some.
TEST_F(SyncLogTest, AWriteThatCannotReachTheFileKeepsItsLineForTheNextAndSaysSoOnce) {
    limits.bOnlySuccLog = false;
    std::filesystem::create_directory(path);  // nothing can replace a folder
    log.write("started", LOG_NOTICE, 0.0);
    EXPECT_TRUE(notifier.codes().empty());
    log.write("held", LOG_BROKEN, 0.0);
    log.write("held too", LOG_FAILED, 0.0);
    EXPECT_THAT(notifier.codes(), ElementsAre(LOG_BROKEN, LOG_UNWRITTEN, LOG_FAILED));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    std::filesystem::remove(path);
    log.write("next", LOG_NOTICE, 0.0);
    EXPECT_THAT(fileLines(),
                ElementsAre(stamped("started"), stamped("held"), stamped("held too"), stamped("next")));

    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    log.write("held again", LOG_RELOADED, 0.0);
    EXPECT_THAT(notifier.codes(),
                ElementsAre(LOG_BROKEN, LOG_UNWRITTEN, LOG_FAILED, LOG_RELOADED, LOG_UNWRITTEN));
}
