// The datagram socket against a fake SNTP server on loopback: connecting, the wait with its
// time-out and stop flag, receiving only from the peer, and the failures a caller must see.

#include "sntp/DatagramSocket.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "sntp/SntpPacket.h"
#include "sntp/SocketLibrary.h"
#include "sntp/SystemClock.h"
#include "tests/support/TestAddress.h"
#include "tools/kit/FakeSntpServer.h"

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// A slow shared machine may be late; never early.
constexpr auto kLateness = 1500ms;

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class DatagramSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_library.status().bStarted);
        ASSERT_TRUE(m_server.start("127.0.0.1", 0)) << socket_platform::lastError();
        ASSERT_TRUE(m_socket.create()) << socket_platform::lastError();
    }

    void connectAndSend(const std::string& host) {
        ASSERT_TRUE(m_socket.connectTo(TestAddress(host, m_server.port()))) << socket_platform::lastError();
        ASSERT_TRUE(m_socket.sendAll(m_request.data(), m_request.size())) << socket_platform::lastError();
    }

    void sendAndAwaitReply() {
        connectAndSend("127.0.0.1");
        bool readable = false;
        timedWait(5000, readable);
        ASSERT_TRUE(readable);
    }

    // Waits as the exchange does and says how long it took.
    long long timedWait(std::uint32_t timeoutMs, bool& readable, const std::atomic<bool>* stop = nullptr) {
        const Clock::time_point start = Clock::now();
        EXPECT_TRUE(m_socket.waitReadable(timeoutMs, readable, stop)) << socket_platform::lastError();
        return millisecondsSince(start);
    }

    CSocketLibrary m_library;
    CFakeSntpServer m_server;
    DatagramSocket m_socket;
    const SntpDatagram m_request = buildSntpRequest(makeSystemClock()->nowUtc());
};

// --- connecting and one exchange -------------------------------------------------------------

TEST_F(DatagramSocketTest, DottedAddressCarriesTheRequestAndTheReply) {
    ASSERT_NO_FATAL_FAILURE(sendAndAwaitReply());

    std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};
    EXPECT_EQ(m_socket.receive(buffer.data(), buffer.size()), static_cast<int>(kSntpHeaderSize));
    SntpDatagram reply{};
    std::copy_n(buffer.begin(), reply.size(), reply.begin());
    EXPECT_EQ(parseSntpReply(reply).originateTime, parseSntpReply(m_request).transmitTime);

    ASSERT_EQ(m_server.requestCount(), 1u);
    const std::vector<std::uint8_t> sent(m_request.begin(), m_request.end());
    EXPECT_EQ(m_server.requests().front().bytes, sent);
}

TEST_F(DatagramSocketTest, NoRequestGoesToAnUnspecifiedOrBroadcastAddressOrPortZero) {
    // 255.255.255.255 is no dotted address to inet_addr, but a lookup of it gives it back.
    const std::uint8_t allOnes[] = {255, 255, 255, 255};
    const std::uint8_t zeros[16] = {};
    for (const NetAddress& peer :
         {NetAddress(AddressFamily::IPv4, allOnes, 123), NetAddress(AddressFamily::IPv4, zeros, 123),
          NetAddress(AddressFamily::IPv6, zeros, 123), TestAddress("127.0.0.1", 0)}) {
        socket_platform::setLastError(0);
        EXPECT_FALSE(m_socket.connectTo(peer)) << peer.toString();
        EXPECT_EQ(socket_platform::lastError(), socket_platform::kErrorInvalidArgument) << peer.toString();
    }
}

// --- receiving -------------------------------------------------------------------------------

TEST_F(DatagramSocketTest, DatagramLongerThanTheBufferFailsInsteadOfBeingCut) {
    FakeReply longReply;
    longReply.length = 100;
    m_server.answerWith(longReply);
    ASSERT_NO_FATAL_FAILURE(sendAndAwaitReply());

    std::array<std::uint8_t, kSntpHeaderSize> small{};
    EXPECT_EQ(m_socket.receive(small.data(), small.size()), -1);
}

TEST_F(DatagramSocketTest, EmptyDatagramIsReadableAndReadsAsNothing) {
    FakeReply empty;
    empty.length = 0;
    m_server.answerWith(empty);
    ASSERT_NO_FATAL_FAILURE(sendAndAwaitReply());

    std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};
    EXPECT_EQ(m_socket.receive(buffer.data(), buffer.size()), 0);
}

TEST_F(DatagramSocketTest, ADatagramFromAnyOtherAddressIsDroppedNotTakenAsTheReply) {
    // The reply is waiting when the socket is pointed at another port: a stack that filters by
    // peer only on arrival would hand it out as the new peer's.
    ASSERT_NO_FATAL_FAILURE(sendAndAwaitReply());
    const int otherPort = m_server.port() == 65535 ? 1024 : m_server.port() + 1;
    ASSERT_TRUE(m_socket.connectTo(TestAddress("127.0.0.1", otherPort)));

    std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};
    bool readable = false;
    timedWait(1000, readable);
    if (!readable) {
        GTEST_SKIP() << "this stack dropped the waiting datagram when the socket was reconnected";
    }
    EXPECT_EQ(m_socket.receive(buffer.data(), buffer.size()), DatagramSocket::kNotFromPeer);
}

TEST_F(DatagramSocketTest, NobodyListeningIsReportedAtOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine does not pass the ICMP report on to select (Windows does)";
#endif
    // The fake server's port, after it has gone: the system answers "port unreachable".
    const int port = m_server.port();
    m_server.stop();
    ASSERT_TRUE(m_socket.connectTo(TestAddress("127.0.0.1", port)));
    ASSERT_TRUE(m_socket.sendAll(m_request.data(), m_request.size()));

    bool readable = false;
    EXPECT_LT(timedWait(5000, readable), 2000);
    ASSERT_TRUE(readable);
    std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};
    EXPECT_EQ(m_socket.receive(buffer.data(), buffer.size()), -1);
    EXPECT_NE(socket_platform::lastError(), 0);
}

// --- the wait and its time-out ---------------------------------------------------------------

class DatagramSocketTimeoutTest : public DatagramSocketTest,
                                  public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(DatagramSocketTimeoutTest, SilentServerIsWaitedForTheWholeTimeOut) {
    m_server.answerWith(FakeReply::silent());
    connectAndSend("127.0.0.1");

    const std::uint32_t timeoutMs = GetParam();
    bool readable = true;
    const long long elapsed = timedWait(timeoutMs, readable);
    EXPECT_FALSE(readable);
    EXPECT_GE(elapsed, timeoutMs);
    EXPECT_LT(elapsed, timeoutMs + kLateness.count());
}

INSTANTIATE_TEST_SUITE_P(Milliseconds, DatagramSocketTimeoutTest, ::testing::Values(0u, 2500u, 5000u));

TEST_F(DatagramSocketTest, UnsetStopFlagDoesNotShortenTheWait) {
    m_server.answerWith(FakeReply::silent());
    connectAndSend("127.0.0.1");
    const std::atomic<bool> stop{false};
    bool readable = true;
    const long long elapsed = timedWait(700, readable, &stop);
    EXPECT_FALSE(readable);
    EXPECT_GE(elapsed, 700);
    EXPECT_LT(elapsed, 700 + kLateness.count());
}

TEST_F(DatagramSocketTest, ReplyEndsTheWaitWhenItArrives) {
    FakeReply late;
    late.networkDelay = 300ms;
    m_server.answerWith(late);
    const std::atomic<bool> stop{false};
    for (const std::atomic<bool>* flag : {static_cast<const std::atomic<bool>*>(nullptr), &stop}) {
        connectAndSend("127.0.0.1");
        bool readable = false;
        const long long elapsed = timedWait(5000, readable, flag);
        EXPECT_TRUE(readable);
        EXPECT_GE(elapsed, 250);
        EXPECT_LT(elapsed, 300 + kLateness.count());
        std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};
        EXPECT_EQ(m_socket.receive(buffer.data(), buffer.size()), static_cast<int>(kSntpHeaderSize));
    }
}

TEST_F(DatagramSocketTest, StopFlagEndsTheWaitPromptly) {
    m_server.answerWith(FakeReply::silent());
    connectAndSend("127.0.0.1");
    std::atomic<bool> stop{false};
    std::thread breaker([&stop] {
        std::this_thread::sleep_for(200ms);
        stop.store(true);
    });
    bool readable = true;
    const long long elapsed = timedWait(5000, readable, &stop);
    breaker.join();
    EXPECT_FALSE(readable);
    EXPECT_GE(elapsed, 200);
    EXPECT_LT(elapsed, 200 + kLateness.count());
}

TEST_F(DatagramSocketTest, StopFlagSetBeforehandEndsTheWaitAtOnce) {
    connectAndSend("127.0.0.1");
    ASSERT_TRUE(m_server.waitForRequests(1, 5000ms));
    const std::atomic<bool> stop{true};
    bool readable = true;
    EXPECT_LT(timedWait(5000, readable, &stop), 500);
    EXPECT_FALSE(readable);
}

// --- closing ---------------------------------------------------------------------------------

TEST_F(DatagramSocketTest, ClosedSocketFailsEveryCallInsteadOfWaiting) {
    m_socket.close();
    m_socket.close();
    EXPECT_FALSE(m_socket.isOpen());

    EXPECT_FALSE(m_socket.connectTo(TestAddress("127.0.0.1", m_server.port())));
    EXPECT_FALSE(m_socket.sendAll(m_request.data(), m_request.size()));
    bool readable = true;
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(m_socket.waitReadable(5000, readable));
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_TRUE(readable) << "left as it was";
    std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};
    EXPECT_EQ(m_socket.receive(buffer.data(), buffer.size()), -1);
    EXPECT_EQ(m_server.requestCount(), 0u);
}

}  // namespace
