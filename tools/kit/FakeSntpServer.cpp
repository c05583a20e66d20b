#include "tools/kit/FakeSntpServer.h"

#include <algorithm>
#include <cstring>

namespace sp = socket_platform;

namespace {

// Large enough for any request a client sends; a bigger one is dropped unanswered.
constexpr std::size_t kRequestCapacity = 2048;
// How long the answer thread waits before it looks at the stop flag again.
constexpr std::uint64_t kStopSliceUs = 20000;
constexpr std::int8_t kPrecisionExponent = -20;  // about a microsecond
constexpr int kFirstLoopbackHost = 1;
constexpr int kLastLoopbackHost = 254;
constexpr std::uint8_t kLoopbackNetwork = 127;
constexpr int kHighestPort = 65535;

std::uint8_t firstByte(int leapIndicator, int version, int mode) {
    return static_cast<std::uint8_t>(((leapIndicator & 0x3) << 6) | ((version & 0x7) << 3) | (mode & 0x7));
}

bool isLoopback(std::uint32_t networkOrderAddress) {
    std::uint8_t octets[sizeof networkOrderAddress];
    std::memcpy(octets, &networkOrderAddress, sizeof octets);
    return octets[0] == kLoopbackNetwork;
}

// The request's transmit time, bit for bit (zeros where a short request has no bytes).
NtpWire requestTransmitTime(const std::vector<std::uint8_t>& request) {
    NtpWire wire{};
    const std::size_t offset = offsetof(SntpHeader, transmitTime);
    if (request.size() > offset) {
        std::copy_n(request.begin() + offset, std::min(wire.size(), request.size() - offset), wire.begin());
    }
    return wire;
}

}  // namespace

FakeReply FakeReply::silent() {
    FakeReply reply;
    reply.shape = Shape::Silent;
    return reply;
}

FakeReply FakeReply::garbage(std::size_t bytes) {
    FakeReply reply;
    reply.shape = Shape::Garbage;
    reply.length = bytes;
    return reply;
}

FakeReply FakeReply::kiss(const std::string& code) {
    FakeReply reply;
    reply.stratum = 0;
    reply.leapIndicator = 3;  // as servers send a kiss-o'-death
    reply.referenceId = code;
    return reply;
}

FakeReply FakeReply::offsetBy(double seconds) {
    FakeReply reply;
    reply.offsetSeconds = seconds;
    return reply;
}

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

void CFakeSntpServer::answerWith(const FakeReply& reply) {
    answerWith(std::vector<FakeReply>{reply});
}

void CFakeSntpServer::answerWith(std::vector<FakeReply> datagrams) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_vecDefault = std::move(datagrams);
}

void CFakeSntpServer::queueAnswer(const FakeReply& reply) {
    queueAnswer(std::vector<FakeReply>{reply});
}

void CFakeSntpServer::queueAnswer(std::vector<FakeReply> datagrams) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_queAnswers.push_back(std::move(datagrams));
}

std::size_t CFakeSntpServer::requestCount() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_vecRequests.size();
}

std::vector<ReceivedRequest> CFakeSntpServer::requests() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_vecRequests;
}

bool CFakeSntpServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cvRequest.wait_for(lock, timeout, [&] { return m_vecRequests.size() >= count; });
}

std::vector<std::uint8_t> CFakeSntpServer::buildReply(const FakeReply& reply,
                                                      const std::vector<std::uint8_t>& request,
                                                      NtpTimestamp receiveTime, NtpTimestamp transmitTime) {
    SntpHeader header{};
    header.liVnMode = firstByte(reply.leapIndicator, reply.version, reply.mode);
    header.stratum = static_cast<std::uint8_t>(reply.stratum);
    header.poll = request.size() > offsetof(SntpHeader, poll) ? request[offsetof(SntpHeader, poll)] : 0;
    header.precision = static_cast<std::uint8_t>(kPrecisionExponent);
    std::copy_n(reply.referenceId.begin(), std::min(reply.referenceId.size(), header.referenceId.size()),
                header.referenceId.begin());
    header.referenceTime = receiveTime.toNetwork();
    header.originateTime = requestTransmitTime(request);
    if (reply.wrongOrigin) {
        header.originateTime.back() ^= 0x01;
    }
    header.receiveTime = receiveTime.toNetwork();
    header.transmitTime =
        reply.zeroTransmitTime ? NtpWire{} : transmitTime.plusSeconds(reply.transmitShiftSeconds).toNetwork();

    std::vector<std::uint8_t> bytes(reply.length, 0);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&header), std::min(bytes.size(), sizeof header),
                bytes.begin());
    return bytes;
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
            schedule(recordRequest(request), request, peer);
        }
        sendDue();
    }
}

// Notes the request and takes the answer for it.
std::vector<FakeReply> CFakeSntpServer::recordRequest(const std::vector<std::uint8_t>& request) {
    std::vector<FakeReply> answer;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_vecRequests.push_back(ReceivedRequest{request, std::chrono::steady_clock::now()});
        if (m_queAnswers.empty()) {
            answer = m_vecDefault;
        } else {
            answer = std::move(m_queAnswers.front());
            m_queAnswers.pop_front();
        }
    }
    m_cvRequest.notify_all();
    return answer;
}

// The datagrams of one answer travel one after the other: each starts on its path when the one
// before it has arrived, as when the server slept through each path in turn.
void CFakeSntpServer::schedule(const std::vector<FakeReply>& answer, const std::vector<std::uint8_t>& request,
                               const server_socket::Endpoint& peer) {
    const SteadyTime arrival = std::chrono::steady_clock::now();
    const NtpTimestamp arrivalTime = m_trueClock.nowUtc();
    SteadyTime at = arrival;
    for (const FakeReply& reply : answer) {
        if (reply.shape == FakeReply::Shape::Silent) {
            continue;
        }
        const auto outbound = reply.networkDelay / 2 + randomDelay(reply.jitter);
        const auto inbound = reply.networkDelay - reply.networkDelay / 2 + randomDelay(reply.jitter);
        const double atServer = std::chrono::duration<double>(at + outbound - arrival).count();
        PendingDatagram datagram{datagramOf(reply, request, arrivalTime.plusSeconds(atServer)), peer};
        if (reply.shape == FakeReply::Shape::Reply) {
            at += outbound + reply.holdTime + inbound;
        }
        for (int copy = 0; copy < reply.copies; ++copy) {
            m_mapPending.emplace(at, datagram);
        }
    }
}

std::vector<std::uint8_t> CFakeSntpServer::datagramOf(const FakeReply& reply,
                                                      const std::vector<std::uint8_t>& request,
                                                      NtpTimestamp receiveTime) {
    if (reply.shape == FakeReply::Shape::Garbage) {
        std::vector<std::uint8_t> bytes(reply.length);
        std::generate(bytes.begin(), bytes.end(), [this] { return static_cast<std::uint8_t>(m_random()); });
        return bytes;
    }
    const NtpTimestamp serverReceive = receiveTime.plusSeconds(reply.offsetSeconds);
    const double held = std::chrono::duration<double>(reply.holdTime).count();
    return buildReply(reply, request, serverReceive, serverReceive.plusSeconds(held));
}

std::chrono::microseconds CFakeSntpServer::randomDelay(std::chrono::microseconds upTo) {
    if (upTo.count() <= 0) {
        return std::chrono::microseconds(0);
    }
    return std::chrono::microseconds(
        std::uniform_int_distribution<std::chrono::microseconds::rep>(0, upTo.count())(m_random));
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
