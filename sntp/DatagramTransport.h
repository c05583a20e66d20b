#pragma once
// Port to the network as one SNTP exchange uses it: a channel to one peer that sends a datagram,
// waits until a datagram can be read (bounded by a deadline on the monotonic clock and by a stop
// flag) and receives it. A UDP socket in the product (CSocketTransport); a virtual network in
// tests and simulations, which decides what arrives when in virtual time
// (tools/kit/VirtualNetwork.h). Failures carry the platform's socket error code.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/SystemResult.h"
#include "sntp/MonotonicClock.h"
#include "sntp/NetAddress.h"

struct DatagramWait {
    enum class Status {
        Readable,  // a datagram can be read (or a failure the receive reports, such as an ICMP
                   // "port unreachable")
        TimedOut,  // the deadline came first
        Stopped,   // the stop flag was set first
        Failed,    // the wait itself failed (nError)
    };
    Status status = Status::Failed;
    unsigned long nError = 0;
};

struct DatagramReceipt {
    enum class Status {
        Received,     // nLength bytes from the peer
        NotFromPeer,  // a datagram from another address: dropped, it answers nothing
        Failed,       // nError; also a datagram longer than the capacity
    };
    Status status = Status::Failed;
    std::size_t nLength = 0;
    unsigned long nError = 0;
};

class DatagramChannel {
public:
    // Closes the channel: what arrives later is lost.
    virtual ~DatagramChannel() = default;
    virtual SystemResult send(const std::uint8_t* data, std::size_t length) = 0;
    // Never TimedOut before deadline; a set stop flag is seen within 50 ms. stop may be null.
    virtual DatagramWait waitReadable(MonotonicClock::TimePoint deadline, const std::atomic<bool>* stop) = 0;
    virtual DatagramReceipt receive(std::uint8_t* buffer, std::size_t capacity) = 0;
};

class DatagramTransport {
public:
    virtual ~DatagramTransport() = default;
    // A channel that hears only peer; on failure channel stays empty. An address no request may
    // go to (unspecified, broadcast) or port 0 is refused.
    virtual SystemResult connect(const NetAddress& peer, std::unique_ptr<DatagramChannel>& channel) = 0;
};
