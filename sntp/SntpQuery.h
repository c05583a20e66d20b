#pragma once
// One SNTP request/reply exchange with one server address over a fresh socket. The caller has
// started the socket library and resolved the server's name.
//
// Replies that cannot be the answer to this request (too short, wrong mode or version, an
// originate time other than ours) are discarded and the wait goes on until the deadline, so a
// stray, duplicate, late or forged datagram neither spoils nor decides the exchange. A reply
// that answers this request but is unusable (a kiss, an unsynchronised server, a bad stratum,
// no transmit time) ends the exchange at once. A datagram from any address but the one asked
// is no reply at all and is ignored.

#include <atomic>
#include <cstdint>
#include <string>

#include "sntp/NetAddress.h"
#include "sntp/QueryPacer.h"
#include "sntp/SntpPacket.h"
#include "sntp/SyncOutcome.h"
#include "sntp/SystemClock.h"

class DatagramSocket;

class SntpQuery {
public:
    static constexpr std::uint32_t kDefaultTimeoutMs = 5000;

    // stop may be null; a set stop flag ends any wait within 50 ms.
    SntpQuery(const SystemClock& clock, CQueryPacer& pacer, const std::atomic<bool>* stop = nullptr,
              std::uint32_t timeoutMs = kDefaultTimeoutMs);

    // On success response holds the reply with its delay and offset. On failure the outcome
    // says why; response may be partly filled (for a kiss: the reply with its code). The
    // pacer's spacing holds per address.
    SyncOutcome exchange(const NetAddress& server, SntpResponse& response);

private:
    SyncOutcome awaitReply(DatagramSocket& socket, NtpTimestamp sent, SntpResponse& response);

    const SystemClock& m_clock;
    CQueryPacer& m_pacer;
    const std::atomic<bool>* m_pStop;
    std::uint32_t m_nTimeoutMs;
};
