#include "tools/kit/SntpReplyScript.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::int8_t kPrecisionExponent = -20;  // about a microsecond

std::uint8_t firstByte(int leapIndicator, int version, int mode) {
    return static_cast<std::uint8_t>(((leapIndicator & 0x3) << 6) | ((version & 0x7) << 3) | (mode & 0x7));
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

void CSntpReplyScript::answerWith(const FakeReply& reply) {
    answerWith(std::vector<FakeReply>{reply});
}

void CSntpReplyScript::answerWith(std::vector<FakeReply> datagrams) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_vecDefault = std::move(datagrams);
}

void CSntpReplyScript::queueAnswer(const FakeReply& reply) {
    queueAnswer(std::vector<FakeReply>{reply});
}

void CSntpReplyScript::queueAnswer(std::vector<FakeReply> datagrams) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_queAnswers.push_back(std::move(datagrams));
}

std::size_t CSntpReplyScript::requestCount() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_vecRequests.size();
}

std::vector<ReceivedRequest> CSntpReplyScript::requests() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_vecRequests;
}

bool CSntpReplyScript::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cvRequest.wait_for(lock, timeout, [&] { return m_vecRequests.size() >= count; });
}

std::vector<std::uint8_t> CSntpReplyScript::buildReply(const FakeReply& reply,
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

// The datagrams of one answer travel one after the other: each starts on its path when the one
// before it has arrived, as when the server slept through each path in turn.
std::vector<PlannedDatagram> CSntpReplyScript::answerRequest(const std::vector<std::uint8_t>& request,
                                                             std::chrono::steady_clock::time_point arrival,
                                                             NtpTimestamp arrivalTime) {
    std::vector<FakeReply> answer;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_vecRequests.push_back(ReceivedRequest{request, arrival});
        if (m_queAnswers.empty()) {
            answer = m_vecDefault;
        } else {
            answer = std::move(m_queAnswers.front());
            m_queAnswers.pop_front();
        }
    }
    m_cvRequest.notify_all();

    std::vector<PlannedDatagram> planned;
    std::chrono::microseconds at{0};
    for (const FakeReply& reply : answer) {
        if (reply.shape == FakeReply::Shape::Silent) {
            continue;
        }
        const auto outbound = reply.networkDelay / 2 + randomDelay(reply.jitter);
        const auto inbound = reply.networkDelay - reply.networkDelay / 2 + randomDelay(reply.jitter);
        const double atServer = std::chrono::duration<double>(at + outbound).count();
        const std::vector<std::uint8_t> bytes = datagramOf(reply, request, arrivalTime.plusSeconds(atServer));
        if (reply.shape == FakeReply::Shape::Reply) {
            at += outbound + reply.holdTime + inbound;
        }
        planned.insert(planned.end(), static_cast<std::size_t>(std::max(reply.copies, 0)),
                       PlannedDatagram{at, bytes});
    }
    return planned;
}

std::vector<std::uint8_t> CSntpReplyScript::datagramOf(const FakeReply& reply,
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

std::chrono::microseconds CSntpReplyScript::randomDelay(std::chrono::microseconds upTo) {
    if (upTo.count() <= 0) {
        return std::chrono::microseconds(0);
    }
    return std::chrono::microseconds(
        std::uniform_int_distribution<std::chrono::microseconds::rep>(0, upTo.count())(m_random));
}
