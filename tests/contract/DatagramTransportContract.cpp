// The datagram sockets are the same code in every build: this suite runs in the unit tier against
// the virtual network and in the adapter tier, on loopback in real time, against the sockets.

#include "tests/contract/DatagramTransportContract.h"

#include "sntp/SocketPlatform.h"
#include "tests/support/TestAddress.h"

#include <array>
#include <chrono>

using namespace std::chrono_literals;

namespace {

// A channel to the subject's server that has sent one request; the request's transmit time.
std::unique_ptr<DatagramChannel> sendRequest(DatagramTransportSubject& subject, NtpTimestamp& sent) {
    std::unique_ptr<DatagramChannel> channel;
    EXPECT_TRUE(subject.transport().connect(subject.server(), channel));
    sent = NtpTimestamp(3957768000u, 0x12345678u);
    const SntpDatagram request = buildSntpRequest(sent);
    EXPECT_TRUE(channel && channel->send(request.data(), request.size()));
    return channel;
}

// Waits for the reply, which must come within five seconds, and receives it into buffer.
template <std::size_t Capacity>
DatagramReceipt receiveReply(DatagramTransportSubject& subject, DatagramChannel& channel,
                             std::array<std::uint8_t, Capacity>& buffer) {
    EXPECT_EQ(channel.waitReadable(subject.clock().now() + 5s, nullptr).status,
              DatagramWait::Status::Readable);
    return channel.receive(buffer.data(), buffer.size());
}

}  // namespace

TEST_P(DatagramTransportContract, TheReplyIsReadableBeforeTheDeadlineAndReceivedWhole) {
    NtpTimestamp sent;
    const std::unique_ptr<DatagramChannel> channel = sendRequest(subject(), sent);
    ASSERT_TRUE(channel);
    std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};
    const DatagramReceipt receipt = receiveReply(subject(), *channel, buffer);
    ASSERT_EQ(receipt.status, DatagramReceipt::Status::Received);
    ASSERT_EQ(receipt.nLength, kSntpHeaderSize);
    EXPECT_EQ(NtpTimestamp::fromNetwork(buffer.data() + 24), sent) << "the reply to this request";
}

TEST_P(DatagramTransportContract, SilenceTimesOutAtTheDeadlineAndAStopEndsTheWait) {
    subject().script().answerWith(FakeReply::silent());
    NtpTimestamp sent;
    const std::unique_ptr<DatagramChannel> channel = sendRequest(subject(), sent);
    ASSERT_TRUE(channel);
    const MonotonicClock::TimePoint deadline = subject().clock().now() + 200ms;
    EXPECT_EQ(channel->waitReadable(deadline, nullptr).status, DatagramWait::Status::TimedOut);
    EXPECT_GE(subject().clock().now(), deadline);

    const std::atomic<bool> stop{true};
    EXPECT_EQ(channel->waitReadable(subject().clock().now() + 10s, &stop).status,
              DatagramWait::Status::Stopped);
}

TEST_P(DatagramTransportContract, ADatagramLongerThanTheBufferFailsAndNoRequestGoesToNoAddress) {
    FakeReply longReply;
    longReply.length = 100;
    subject().script().answerWith(longReply);
    NtpTimestamp sent;
    const std::unique_ptr<DatagramChannel> channel = sendRequest(subject(), sent);
    ASSERT_TRUE(channel);
    std::array<std::uint8_t, kSntpHeaderSize> small{};
    const DatagramReceipt receipt = receiveReply(subject(), *channel, small);
    EXPECT_EQ(receipt.status, DatagramReceipt::Status::Failed);
    EXPECT_EQ(receipt.nError, static_cast<unsigned long>(socket_platform::kErrorMessageSize));

    const std::uint8_t allOnes[4] = {255, 255, 255, 255};
    for (const NetAddress& nowhere :
         {TestAddress("0.0.0.0", 123), NetAddress(AddressFamily::IPv4, allOnes, 123)}) {
        std::unique_ptr<DatagramChannel> refused;
        const SystemResult result = subject().transport().connect(nowhere, refused);
        EXPECT_FALSE(result) << nowhere.toString();
        EXPECT_EQ(result.nError, static_cast<unsigned long>(socket_platform::kErrorInvalidArgument));
        EXPECT_FALSE(refused);
    }
}
