#include "sntp/DatagramSocket.h"

#include <algorithm>
#include <chrono>

namespace sp = socket_platform;

namespace {

using WaitClock = std::chrono::steady_clock;

// How long one slice of a stoppable wait may take: a broken-off run has to end promptly.
constexpr std::chrono::milliseconds kStopSlice{20};

constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;

bool stopRequested(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load();
}

}  // namespace

bool DatagramSocket::create() {
    m_hSocket.reset(sp::openUdpSocket());
    return m_hSocket.isValid();
}

bool DatagramSocket::connectTo(const std::string& host, int port) {
    if (port < kLowestPort || port > kHighestPort) {
        sp::setLastError(sp::kErrorInvalidArgument);
        return false;
    }
    std::uint32_t address = 0;
    if (!sp::parseDottedAddress(host, address) && !sp::lookUpHost(host, address)) {
        return false;
    }
    return sp::connectIpv4(m_hSocket.get(), address, static_cast<std::uint16_t>(port));
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
    return sp::receiveDatagram(m_hSocket.get(), buffer, capacity);
}

void DatagramSocket::close() {
    m_hSocket.reset();
}
