#include "sntp/SntpQuery.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <optional>

#include "sntp/DatagramSocket.h"

namespace {

using Clock = std::chrono::steady_clock;

SyncOutcome failure(SyncFailure kind, int error = 0) {
    SyncOutcome outcome;
    outcome.failure = kind;
    outcome.nError = error;
    return outcome;
}

SyncOutcome networkFailure() {
    return failure(SyncFailure::Network, socket_platform::lastError());
}

SyncOutcome badReply(ReplyCheck check, const SntpResponse& reply) {
    SyncOutcome outcome = failure(SyncFailure::BadReply);
    outcome.badReply = check;
    outcome.bServerRefused = check == ReplyCheck::KissOfDeath && isRefusalKiss(reply);
    return outcome;
}

// After the deadline: a time-out, unless something arrived that had to be discarded, which
// says more about the server.
SyncOutcome noUsableReply(ReplyCheck lastDiscarded) {
    SyncOutcome outcome =
        failure(lastDiscarded == ReplyCheck::Passed ? SyncFailure::TimedOut : SyncFailure::BadReply,
                socket_platform::kErrorTimedOut);
    outcome.badReply = lastDiscarded;
    return outcome;
}

// One datagram: parsed into response and checked against the request. False when the receive
// failed (an ICMP "port unreachable" arrives this way). A datagram from elsewhere leaves check
// unset: it says nothing about the server.
bool receiveReply(DatagramSocket& socket, NtpTimestamp sent, NtpTimestamp arrived, SntpResponse& response,
                  std::optional<ReplyCheck>& check) {
    std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};  // zero-filled: a short reply reads zeros
    const int length = socket.receive(buffer.data(), buffer.size());
    check.reset();
    if (length == DatagramSocket::kNotFromPeer) {
        return true;
    }
    if (length < 0) {
        return false;
    }
    SntpDatagram header{};
    std::memcpy(header.data(), buffer.data(), header.size());
    response = parseSntpReply(header);
    check = checkSntpReply(static_cast<std::size_t>(length), response, sent, arrived);
    return true;
}

SyncOutcome accepted(SntpResponse& response, NtpTimestamp arrived) {
    response.destinationTime = arrived;
    computeDelayAndOffset(response);
    SyncOutcome outcome;
    outcome.bSucceeded = true;
    outcome.roundTripDelay = response.roundTripDelay;
    return outcome;
}

// Rounded up: a wait cut to whole milliseconds would end before the time-out.
std::uint32_t remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<std::uint32_t>(std::max<decltype(left)>(left, 0));
}

}  // namespace

SntpQuery::SntpQuery(const SystemClock& clock, CQueryPacer& pacer, const std::atomic<bool>* stop,
                     std::uint32_t timeoutMs)
    : m_clock(clock), m_pacer(pacer), m_pStop(stop), m_nTimeoutMs(timeoutMs) {}

SyncOutcome SntpQuery::exchange(const NetAddress& server, SntpResponse& response) {
    DatagramSocket socket;  // closed on every way out
    if (!socket.create() || !socket.connectTo(server)) {
        return networkFailure();
    }
    const std::string pacerKey = server.toString();
    if (!m_pacer.awaitTurn(pacerKey, m_pStop)) {
        return failure(SyncFailure::Cancelled);
    }
    const NtpTimestamp sent = m_clock.nowUtc();  // T1, right before the send
    const SntpDatagram request = buildSntpRequest(sent);
    if (!socket.sendAll(request.data(), request.size())) {
        return networkFailure();
    }
    m_pacer.noteSend(pacerKey);
    return awaitReply(socket, sent, response);
}

SyncOutcome SntpQuery::awaitReply(DatagramSocket& socket, NtpTimestamp sent, SntpResponse& response) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_nTimeoutMs);
    ReplyCheck lastDiscarded = ReplyCheck::Passed;
    for (;;) {
        bool readable = false;
        if (!socket.waitReadable(remainingMs(deadline), readable, m_pStop)) {
            return networkFailure();
        }
        if (!readable) {
            return m_pStop && m_pStop->load() ? failure(SyncFailure::Cancelled)
                                              : noUsableReply(lastDiscarded);
        }
        const NtpTimestamp arrived = m_clock.nowUtc();  // T4, before the receive and any parsing
        std::optional<ReplyCheck> check;
        if (!receiveReply(socket, sent, arrived, response, check)) {
            return networkFailure();
        }
        switch (check ? dispositionOf(*check) : ReplyDisposition::Discard) {
            case ReplyDisposition::Accept: return accepted(response, arrived);
            case ReplyDisposition::Reject: return badReply(*check, response);
            case ReplyDisposition::Discard: lastDiscarded = check.value_or(lastDiscarded); break;
        }
        if (Clock::now() >= deadline) {
            return noUsableReply(lastDiscarded);
        }
    }
}
