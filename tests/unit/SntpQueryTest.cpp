// One exchange against the fake server on loopback: the request on the wire, delay and offset,
// every kind of bad reply refused, discarded datagrams not ending the wait, kisses, time-outs,
// cancellation, and the spacing between two requests to one server.

#include "sntp/SntpQuery.h"
#include "sntp/SocketLibrary.h"
#include "sntp/SteadyClock.h"
#include "tests/support/FakeMonotonicClock.h"
#include "tests/support/SyncOutcomeText.h"
#include "tests/support/TestAddress.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

using Steady = std::chrono::steady_clock;

double secondsBetween(Steady::time_point from, Steady::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

class SntpQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_library.status().bStarted);
        // A port of its own on 127.0.0.1: Wine binds a UDP socket given another loopback address
        // to all addresses of the device, and its replies would then come from 127.0.0.1.
        ASSERT_TRUE(m_server.start("127.0.0.1", 0)) << socket_platform::lastError();
    }

    // Each exchange gets a pacer of its own unless a test is about spacing.
    SyncOutcome exchange(std::uint32_t timeoutMs = 1000, const std::atomic<bool>* stop = nullptr) {
        CFakeMonotonicClock monotonic;
        CQueryPacer pacer(monotonic);
        SntpQuery query(*m_pClock, pacer, stop, timeoutMs);
        return query.exchange(serverAddress(), m_response);
    }

    NetAddress serverAddress() const { return TestAddress(m_server.address(), m_server.port()); }

    CSocketLibrary m_library;
    std::unique_ptr<SystemClock> m_pClock = makeSystemClock();
    CFakeSntpServer m_server;
    SntpResponse m_response;
};

TEST_F(SntpQueryTest, MeasuresOffsetAndDelayWithTheHoldTimeTakenOff) {
    // A long hold and no simulated network: the delay is loopback's alone, whatever the
    // precision of the server's sleep.
    FakeReply reply = FakeReply::offsetBy(0.25);
    reply.holdTime = 200ms;
    m_server.answerWith(reply);
    const auto start = Steady::now();
    const SyncOutcome outcome = exchange();
    const double elapsed = secondsBetween(start, Steady::now());
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    EXPECT_GE(elapsed, 0.2);
    EXPECT_LT(m_response.roundTripDelay, 0.1) << "the server's hold is not network delay";
    // However the delay splits between the two ways, the offset is out by at most half of it.
    EXPECT_NEAR(m_response.clockOffset, 0.25, m_response.roundTripDelay / 2 + 1e-6);
    EXPECT_EQ(outcome.roundTripDelay, m_response.roundTripDelay);

    // The request was the client datagram whose transmit time came back as T1.
    const std::vector<ReceivedRequest> requests = m_server.requests();
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_EQ(requests[0].bytes.size(), kSntpHeaderSize);
    EXPECT_EQ(requests[0].bytes[0], 0x1B);
    EXPECT_EQ(NtpTimestamp::fromNetwork(requests[0].bytes.data() + 40), m_response.originateTime);
}

struct BadAnswer {
    const char* what;
    FakeReply reply;
    ReplyCheck expected;
};

FakeReply modified(void (*change)(FakeReply&)) {
    FakeReply reply;
    change(reply);
    return reply;
}

std::vector<BadAnswer> badAnswers() {
    return {
        {"empty", modified([](FakeReply& r) { r.length = 0; }), ReplyCheck::TooShort},
        {"32 bytes", modified([](FakeReply& r) { r.length = 32; }), ReplyCheck::TooShort},
        {"47 bytes", modified([](FakeReply& r) { r.length = 47; }), ReplyCheck::TooShort},
        {"garbage", FakeReply::garbage(), ReplyCheck::Passed},  // any check may catch it
        {"client mode", modified([](FakeReply& r) { r.mode = 3; }), ReplyCheck::NotServerMode},
        {"broadcast mode", modified([](FakeReply& r) { r.mode = 5; }), ReplyCheck::NotServerMode},
        {"version 0", modified([](FakeReply& r) { r.version = 0; }), ReplyCheck::UnsupportedVersion},
        {"version 5", modified([](FakeReply& r) { r.version = 5; }), ReplyCheck::UnsupportedVersion},
        {"wrong origin", modified([](FakeReply& r) { r.wrongOrigin = true; }), ReplyCheck::OriginMismatch},
        {"kiss INIT", FakeReply::kiss("INIT"), ReplyCheck::KissOfDeath},
        {"leap indicator 3", modified([](FakeReply& r) { r.leapIndicator = 3; }), ReplyCheck::Unsynchronised},
        {"stratum 16", modified([](FakeReply& r) { r.stratum = 16; }), ReplyCheck::BadStratum},
        {"transmit time zero", modified([](FakeReply& r) { r.zeroTransmitTime = true; }),
         ReplyCheck::ZeroTimestamp},
        {"transmit time a year after the receive time",
         modified([](FakeReply& r) { r.transmitShiftSeconds = 365 * 86400.0; }), ReplyCheck::HeldTooLong},
    };
}

TEST_F(SntpQueryTest, NoBadReplyIsAccepted) {
    constexpr std::uint32_t kTimeoutMs = 300;
    std::set<ReplyCheck> kinds;
    for (const BadAnswer& bad : badAnswers()) {
        m_server.answerWith(bad.reply);
        const auto start = Steady::now();
        const SyncOutcome outcome = exchange(kTimeoutMs);
        const double elapsed = secondsBetween(start, Steady::now());
        EXPECT_FALSE(outcome.bSucceeded) << bad.what;
        EXPECT_EQ(outcome.failure, SyncFailure::BadReply) << bad.what;
        if (bad.expected == ReplyCheck::Passed) {
            continue;
        }
        EXPECT_EQ(outcome.badReply, bad.expected) << bad.what << ": " << replyCheckName(outcome.badReply);
        kinds.insert(outcome.badReply);
        if (dispositionOf(bad.expected) == ReplyDisposition::Discard) {
            EXPECT_GE(elapsed, kTimeoutMs / 1000.0 - 0.002) << bad.what << ": discarded, so the wait went on";
        } else {
            EXPECT_LT(elapsed, kTimeoutMs / 1000.0 / 2) << bad.what << ": the server's answer ends the wait";
        }
    }
    EXPECT_EQ(kinds.size(), static_cast<std::size_t>(kReplyCheckKinds));
}

TEST_F(SntpQueryTest, ADiscardedDatagramDoesNotHideTheRealReplyAfterIt) {
    FakeReply forged;
    forged.wrongOrigin = true;
    forged.offsetSeconds = 1000.0;
    FakeReply duplicated = FakeReply::offsetBy(0.5);
    duplicated.copies = 3;
    m_server.answerWith({FakeReply::garbage(48), FakeReply::garbage(20), forged, duplicated});
    const SyncOutcome outcome = exchange();
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    EXPECT_NEAR(m_response.clockOffset, 0.5, m_response.roundTripDelay / 2 + 1e-6);
    // The copies left on the old socket do not reach the next exchange.
    m_server.answerWith(FakeReply::offsetBy(-0.5));
    const SyncOutcome next = exchange();
    ASSERT_TRUE(next.bSucceeded) << describe(next);
    EXPECT_NEAR(m_response.clockOffset, -0.5, m_response.roundTripDelay / 2 + 1e-6);
}

TEST_F(SntpQueryTest, RateDenyAndRestrictKissesRefuseTheServerOthersOnlyFail) {
    for (const char* code : {"RATE", "DENY", "RSTR", "INIT", "STEP"}) {
        m_server.answerWith(FakeReply::kiss(code));
        const SyncOutcome outcome = exchange();
        EXPECT_EQ(outcome.failure, SyncFailure::BadReply) << code;
        EXPECT_EQ(outcome.badReply, ReplyCheck::KissOfDeath) << code;
        EXPECT_EQ(outcome.bServerRefused, std::string(code) != "INIT" && std::string(code) != "STEP") << code;
        EXPECT_EQ(kissCode(m_response), code);
    }
}

TEST_F(SntpQueryTest, SilenceTimesOutAfterTheTimeOut) {
    m_server.answerWith(FakeReply::silent());
    for (std::uint32_t timeoutMs : {0u, 2500u, 5000u}) {
        const auto start = Steady::now();
        const SyncOutcome outcome = exchange(timeoutMs);
        const double elapsed = secondsBetween(start, Steady::now());
        EXPECT_EQ(outcome.failure, SyncFailure::TimedOut) << timeoutMs;
        EXPECT_EQ(outcome.nError, socket_platform::kErrorTimedOut);
        EXPECT_GE(elapsed, timeoutMs / 1000.0 - 0.002) << timeoutMs;
        EXPECT_LT(elapsed, timeoutMs / 1000.0 + 0.5) << timeoutMs;
    }
}

TEST_F(SntpQueryTest, NoServerOnThePortFails) {
    m_server.stop();  // the port answers with "unreachable" now
    const auto start = Steady::now();
    const SyncOutcome outcome = exchange(1000);
    const double elapsed = secondsBetween(start, Steady::now());
    ASSERT_FALSE(outcome.bSucceeded);
    // Linux and Windows report the ICMP error at the receive; Wine does not pass it on, so
    // there the exchange waits out its time.
    if (outcome.failure == SyncFailure::Network) {
        EXPECT_NE(outcome.nError, 0);
        EXPECT_LT(elapsed, 0.5);
    } else {
        EXPECT_EQ(outcome.failure, SyncFailure::TimedOut) << describe(outcome);
    }
}

TEST_F(SntpQueryTest, AStopEndsTheWaitPromptly) {
    m_server.answerWith(FakeReply::silent());
    std::atomic<bool> stop{false};
    Steady::time_point stoppedAt;
    std::thread stopper([&] {
        m_server.waitForRequests(1, 2000ms);
        std::this_thread::sleep_for(100ms);
        stoppedAt = Steady::now();
        stop.store(true);
    });
    const SyncOutcome outcome = exchange(5000, &stop);
    const auto returnedAt = Steady::now();
    stopper.join();
    EXPECT_EQ(outcome.failure, SyncFailure::Cancelled);
    EXPECT_LT(secondsBetween(stoppedAt, returnedAt), 0.2);
}

TEST_F(SntpQueryTest, TwoRequestsToOneServerAreFourSecondsApart) {
    m_server.answerWith(FakeReply{});
    CSteadyClock steady;
    CQueryPacer pacer(steady);
    SntpQuery query(*m_pClock, pacer);
    const auto firstStart = Steady::now();
    ASSERT_TRUE(query.exchange(serverAddress(), m_response).bSucceeded);
    const double firstTook = secondsBetween(firstStart, Steady::now());
    ASSERT_TRUE(query.exchange(serverAddress(), m_response).bSucceeded);
    const std::vector<ReceivedRequest> requests = m_server.requests();
    ASSERT_EQ(requests.size(), 2u);
    // Measured where the server notes arrivals: the first may be noted as late as the end of
    // its exchange, the second goes out no earlier than four seconds after the first.
    EXPECT_GE(secondsBetween(requests[0].arrival, requests[1].arrival), 4.0 - firstTook - 0.001);
    EXPECT_LT(secondsBetween(requests[0].arrival, requests[1].arrival), 4.5);
}

TEST(QueryPacer, SpacesRequestsToTheSameServerFromTheLastSend) {
    CFakeMonotonicClock clock;
    CQueryPacer pacer(clock);
    ASSERT_TRUE(pacer.awaitTurn("pool.example", nullptr));
    EXPECT_TRUE(clock.waits().empty()) << "a first request goes out at once";
    pacer.noteSend("pool.example");

    clock.advance(1500ms);
    ASSERT_TRUE(pacer.awaitTurn("POOL.example", nullptr));
    ASSERT_EQ(clock.waits().size(), 1u);
    EXPECT_EQ(clock.waits()[0], 2500ms) << "names differing in case are one server";

    ASSERT_TRUE(pacer.awaitTurn("other.example", nullptr));
    EXPECT_EQ(clock.waits().size(), 1u) << "another server is not held back";

    pacer.noteSend("pool.example");
    clock.advance(6s);
    ASSERT_TRUE(pacer.awaitTurn("pool.example", nullptr));
    EXPECT_EQ(clock.waits().back(), 0ms);
}

TEST(QueryPacer, AStopEndsTheWait) {
    CSteadyClock steady;
    CQueryPacer pacer(steady);
    pacer.noteSend("pool.example");
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop.store(true);
    });
    const auto start = Steady::now();
    EXPECT_FALSE(pacer.awaitTurn("pool.example", &stop));
    stopper.join();
    EXPECT_LT(secondsBetween(start, Steady::now()), 0.3);
}

}  // namespace
