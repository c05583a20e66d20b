#include "tools/kit/FakeSntpServer.h"

#include <algorithm>
#include <cstring>

namespace sp = socket_platform;

namespace {

// Large enough for any request a client sends; a bigger one is dropped unanswered.
constexpr std::size_t kRequestCapacity = 2048;
// How long the answer thread waits before it looks at the stop flag again.
constexpr std::uint64_t kStopSliceUs = 20000;
constexpr int kFirstLoopbackHost = 1;
constexpr int kLastLoopbackHost = 254;
constexpr std::uint8_t kLoopbackNetwork = 127;
constexpr int kHighestPort = 65535;

bool isLoopback(std::uint32_t networkOrderAddress) {
    std::uint8_t octets[sizeof networkOrderAddress];
    std::memcpy(octets, &networkOrderAddress, sizeof octets);
    return octets[0] == kLoopbackNetwork;
}

}  // namespace

CFakeSntpServer::CFakeSntpServer() : m_pOwnClock(makeSystemClock()), m_trueClock(*m_pOwnClock) {}

CFakeSntpServer::CFakeSntpServer(const SystemClock& trueClock) : m_trueClock(trueClock) {}

CFakeSntpServer::~CFakeSntpServer() {
    stop();
}

bool CFakeSntpServer::start(const std::string& address, int port) {
    stop();
    server_socket::Endpoint local;
    if (port < 0 || port > kHighestPort || !sp::parseDottedAddress(address, local.address)) {
        sp::setLastError(sp::kErrorInvalidArgument);
        return false;
    }
    local.port = static_cast<std::uint16_t>(port);
    sp::UniqueSocket socket(sp::openUdpSocket(AddressFamily::IPv4));
    if (!m_library.status().bStarted || !socket.isValid() || !server_socket::bindIpv4(socket.get(), local) ||
        !server_socket::localEndpoint(socket.get(), local)) {
        return false;
    }
    m_hSocket = std::move(socket);
    m_local = local;
    m_strAddress = address;
    m_bStop.store(false);
    m_thread = std::thread(&CFakeSntpServer::serve, this);
    return true;
}

bool CFakeSntpServer::startOnFreeLoopbackAddress(int port) {
    for (int host = kFirstLoopbackHost; host <= kLastLoopbackHost; ++host) {
        if (start("127.0.0." + std::to_string(host), port)) {
            return true;
        }
    }
    return false;
}

void CFakeSntpServer::stop() {
    m_bStop.store(true);
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_mapPending.clear();  // answers to requests of the old socket
    m_hSocket.reset();
}

void CFakeSntpServer::serve() {
    std::vector<std::uint8_t> buffer(kRequestCapacity);
    while (!m_bStop.load()) {
        const sp::WaitResult waited = sp::waitReadable(m_hSocket.get(), microsecondsToNextSend());
        if (waited == sp::WaitResult::Failed) {
            return;
        }
        server_socket::Endpoint peer;
        server_socket::Endpoint destination;
        const int count =
            waited == sp::WaitResult::Readable
                ? server_socket::receiveFrom(m_hSocket.get(), buffer.data(), buffer.size(), peer, destination)
                : -1;
        // A failed receive is also how Winsock reports that an earlier answer found no one.
        // Requests from outside never get an answer: tests send nothing beyond loopback.
        if (count >= 0 && isLoopback(peer.address) && destination.address == m_local.address) {
            std::vector<std::uint8_t> request(buffer.begin(), buffer.begin() + count);
            schedule(request, peer);
        }
        sendDue();
    }
}

// Plans the answer to request and queues its datagrams for the moments their paths deliver them.
void CFakeSntpServer::schedule(const std::vector<std::uint8_t>& request,
                               const server_socket::Endpoint& peer) {
    const SteadyTime arrival = std::chrono::steady_clock::now();
    for (PlannedDatagram& datagram : answerRequest(request, arrival, m_trueClock.nowUtc())) {
        m_mapPending.emplace(arrival + datagram.after, PendingDatagram{std::move(datagram.bytes), peer});
    }
}

void CFakeSntpServer::sendDue() {
    const SteadyTime now = std::chrono::steady_clock::now();
    while (!m_mapPending.empty() && m_mapPending.begin()->first <= now) {
        const PendingDatagram& datagram = m_mapPending.begin()->second;
        server_socket::sendTo(m_hSocket.get(), datagram.bytes.data(), datagram.bytes.size(), datagram.peer);
        m_mapPending.erase(m_mapPending.begin());
    }
}

// Until the next datagram is due, but never longer than a stop may wait.
std::uint64_t CFakeSntpServer::microsecondsToNextSend() const {
    if (m_mapPending.empty()) {
        return kStopSliceUs;
    }
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(m_mapPending.begin()->first -
                                                                            std::chrono::steady_clock::now());
    return static_cast<std::uint64_t>(
        std::clamp<std::chrono::microseconds::rep>(left.count(), 0, kStopSliceUs));
}
