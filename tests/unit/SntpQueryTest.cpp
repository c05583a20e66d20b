// One exchange on virtual time against a scripted server: the request on the wire, delay and
// offset to the time stamp's unit, every kind of bad reply refused, discarded datagrams not
// ending the wait, kisses, time-outs, an unreachable port, cancellation, and the spacing between
// two requests to one server.

#include "sntp/SntpQuery.h"
#include "sntp/SocketPlatform.h"
#include "tests/support/SyncOutcomeText.h"
#include "tests/support/VirtualSntpRig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

namespace {

using namespace std::chrono_literals;

// Differences of time stamps that simulated paths make exact, to the stamp's unit.
constexpr double kStampUnit = 1e-9;

class SntpQueryTest : public ::testing::Test {
protected:
    // Each exchange gets a pacer of its own unless a test is about spacing.
    SyncOutcome exchange(std::uint32_t timeoutMs = 1000, const std::atomic<bool>* stop = nullptr,
                         const NetAddress* server = nullptr) {
        CQueryPacer pacer(m_rig.monotonic);
        SntpQuery query(m_rig.ports(), pacer, stop, timeoutMs);
        return query.exchange(server ? *server : m_rig.serverAddress, m_response);
    }

    CVirtualSntpRig m_rig;
    SntpResponse m_response;
};

TEST_F(SntpQueryTest, MeasuresOffsetAndDelayWithTheHoldTimeTakenOff) {
    FakeReply reply = FakeReply::offsetBy(0.25);
    reply.networkDelay = 10ms;
    reply.holdTime = 200ms;
    m_rig.server.answerWith(reply);
    const SyncOutcome outcome = exchange();
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    EXPECT_EQ(m_rig.elapsed(), 210ms);
    EXPECT_NEAR(m_response.roundTripDelay, 0.010, kStampUnit) << "the server's hold is not network delay";
    EXPECT_NEAR(m_response.clockOffset, 0.25, kStampUnit) << "a symmetric path costs the offset nothing";
    EXPECT_EQ(outcome.roundTripDelay, m_response.roundTripDelay);

    // The request was the client datagram whose transmit time came back as T1.
    const std::vector<ReceivedRequest> requests = m_rig.server.requests();
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_EQ(requests[0].bytes.size(), kSntpHeaderSize);
    EXPECT_EQ(requests[0].bytes[0], 0x1B);
    EXPECT_EQ(NtpTimestamp::fromNetwork(requests[0].bytes.data() + 40), m_response.originateTime);
    EXPECT_EQ(m_rig.network.openChannels(), 0);
}

struct BadAnswer {
    const char* what;
    FakeReply reply;
    ReplyCheck expected;
};

constexpr auto kPath = 10ms;

// A reply changed as given, on a path of kPath.
FakeReply modified(void (*change)(FakeReply&)) {
    FakeReply reply;
    change(reply);
    reply.networkDelay = kPath;
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
        {"kiss INIT", modified([](FakeReply& r) { r = FakeReply::kiss("INIT"); }), ReplyCheck::KissOfDeath},
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
        m_rig.server.answerWith(bad.reply);
        const auto start = m_rig.monotonic.now();
        const SyncOutcome outcome = exchange(kTimeoutMs);
        const auto took = m_rig.monotonic.now() - start;
        EXPECT_FALSE(outcome.bSucceeded) << bad.what;
        EXPECT_EQ(outcome.failure, SyncFailure::BadReply) << bad.what;
        if (bad.expected == ReplyCheck::Passed) {
            continue;
        }
        EXPECT_EQ(outcome.badReply, bad.expected) << bad.what << ": " << replyCheckName(outcome.badReply);
        kinds.insert(outcome.badReply);
        if (dispositionOf(bad.expected) == ReplyDisposition::Discard) {
            EXPECT_EQ(took, std::chrono::milliseconds(kTimeoutMs))
                << bad.what << ": discarded, so the wait went on";
        } else {
            EXPECT_EQ(took, kPath) << bad.what << ": the server's answer ends the wait";
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
    m_rig.server.answerWith({FakeReply::garbage(48), FakeReply::garbage(20), forged, duplicated});
    const SyncOutcome outcome = exchange();
    ASSERT_TRUE(outcome.bSucceeded) << describe(outcome);
    EXPECT_NEAR(m_response.clockOffset, 0.5, kStampUnit);
    // The copies left on the old channel do not reach the next exchange.
    m_rig.server.answerWith(FakeReply::offsetBy(-0.5));
    const SyncOutcome next = exchange();
    ASSERT_TRUE(next.bSucceeded) << describe(next);
    EXPECT_NEAR(m_response.clockOffset, -0.5, kStampUnit);
}

TEST_F(SntpQueryTest, RateDenyAndRestrictKissesRefuseTheServerOthersOnlyFail) {
    for (const char* code : {"RATE", "DENY", "RSTR", "INIT", "STEP"}) {
        m_rig.server.answerWith(FakeReply::kiss(code));
        const SyncOutcome outcome = exchange();
        EXPECT_EQ(outcome.failure, SyncFailure::BadReply) << code;
        EXPECT_EQ(outcome.badReply, ReplyCheck::KissOfDeath) << code;
        EXPECT_EQ(outcome.bServerRefused, std::string(code) != "INIT" && std::string(code) != "STEP") << code;
        EXPECT_EQ(kissCode(m_response), code);
    }
}

TEST_F(SntpQueryTest, SilenceTimesOutAfterTheTimeOutAndAnUnreachablePortFailsAtOnce) {
    m_rig.server.answerWith(FakeReply::silent());
    for (std::uint32_t timeoutMs : {0u, 2500u, 5000u}) {
        const auto start = m_rig.monotonic.now();
        const SyncOutcome outcome = exchange(timeoutMs);
        EXPECT_EQ(outcome.failure, SyncFailure::TimedOut) << timeoutMs;
        EXPECT_EQ(outcome.nError, socket_platform::kErrorTimedOut);
        EXPECT_EQ(m_rig.monotonic.now() - start, std::chrono::milliseconds(timeoutMs));
    }

    const NetAddress closed = TestAddress("192.0.2.2", CVirtualSntpRig::kPort);
    m_rig.network.refuse(closed);
    const auto start = m_rig.monotonic.now();
    const SyncOutcome refused = exchange(1000, nullptr, &closed);
    EXPECT_EQ(refused.failure, SyncFailure::Network);
    EXPECT_EQ(refused.nError, socket_platform::kErrorPortUnreachable);
    EXPECT_EQ(m_rig.monotonic.now(), start);
    EXPECT_EQ(m_rig.network.openChannels(), 0);
}

TEST_F(SntpQueryTest, AStopEndsTheWaitWhenItIsSet) {
    m_rig.server.answerWith(FakeReply::silent());
    std::atomic<bool> stop{false};
    const auto stopAt = m_rig.monotonic.now() + 1500ms;
    m_rig.monotonic.at(stopAt, [&stop] { stop.store(true); });
    const SyncOutcome outcome = exchange(5000, &stop);
    EXPECT_EQ(outcome.failure, SyncFailure::Cancelled);
    EXPECT_EQ(m_rig.monotonic.now(), stopAt);
    EXPECT_EQ(m_rig.network.openChannels(), 0);
}

TEST_F(SntpQueryTest, TwoRequestsToOneServerAreFourSecondsApart) {
    FakeReply reply;
    reply.networkDelay = 30ms;
    m_rig.server.answerWith(reply);
    CQueryPacer pacer(m_rig.monotonic);
    SntpQuery query(m_rig.ports(), pacer);
    ASSERT_TRUE(query.exchange(m_rig.serverAddress, m_response).bSucceeded);
    ASSERT_TRUE(query.exchange(m_rig.serverAddress, m_response).bSucceeded);
    const std::vector<ReceivedRequest> requests = m_rig.server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].arrival - requests[0].arrival, CQueryPacer::kMinimumSpacing);
}

TEST(QueryPacer, SpacesRequestsToTheSameServerFromTheLastSendUntilAStop) {
    CVirtualMonotonicClock clock;
    CQueryPacer pacer(clock);
    const auto start = clock.now();
    ASSERT_TRUE(pacer.awaitTurn("pool.example", nullptr));
    EXPECT_EQ(clock.now(), start) << "a first request goes out at once";
    pacer.noteSend("pool.example");

    clock.advance(1500ms);
    ASSERT_TRUE(pacer.awaitTurn("POOL.example", nullptr));
    EXPECT_EQ(clock.now(), start + 4s) << "names differing in case are one server";

    ASSERT_TRUE(pacer.awaitTurn("other.example", nullptr));
    EXPECT_EQ(clock.now(), start + 4s) << "another server is not held back";

    pacer.noteSend("pool.example");
    clock.advance(6s);
    ASSERT_TRUE(pacer.awaitTurn("pool.example", nullptr));
    EXPECT_EQ(clock.now(), start + 10s);

    pacer.noteSend("pool.example");
    std::atomic<bool> stop{false};
    clock.at(start + 11s, [&stop] { stop.store(true); });
    EXPECT_FALSE(pacer.awaitTurn("pool.example", &stop));
    EXPECT_EQ(clock.now(), start + 11s);
}

}  // namespace
