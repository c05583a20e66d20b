// Where the command-line actions' texts go, the system error text, and the bounded wait
// for a pending service.

#include "common/SystemErrorText.h"
#include "service/HostTexts.h"
#include "service/ServiceWait.h"

#include "common/LogResult.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct CapturingLog : LogSink {
    struct Line {
        std::string text;
        int code;
    };
    void write(const std::string& text, int resultCode, double) override {
        lines.push_back({text, resultCode});
    }
    std::vector<Line> lines;
};

class HostReporterTest : public ::testing::Test {
protected:
    CapturingLog log;
    std::string out;
    CHostReporter reporter{log, [this](const std::string& text) { out += text; }};
};

TEST_F(HostReporterTest, LoggedTextsAreNoticesWithoutLineBreaks) {
    reporter.report(HostText::Installed, {"Horalux Clock Service"});
    reporter.report(HostText::InstallPathFailed, {"Horalux Clock Service", "Access denied."});
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0].text, "Horalux Clock Service installed.");
    EXPECT_EQ(log.lines[0].code, LOG_NOTICE);
    EXPECT_EQ(log.lines[1].text, "Unable to install Horalux Clock Service - Access denied.");
    EXPECT_EQ(log.lines[1].code, LOG_NOTICE);
    EXPECT_TRUE(out.empty());
}

TEST_F(HostReporterTest, StopProgressGoesToTheStandardOutput) {
    reporter.report(HostText::Stopping, {"Horalux Clock Service"});
    reporter.report(HostText::StoppingDot);
    reporter.report(HostText::StoppedOut, {"Horalux Clock Service"});
    EXPECT_EQ(out, "Stopping Horalux Clock Service..\nHoralux Clock Service is stopped.\n");
    EXPECT_TRUE(log.lines.empty());
}

// Where each text goes is the table's; what the table must hold is a row for every text, since
// a text without one would be said as the first row's.
TEST(HostTexts, EveryTextHasARowOfItsOwn) {
    for (int value = 0; value <= static_cast<int>(kLastHostText); ++value) {
        const auto id = static_cast<HostText>(value);
        EXPECT_EQ(HostTextFor(id).id, id) << value;
        EXPECT_NE(std::string(HostTextFor(id).pattern), "") << value;
    }
}

TEST(FillPattern, InsertsInOrderAndKeepsUnfilledMarks) {
    EXPECT_EQ(FillPattern("\n%s failed to start: %s\n", {"S", "E"}), "\nS failed to start: E\n");
    EXPECT_EQ(FillPattern("%s and %s", {"one"}), "one and %s");
    EXPECT_EQ(FillPattern("100%", {}), "100%");
    EXPECT_EQ(FillPattern("%s", {"%s"}), "%s");
}

TEST(SystemErrorText, LineBreakRemovedAndOverlongTextsEmpty) {
    EXPECT_EQ(TrimSystemErrorText("Access denied.\r\n", 256), "Access denied.");
    EXPECT_EQ(TrimSystemErrorText("No line break", 256), "No line break");
    EXPECT_EQ(TrimSystemErrorText("", 256), "");
    const std::string fits(256 - kErrorTextSpare, 'x');
    EXPECT_EQ(TrimSystemErrorText(fits, 256), fits);
    EXPECT_EQ(TrimSystemErrorText(fits + "y", 256), "");
}

struct FakeService {
    std::vector<ServiceStateQuery> replies;
    std::size_t next = 0;
    int pauses = 0;
    int pendingCalls = 0;
    ServiceWaitPort port() {
        return {[this] { ++pauses; },
                [this] { return next < replies.size() ? replies[next++] : replies.back(); },
                [this] { ++pendingCalls; }};
    }
};

constexpr std::uint32_t kPending = 3;
constexpr std::uint32_t kStopped = 1;

TEST(ServiceWait, EndsWhenTheStateChanges) {
    FakeService service{{{true, kPending}, {true, kPending}, {true, kStopped}}};
    const ServiceStateQuery last = WaitWhilePending(service.port(), kPending);
    EXPECT_EQ(last.state, kStopped);
    EXPECT_EQ(service.pauses, 3);
    EXPECT_EQ(service.pendingCalls, 2);
}

TEST(ServiceWait, EndsWhenAQueryFails) {
    FakeService service{{{true, kPending}, {false, kPending}}};
    EXPECT_FALSE(WaitWhilePending(service.port(), kPending).bSucceeded);
    EXPECT_EQ(service.pauses, 2);
}

TEST(ServiceWait, AServiceHangingInItsStopIsGivenUpOn) {
    FakeService service{{{true, kPending}}};
    const ServiceStateQuery last = WaitWhilePending(service.port(), kPending);
    EXPECT_EQ(last.state, kPending);
    EXPECT_EQ(service.pauses, kMaxPendingPolls);
}

}  // namespace
