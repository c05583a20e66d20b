// The datagram sockets are the same code in every build: this suite runs in the unit tier against
// the virtual network and in the adapter tier, on loopback in real time, against the sockets.

#include "tests/contract/DatagramTransportContract.h"

#include "sntp/SocketPlatform.h"
#include "tests/support/TestAddress.h"

#include <array>
#include <chrono>

using namespace std::chrono_literals;

namespace {

const NtpTimestamp kSent(3957768000u, 0x12345678u);  // the request's transmit time

// A channel to the subject's server that has sent one request.
std::unique_ptr<DatagramChannel> sendRequest(DatagramTransportSubject& subject) {
    std::unique_ptr<DatagramChannel> channel;
    EXPECT_TRUE(subject.transport().connect(subject.server(), channel));
    const SntpDatagram request = buildSntpRequest(kSent);
    EXPECT_TRUE(channel && channel->send(request.data(), request.size()));
    return channel;
}

// One request, and its reply, which must come within five seconds, received into buffer.
template <std::size_t Capacity>
DatagramReceipt exchange(DatagramTransportSubject& subject, std::array<std::uint8_t, Capacity>& buffer) {
    const std::unique_ptr<DatagramChannel> channel = sendRequest(subject);
    if (!channel) {
        return DatagramReceipt{};
    }
    EXPECT_EQ(channel->waitReadable(subject.clock().now() + 5s, nullptr).status,
              DatagramWait::Status::Readable);
    return channel->receive(buffer.data(), buffer.size());
}

}  // namespace

TEST_P(DatagramTransportContract, TheReplyIsReadableBeforeTheDeadlineAndReceivedWhole) {
    std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};
    const DatagramReceipt receipt = exchange(subject(), buffer);
    ASSERT_EQ(receipt.status, DatagramReceipt::Status::Received);
    ASSERT_EQ(receipt.nLength, kSntpHeaderSize);
    EXPECT_EQ(NtpTimestamp::fromNetwork(buffer.data() + 24), kSent) << "the reply to this request";
}

TEST_P(DatagramTransportContract, SilenceTimesOutAtTheDeadlineAndAStopEndsTheWait) {
    subject().script().answerWith(FakeReply::silent());
    const std::unique_ptr<DatagramChannel> channel = sendRequest(subject());
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
    std::array<std::uint8_t, kSntpHeaderSize> small{};
    const DatagramReceipt receipt = exchange(subject(), small);
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
