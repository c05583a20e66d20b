// One sample of a server end to end on virtual time against scripted servers: what it measures
// (offset, delay, stratum, the address that answered) with the clock left alone, the year
// window, kisses, the socket library's log lines, cancellation, and a name's addresses asked in
// turn.

#include "common/LogResult.h"
#include "sntp/ServerSample.h"
#include "sntp/SocketPlatform.h"
#include "tests/support/FakeNameLookup.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/SyncOutcomeText.h"
#include "tests/support/VirtualSntpRig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr auto kPath = 20ms;

// Seconds from now to midnight UTC of 1 June of year.
double secondsUntilYear(const SystemClock& clock, int year) {
    CalendarTime t;
    t.wYear = static_cast<std::uint16_t>(year);
    t.wMonth = 6;
    t.wDay = 1;
    return NtpTimestamp::secondsSince(NtpTimestamp::fromSystemTime(t), clock.nowUtc());
}

class ServerSampleTest : public ::testing::Test {
protected:
    void SetUp() override { m_rig.server.answerWith(reply(0.0)); }

    // A sound reply from a server offsetBy seconds off, over a path of kPath.
    static FakeReply reply(double offsetBy) {
        FakeReply sound = FakeReply::offsetBy(offsetBy);
        sound.networkDelay = kPath;
        return sound;
    }

    SyncOutcome sample(const std::atomic<bool>* stop = nullptr, std::uint32_t timeoutMs = 1000,
                       const std::string& server = CVirtualSntpRig::kServer) {
        return sampleServer(server, context(m_rig.clock, stop, timeoutMs));
    }

    SampleContext context(const SystemClock& clock, const std::atomic<bool>* stop = nullptr,
                          std::uint32_t timeoutMs = 1000) {
        return SampleContext{clock,      m_log, m_rig.monotonic,        m_rig.network, m_pacer,
                             m_resolver, stop,  CVirtualSntpRig::kPort, timeoutMs};
    }

    CVirtualSntpRig m_rig;
    CRecordingLogSink m_log;
    CQueryPacer m_pacer{m_rig.monotonic};
    const std::shared_ptr<CFakeNameLookup> m_lookup = std::make_shared<CFakeNameLookup>();
    CHostResolver m_resolver{m_lookup, m_rig.monotonic};
};

// Also an hour or more: the sample is a measurement, whatever the discipline then makes of it.
TEST_F(ServerSampleTest, MeasuresOffsetDelayStratumAndAddressAndLeavesTheClockAlone) {
    for (double offset : {0.25, -7200.4}) {
        FakeReply answer = reply(offset);
        answer.stratum = 3;
        m_rig.server.answerWith(answer);
        const SyncOutcome outcome = sample();
        ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
        EXPECT_NEAR(outcome.clockOffset, offset, 1e-9);
        EXPECT_NEAR(outcome.roundTripDelay, 0.020, 1e-9);
        EXPECT_EQ(outcome.stratum, 3);
        EXPECT_EQ(outcome.address, m_rig.serverAddress);
        m_rig.monotonic.advance(4s);  // the spacing
    }
    EXPECT_EQ(m_rig.server.requestCount(), 2u) << "one request a sample";
    EXPECT_TRUE(m_rig.clock.settings().empty());
    EXPECT_TRUE(m_log.lines().empty());
}

TEST_F(ServerSampleTest, ServerTimesOutsideTwoThousandFourToTwentyOneHundredFourAreRefused) {
    m_rig.server.answerWith(reply(secondsUntilYear(m_rig.trueClock, 2003)));
    EXPECT_EQ(sample().failure, SyncFailure::YearOutOfRange);
    for (int year : {2036, 2100}) {
        m_rig.monotonic.advance(4s);
        m_rig.server.answerWith(reply(secondsUntilYear(m_rig.trueClock, year)));
        EXPECT_TRUE(sample().bSucceeded) << year;
    }
}

TEST(ServerSampleRules, YearWindowEdges) {
    for (int year : {2004, 2036, 2037, 2104}) {
        CalendarTime t;
        t.wYear = static_cast<std::uint16_t>(year);
        t.wMonth = year == 2104 ? 1 : 12;  // 2104 ends in February, with the era
        t.wDay = 1;
        EXPECT_TRUE(isPlausibleServerTime(NtpTimestamp::fromSystemTime(t))) << year;
    }
    CalendarTime t;
    t.wYear = 2003;
    t.wMonth = 12;
    t.wDay = 31;
    t.wHour = 23;
    t.wMinute = 59;
    t.wSecond = 59;
    t.wMilliseconds = 999;
    EXPECT_FALSE(isPlausibleServerTime(NtpTimestamp::fromSystemTime(t)));
    t.wYear = 1999;
    EXPECT_FALSE(isPlausibleServerTime(NtpTimestamp::fromSystemTime(t)));
}

TEST_F(ServerSampleTest, ARefusingKissFailsAndMarksTheServer) {
    m_rig.server.answerWith(FakeReply::kiss("RATE"));
    const SyncOutcome outcome = sample();
    EXPECT_FALSE(outcome.bSucceeded);
    EXPECT_TRUE(outcome.bServerRefused);
}

TEST_F(ServerSampleTest, AStopDuringTheWaitEndsTheSampleWhenItIsSet) {
    m_rig.server.answerWith(FakeReply::silent());
    std::atomic<bool> stop{false};
    const auto stopAt = m_rig.monotonic.now() + 2s;
    m_rig.monotonic.at(stopAt, [&stop] { stop.store(true); });
    const SyncOutcome outcome = sample(&stop, 5000);
    EXPECT_EQ(outcome.failure, SyncFailure::Cancelled);
    EXPECT_EQ(m_rig.monotonic.now(), stopAt);
}

// --- a name and its addresses ----------------------------------------------------------------

TEST_F(ServerSampleTest, ANamesAddressesAreAskedInTurnUntilOneAnswers) {
    const NetAddress closed = TestAddress("192.0.2.2", CVirtualSntpRig::kPort);
    m_rig.network.refuse(closed);
    m_lookup->answer("pool.test", {closed.withPort(0), m_rig.serverAddress.withPort(0)});
    const SyncOutcome outcome = sample(nullptr, 500, "pool.test");
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    EXPECT_EQ(outcome.address, m_rig.serverAddress);

    // A server refuses us only when every one of its addresses does.
    m_rig.monotonic.advance(4s);
    m_rig.server.answerWith(FakeReply::kiss("RATE"));
    const SyncOutcome kissed = sample(nullptr, 500, "pool.test");
    EXPECT_EQ(kissed.failure, SyncFailure::BadReply);
    EXPECT_FALSE(kissed.bServerRefused);
}

TEST_F(ServerSampleTest, ASilentFirstAddressGivesWayToTheSecond) {
    CSimulatedSntpServer second(m_rig.trueClock);
    const NetAddress secondAddress = TestAddress("192.0.2.3", CVirtualSntpRig::kPort);
    m_rig.network.attach(secondAddress, second);
    m_rig.server.answerWith(FakeReply::silent());
    m_lookup->answer("two.test", {m_rig.serverAddress.withPort(0), secondAddress.withPort(0)});
    const SyncOutcome outcome = sample(nullptr, 400, "two.test");
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    EXPECT_EQ(outcome.address, secondAddress);
    ASSERT_EQ(m_rig.server.requestCount(), 1u);
    ASSERT_EQ(second.requestCount(), 1u);
    EXPECT_EQ(second.requests()[0].arrival - m_rig.server.requests()[0].arrival, 400ms)
        << "the first address had its whole time-out";
}

TEST_F(ServerSampleTest, ALookupThatFailsHangsOrIsStoppedEndsTheSampleWithoutARequest) {
    const SyncOutcome unknown = sample(nullptr, 1000, "unknown.test");
    EXPECT_EQ(unknown.failure, SyncFailure::Network);
    EXPECT_EQ(unknown.nError, CFakeNameLookup::kUnknownName);

    m_lookup->hold();
    auto start = m_rig.monotonic.now();
    const SyncOutcome hanging = sample(nullptr, 300, "hanging.test");
    EXPECT_EQ(hanging.failure, SyncFailure::TimedOut);
    EXPECT_EQ(m_rig.monotonic.now() - start, 300ms);

    std::atomic<bool> stop{false};
    start = m_rig.monotonic.now();
    m_rig.monotonic.at(start + 100ms, [&stop] { stop.store(true); });
    const SyncOutcome stopped = sample(&stop, 5000, "hanging.test");
    EXPECT_EQ(stopped.failure, SyncFailure::Cancelled);
    EXPECT_EQ(m_rig.monotonic.now() - start, 100ms);
    EXPECT_EQ(m_lookup->lookups(), 2) << "the stopped sample waited for the lookup left behind";
    m_lookup->release();
    EXPECT_TRUE(m_rig.network.sent().empty());
}

TEST(SocketLibraryCheck, LogsWhyTheLibraryCannotBeUsed) {
    struct Case {
        SocketLibraryStatus status;
        const char* line;
    };
    const Case cases[] = {
        {{false, 10091, 0, 0}, "WSAStartup failed!"},
        {{true, 0, 1, 0}, "Winsock stack does not support version that is needed!"},
        {{true, 0, 2, 2}, "Winsock stack does not support version that is needed!"},
        {{true, 0, 1, 1}, nullptr},
    };
    for (const Case& c : cases) {
        CRecordingLogSink log;
        EXPECT_EQ(acceptSocketLibrary(c.status, log), c.line == nullptr);
        if (c.line == nullptr) {
            EXPECT_TRUE(log.lines().empty());
            continue;
        }
        const std::vector<LoggedLine> lines = log.lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].text, c.line);
        EXPECT_EQ(lines[0].resultCode, LOG_FAILED);
        EXPECT_EQ(lines[0].roundTripSeconds, 0.0);
    }
}

}  // namespace
