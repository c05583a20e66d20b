#include "sntp/DatagramSocket.h"

#include <algorithm>
#include <chrono>

namespace sp = socket_platform;

namespace {

using WaitClock = std::chrono::steady_clock;

// How long one slice of a stoppable wait may take: a broken-off run has to end promptly.
constexpr std::chrono::milliseconds kStopSlice{20};

bool stopRequested(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load();
}

}  // namespace

bool DatagramSocket::create() {
    m_hSocket.reset(sp::openUdpSocket(AddressFamily::IPv4));
    m_family = AddressFamily::IPv4;
    return m_hSocket.isValid();
}

bool DatagramSocket::connectTo(const NetAddress& peer) {
    if (!peer.isUsablePeer() || peer.port() == 0) {
        sp::setLastError(sp::kErrorInvalidArgument);
        return false;
    }
    if (m_hSocket.isValid() && m_family != peer.family()) {
        m_hSocket.reset(sp::openUdpSocket(peer.family()));  // its failure is the reason kept
        m_family = peer.family();
        if (!m_hSocket.isValid()) {
            return false;
        }
    }
    if (!sp::connectTo(m_hSocket.get(), peer)) {
        return false;
    }
    m_peer = peer;
    return true;
}

bool DatagramSocket::sendAll(const void* data, std::size_t length) {
    return sp::sendDatagram(m_hSocket.get(), data, length);
}

bool DatagramSocket::waitReadable(std::uint32_t timeoutMs, bool& readable, const std::atomic<bool>* stop) {
    // The platform's wait may end early (a signal, a coarse timer), so the deadline is ours.
    const WaitClock::time_point deadline = WaitClock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (stopRequested(stop)) {
            readable = false;
            return true;
        }
        const WaitClock::duration remaining =
            std::max(deadline - WaitClock::now(), WaitClock::duration::zero());
        const WaitClock::duration slice =
            stop ? std::min<WaitClock::duration>(remaining, kStopSlice) : remaining;
        const auto sliceUs = std::chrono::ceil<std::chrono::microseconds>(slice).count();
        const sp::WaitResult result = sp::waitReadable(m_hSocket.get(), static_cast<std::uint64_t>(sliceUs));
        if (result == sp::WaitResult::Failed) {
            return false;
        }
        if (result == sp::WaitResult::Readable || WaitClock::now() >= deadline) {
            readable = result == sp::WaitResult::Readable;
            return true;
        }
    }
}

int DatagramSocket::receive(void* buffer, std::size_t capacity) {
    NetAddress source;
    const int count = sp::receiveDatagram(m_hSocket.get(), buffer, capacity, source);
    return count >= 0 && source != m_peer ? kNotFromPeer : count;
}

void DatagramSocket::close() {
    m_hSocket.reset();
}
