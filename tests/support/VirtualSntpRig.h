#pragma once
// The SNTP client's world on virtual time: a monotonic clock that moves only as the client
// waits, the true time that moves with it, the client's own clock (settable, starting on the
// true time), a virtual network and one scripted server on it at kServer. Nothing sleeps, and
// every time stamp is exact.

#include "sntp/DatagramTransport.h"
#include "sntp/SntpQuery.h"
#include "tests/support/TestAddress.h"
#include "tests/support/VirtualClock.h"
#include "tools/kit/SimulatedSntpServer.h"
#include "tools/kit/VirtualMonotonicClock.h"
#include "tools/kit/VirtualNetwork.h"
#include "tools/kit/VirtualUtcClock.h"

class CVirtualSntpRig {
public:
    static constexpr const char* kServer = "192.0.2.1";
    static constexpr int kPort = 123;
    // 1 June 2025, 12:00:00 UTC.
    static constexpr NtpTimestamp kStart{3957768000u, 0};

    CVirtualSntpRig() { network.attach(serverAddress, server); }

    ExchangePorts ports() { return ExchangePorts{clock, monotonic, network}; }
    // Virtual time since the rig was made.
    MonotonicClock::TimePoint::duration elapsed() const { return monotonic.now() - origin; }

    CVirtualMonotonicClock monotonic;
    const MonotonicClock::TimePoint origin = monotonic.now();
    CVirtualUtcClock trueClock{monotonic, kStart};
    CVirtualClock clock{trueClock};
    CVirtualNetwork network{monotonic};
    CSimulatedSntpServer server{trueClock};
    const NetAddress serverAddress = TestAddress(kServer, kPort);
};
