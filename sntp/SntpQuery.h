#pragma once
// One SNTP request/reply exchange with one server address over a fresh channel of the datagram
// transport. The caller has started the socket library and resolved the server's name.
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

#include "sntp/DatagramTransport.h"
#include "sntp/NetAddress.h"
#include "sntp/QueryPacer.h"
#include "sntp/SntpPacket.h"
#include "sntp/SyncOutcome.h"
#include "sntp/SystemClock.h"

// What an exchange runs on; each must outlive the exchanges.
struct ExchangePorts {
    const SystemClock& clock;         // T1 and T4
    const MonotonicClock& monotonic;  // the reply's deadline
    DatagramTransport& transport;     // the request and the reply
};

class SntpQuery {
public:
    static constexpr std::uint32_t kDefaultTimeoutMs = 5000;

    // stop may be null; a set stop flag ends any wait within 50 ms.
    SntpQuery(const ExchangePorts& ports, CQueryPacer& pacer, const std::atomic<bool>* stop = nullptr,
              std::uint32_t timeoutMs = kDefaultTimeoutMs);

    // On success response holds the reply with its delay and offset. On failure the outcome
    // says why; response may be partly filled (for a kiss: the reply with its code). The
    // pacer's spacing holds per address.
    SyncOutcome exchange(const NetAddress& server, SntpResponse& response);

private:
    SyncOutcome awaitReply(DatagramChannel& channel, NtpTimestamp sent, SntpResponse& response);

    ExchangePorts m_ports;
    CQueryPacer& m_pacer;
    const std::atomic<bool>* m_pStop;
    std::uint32_t m_nTimeoutMs;
};
