#include "sntp/SocketTransport.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "sntp/DatagramSocket.h"

namespace sp = socket_platform;

namespace {

SystemResult lastFailure() {
    return SystemResult::failure(static_cast<unsigned long>(sp::lastError()));
}

// One connected socket; closed with the channel.
class CSocketChannel final : public DatagramChannel {
public:
    explicit CSocketChannel(const MonotonicClock& clock) : m_clock(clock) {}

    SystemResult open(const NetAddress& peer) {
        return m_socket.create() && m_socket.connectTo(peer) ? SystemResult::success() : lastFailure();
    }

    SystemResult send(const std::uint8_t* data, std::size_t length) override {
        return m_socket.sendAll(data, length) ? SystemResult::success() : lastFailure();
    }

    DatagramWait waitReadable(MonotonicClock::TimePoint deadline, const std::atomic<bool>* stop) override {
        bool readable = false;
        if (!m_socket.waitReadable(remainingMs(deadline), readable, stop)) {
            return {DatagramWait::Status::Failed, lastFailure().nError};
        }
        if (readable) {
            return {DatagramWait::Status::Readable, 0};
        }
        return {stop && stop->load() ? DatagramWait::Status::Stopped : DatagramWait::Status::TimedOut, 0};
    }

    DatagramReceipt receive(std::uint8_t* buffer, std::size_t capacity) override {
        const int count = m_socket.receive(buffer, capacity);
        if (count == DatagramSocket::kNotFromPeer) {
            return {DatagramReceipt::Status::NotFromPeer, 0, 0};
        }
        if (count < 0) {
            return {DatagramReceipt::Status::Failed, 0, lastFailure().nError};
        }
        return {DatagramReceipt::Status::Received, static_cast<std::size_t>(count), 0};
    }

private:
    // Rounded up: a wait cut to whole milliseconds would end before the deadline.
    std::uint32_t remainingMs(MonotonicClock::TimePoint deadline) const {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - m_clock.now()).count();
        return static_cast<std::uint32_t>(
            std::clamp<decltype(left)>(left, 0, std::numeric_limits<std::uint32_t>::max()));
    }

    const MonotonicClock& m_clock;
    DatagramSocket m_socket;
};

}  // namespace

SystemResult CSocketTransport::connect(const NetAddress& peer, std::unique_ptr<DatagramChannel>& channel) {
    auto socket = std::make_unique<CSocketChannel>(m_clock);
    const SystemResult opened = socket->open(peer);
    if (opened) {
        channel = std::move(socket);
    }
    return opened;
}
