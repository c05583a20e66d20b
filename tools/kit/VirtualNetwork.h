#pragma once
// A datagram transport on a virtual monotonic clock, for tests and simulations. What a channel
// sends goes at once to the peer attached at its address, which says what comes back and when;
// to an address nobody is attached at, a datagram is lost (a silent server), unless the address
// refuses (an ICMP "port unreachable" at once, as a native stack reports it). A wait moves the
// clock to the first arrival, the deadline or a stop, whichever comes first, without sleeping;
// what arrives after its channel closed is lost.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sntp/DatagramTransport.h"
#include "tools/kit/VirtualMonotonicClock.h"

struct VirtualDelivery {
    MonotonicClock::TimePoint at;  // when it can be read
    std::vector<std::uint8_t> bytes;
    unsigned long nError = 0;        // not 0: the receive fails with this code instead
    std::optional<NetAddress> from;  // when not from the peer itself
};

class VirtualPeer {
public:
    virtual ~VirtualPeer() = default;
    // datagram reached this peer at sentAt (the clock's now): what comes back, and when.
    virtual std::vector<VirtualDelivery> answer(const std::vector<std::uint8_t>& datagram,
                                                MonotonicClock::TimePoint sentAt) = 0;
};

struct SentDatagram {
    NetAddress to;
    std::vector<std::uint8_t> bytes;
    MonotonicClock::TimePoint at;
};

class CVirtualNetwork final : public DatagramTransport {
public:
    // clock must outlive the network and its channels.
    explicit CVirtualNetwork(CVirtualMonotonicClock& clock) : m_clock(clock) {}

    // peer answers what is sent to address (with its port) and must outlive the network.
    void attach(const NetAddress& address, VirtualPeer& peer);
    void refuse(const NetAddress& address);

    SystemResult connect(const NetAddress& peer, std::unique_ptr<DatagramChannel>& channel) override;

    std::vector<SentDatagram> sent() const;
    int openChannels() const;

private:
    class CChannel;
    friend class CChannel;

    std::vector<VirtualDelivery> carry(const NetAddress& to, const std::vector<std::uint8_t>& datagram);

    CVirtualMonotonicClock& m_clock;
    mutable std::mutex m_mutex;
    std::map<std::string, VirtualPeer*> m_mapPeers;  // by address with port
    std::set<std::string> m_setRefusing;
    std::vector<SentDatagram> m_vecSent;
    int m_nOpen = 0;
};
