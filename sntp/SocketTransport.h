#pragma once
// The datagram transport over UDP sockets (DatagramSocket): Winsock in the Windows build, BSD
// sockets natively. A deadline is read on the monotonic clock given, which must be the real
// one (CSteadyClock). The caller starts the socket library (CSocketLibrary).

#include "sntp/DatagramTransport.h"

class CSocketTransport final : public DatagramTransport {
public:
    // clock must outlive the transport and every channel it made.
    explicit CSocketTransport(const MonotonicClock& clock) : m_clock(clock) {}

    SystemResult connect(const NetAddress& peer, std::unique_ptr<DatagramChannel>& channel) override;

private:
    const MonotonicClock& m_clock;
};
