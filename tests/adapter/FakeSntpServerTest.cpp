// The fake SNTP server is the yardstick of the end-to-end tests and the benchmark, so what it is
// told to simulate must be what a client measures.

#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>

#include "sntp/DatagramSocket.h"
#include "tests/support/TestAddress.h"

using namespace std::chrono_literals;

namespace {

struct Exchanged {
    int nDatagrams = 0;
    SntpResponse first;
};

class FakeSntpServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.start("127.0.0.1", 0)) << socket_platform::lastError(); }

    // One request, then every datagram that arrives within waitMs; the first one is parsed
    // and measured as a client would.
    Exchanged exchange(std::uint32_t waitMs = 3000) {
        Exchanged result;
        DatagramSocket socket;
        const NtpTimestamp sent = m_pClock->nowUtc();
        const SntpDatagram request = buildSntpRequest(sent);
        EXPECT_TRUE(socket.create() && socket.connectTo(TestAddress(m_server.address(), m_server.port())) &&
                    socket.sendAll(request.data(), request.size()));
        bool readable = false;
        while (socket.waitReadable(result.nDatagrams == 0 ? waitMs : 300, readable) && readable) {
            const NtpTimestamp arrived = m_pClock->nowUtc();
            std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};
            const int count = socket.receive(buffer.data(), buffer.size());
            if (count < 0) {
                break;
            }
            if (++result.nDatagrams == 1) {
                SntpDatagram header{};
                std::copy_n(buffer.begin(), header.size(), header.begin());
                result.first = parseSntpReply(header);
                result.first.destinationTime = arrived;
                computeDelayAndOffset(result.first);
            }
        }
        return result;
    }

    CSocketLibrary m_library;
    std::unique_ptr<SystemClock> m_pClock = makeSystemClock();
    CFakeSntpServer m_server;
};

TEST_F(FakeSntpServerTest, ScriptedOffsetDelayAndHoldAreWhatAClientMeasures) {
    FakeReply reply = FakeReply::offsetBy(0.25);
    reply.networkDelay = 40ms;
    reply.holdTime = 10ms;
    m_server.answerWith(reply);

    // A busy machine only ever makes an exchange late, never early: the least late of a few
    // tries is the one that shows what the server simulates.
    Exchanged got = exchange();
    for (int i = 0; i < 4 && got.nDatagrams == 1 && got.first.roundTripDelay - 0.040 >= 0.030; ++i) {
        got = exchange();
    }
    ASSERT_EQ(got.nDatagrams, 1);
    EXPECT_EQ(checkSntpReply(kSntpHeaderSize, got.first, got.first.originateTime, got.first.destinationTime),
              ReplyCheck::Passed);
    // The simulated path is symmetric; scheduling delays only lengthen it, and whatever they
    // add to one leg shows in the offset as at most half of what they add to the round trip.
    const double lateness = got.first.roundTripDelay - 0.040;
    EXPECT_GE(lateness, 0.0);
    EXPECT_LT(lateness, 0.030);
    EXPECT_NEAR(got.first.clockOffset, 0.25, lateness / 2 + 0.001);
    const double held = NtpTimestamp::secondsSince(got.first.transmitTime, got.first.receiveTime);
    EXPECT_GE(held, 0.009);
    EXPECT_LT(held, 0.010 + 0.030);
}

TEST_F(FakeSntpServerTest, JitteredPathsVaryTheirDelayKeepTheirStampsTrueAndHoldUpNoOtherRequest) {
    FakeReply jittered = FakeReply::offsetBy(0.25);
    jittered.jitter = 20ms;
    m_server.answerWith(jittered);
    double shortest = 1.0;
    double longest = 0.0;
    for (int i = 0; i < 10; ++i) {
        const Exchanged got = exchange();
        ASSERT_EQ(got.nDatagrams, 1);
        const double delay = got.first.roundTripDelay;
        // The legs differ by at most the whole delay, so the offset by at most half of it.
        EXPECT_NEAR(got.first.clockOffset, 0.25, delay / 2 + 0.001);
        shortest = std::min(shortest, delay);
        longest = std::max(longest, delay);
    }
    EXPECT_GT(longest - shortest, 0.005) << "ten random paths of 0 to 40 ms, all alike";

    // Two requests at once on paths of 300 ms each: both arrive after 300 ms, not one after 600.
    FakeReply slow;
    slow.networkDelay = 300ms;
    m_server.answerWith(slow);
    DatagramSocket first;
    DatagramSocket second;
    const NetAddress server = TestAddress(m_server.address(), m_server.port());
    const SntpDatagram request = buildSntpRequest(m_pClock->nowUtc());
    const auto sent = std::chrono::steady_clock::now();
    for (DatagramSocket* socket : {&first, &second}) {
        ASSERT_TRUE(socket->create() && socket->connectTo(server) &&
                    socket->sendAll(request.data(), request.size()));
    }
    for (DatagramSocket* socket : {&first, &second}) {
        bool readable = false;
        ASSERT_TRUE(socket->waitReadable(3000, readable) && readable);
    }
    const auto took = std::chrono::steady_clock::now() - sent;
    EXPECT_GE(took, 290ms);
    EXPECT_LT(took, 500ms);
}

TEST_F(FakeSntpServerTest, QueuedAnswersComeFirstThenTheStandingOne) {
    FakeReply twice;
    twice.copies = 2;
    m_server.answerWith(twice);
    m_server.queueAnswer(FakeReply::silent());
    m_server.queueAnswer({FakeReply::kiss("RATE"), FakeReply::offsetBy(1.0)});

    EXPECT_EQ(exchange(500).nDatagrams, 0);
    const Exchanged kissThenTime = exchange();
    EXPECT_EQ(kissThenTime.nDatagrams, 2);
    EXPECT_EQ(kissCode(kissThenTime.first), "RATE");
    EXPECT_EQ(exchange().nDatagrams, 2);
    EXPECT_EQ(exchange().nDatagrams, 2);
    EXPECT_EQ(m_server.requestCount(), 4u);
}

TEST_F(FakeSntpServerTest, ShortRepliesAreCutAndLongOnesPadded) {
    FakeReply cut;
    cut.length = 32;  // ends before the receive time
    m_server.queueAnswer(cut);
    const Exchanged got = exchange();
    ASSERT_EQ(got.nDatagrams, 1);
    EXPECT_TRUE(got.first.receiveTime.isZero());
    EXPECT_FALSE(got.first.originateTime.isZero());

    const std::vector<std::uint8_t> request(kSntpHeaderSize, 0);
    FakeReply padded;
    padded.length = 68;  // with room for an authenticator
    const std::vector<std::uint8_t> bytes =
        CFakeSntpServer::buildReply(padded, request, NtpTimestamp(1, 0), NtpTimestamp(2, 0));
    ASSERT_EQ(bytes.size(), 68u);
    EXPECT_EQ(bytes[kSntpHeaderSize - 1], 0u);  // low byte of T3's fraction
    EXPECT_EQ(bytes[kSntpHeaderSize - 5], 2u);  // low byte of T3's seconds
}

TEST_F(FakeSntpServerTest, RequestsSentToAnotherAddressAreNotHeard) {
    // Under Wine the server's socket receives these too; the server must still not answer.
    DatagramSocket stray;
    const SntpDatagram request = buildSntpRequest(m_pClock->nowUtc());
    ASSERT_TRUE(stray.create() && stray.connectTo(TestAddress("127.0.0.9", m_server.port())) &&
                stray.sendAll(request.data(), request.size()));

    EXPECT_EQ(exchange().nDatagrams, 1);
    EXPECT_EQ(m_server.requestCount(), 1u);
}

TEST(FakeSntpServerAddressTest, ServersSideBySideTakeDifferentLoopbackAddresses) {
#ifdef _WIN32
    GTEST_SKIP() << "under Wine a server takes the port on every address";
#endif
    CFakeSntpServer first;
    CFakeSntpServer second;
    ASSERT_TRUE(first.startOnFreeLoopbackAddress()) << socket_platform::lastError();
    ASSERT_TRUE(second.startOnFreeLoopbackAddress()) << socket_platform::lastError();
    EXPECT_EQ(first.port(), CFakeSntpServer::kNtpPort);
    EXPECT_EQ(second.port(), CFakeSntpServer::kNtpPort);
    EXPECT_NE(first.address(), second.address());
}

}  // namespace
