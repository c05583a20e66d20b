#include "sntp/SntpQuery.h"

#include <array>
#include <cstring>
#include <optional>

#include "sntp/SocketPlatform.h"

namespace {

SyncOutcome networkFailure(unsigned long error) {
    return syncFailure(SyncFailure::Network, static_cast<int>(error));
}

SyncOutcome badReply(ReplyCheck check, const SntpResponse& reply) {
    SyncOutcome outcome = syncFailure(SyncFailure::BadReply);
    outcome.badReply = check;
    outcome.bServerRefused = check == ReplyCheck::KissOfDeath && isRefusalKiss(reply);
    return outcome;
}

// After the deadline: a time-out, unless something arrived that had to be discarded, which
// says more about the server.
SyncOutcome noUsableReply(ReplyCheck lastDiscarded) {
    SyncOutcome outcome =
        syncFailure(lastDiscarded == ReplyCheck::Passed ? SyncFailure::TimedOut : SyncFailure::BadReply,
                    socket_platform::kErrorTimedOut);
    outcome.badReply = lastDiscarded;
    return outcome;
}

// One datagram: parsed into response and checked against the request. A failed receive (an
// ICMP "port unreachable" arrives this way) is returned as it is. A datagram from elsewhere
// leaves check unset: it says nothing about the server.
DatagramReceipt receiveReply(DatagramChannel& channel, NtpTimestamp sent, NtpTimestamp arrived,
                             SntpResponse& response, std::optional<ReplyCheck>& check) {
    std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};  // zero-filled: a short reply reads zeros
    const DatagramReceipt receipt = channel.receive(buffer.data(), buffer.size());
    check.reset();
    if (receipt.status == DatagramReceipt::Status::Received) {
        SntpDatagram header{};
        std::memcpy(header.data(), buffer.data(), header.size());
        response = parseSntpReply(header);
        check = checkSntpReply(receipt.nLength, response, sent, arrived);
    }
    return receipt;
}

SyncOutcome accepted(SntpResponse& response, NtpTimestamp arrived) {
    response.destinationTime = arrived;
    computeDelayAndOffset(response);
    SyncOutcome outcome = syncSuccess(response.roundTripDelay, response.clockOffset);
    outcome.stratum = response.stratum;
    return outcome;
}

}  // namespace

SntpQuery::SntpQuery(const ExchangePorts& ports, CQueryPacer& pacer, const std::atomic<bool>* stop,
                     std::uint32_t timeoutMs)
    : m_ports(ports), m_pacer(pacer), m_pStop(stop), m_nTimeoutMs(timeoutMs) {}

SyncOutcome SntpQuery::exchange(const NetAddress& server, SntpResponse& response) {
    std::unique_ptr<DatagramChannel> channel;  // closed on every way out
    const SystemResult connected = m_ports.transport.connect(server, channel);
    if (!connected) {
        return networkFailure(connected.nError);
    }
    const std::string pacerKey = server.toString();
    if (!m_pacer.awaitTurn(pacerKey, m_pStop)) {
        return syncFailure(SyncFailure::Cancelled);
    }
    const NtpTimestamp sent = m_ports.clock.nowUtc();  // T1, right before the send
    const SntpDatagram request = buildSntpRequest(sent);
    const SystemResult sendResult = channel->send(request.data(), request.size());
    if (!sendResult) {
        return networkFailure(sendResult.nError);
    }
    m_pacer.noteSend(pacerKey);
    return awaitReply(*channel, sent, response);
}

SyncOutcome SntpQuery::awaitReply(DatagramChannel& channel, NtpTimestamp sent, SntpResponse& response) {
    const MonotonicClock::TimePoint deadline =
        m_ports.monotonic.now() + std::chrono::milliseconds(m_nTimeoutMs);
    ReplyCheck lastDiscarded = ReplyCheck::Passed;
    for (;;) {
        const DatagramWait waited = channel.waitReadable(deadline, m_pStop);
        switch (waited.status) {
            case DatagramWait::Status::Readable: break;
            case DatagramWait::Status::TimedOut: return noUsableReply(lastDiscarded);
            case DatagramWait::Status::Stopped: return syncFailure(SyncFailure::Cancelled);
            case DatagramWait::Status::Failed: return networkFailure(waited.nError);
        }
        const NtpTimestamp arrived = m_ports.clock.nowUtc();  // T4, before the receive and any parsing
        std::optional<ReplyCheck> check;
        const DatagramReceipt receipt = receiveReply(channel, sent, arrived, response, check);
        if (receipt.status == DatagramReceipt::Status::Failed) {
            return networkFailure(receipt.nError);
        }
        switch (check ? dispositionOf(*check) : ReplyDisposition::Discard) {
            case ReplyDisposition::Accept: return accepted(response, arrived);
            case ReplyDisposition::Reject: return badReply(*check, response);
            case ReplyDisposition::Discard: lastDiscarded = check.value_or(lastDiscarded); break;
        }
        // A stream of discarded datagrams keeps the channel readable: the deadline still holds.
        if (m_ports.monotonic.now() >= deadline) {
            return noUsableReply(lastDiscarded);
        }
    }
}
