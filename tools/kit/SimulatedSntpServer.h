#pragma once
// A scripted SNTP server on a virtual network (CVirtualNetwork), for tests and simulations: it
// answers each request at the virtual moment it was sent, as the script says (CSntpReplyScript),
// with the true time it reads from trueClock at that moment plus the reply's offset, and sends
// each datagram back when the reply's simulated path delivers it. Its requests' arrival times
// are moments of the virtual clock.

#include "sntp/SystemClock.h"
#include "tools/kit/SntpReplyScript.h"
#include "tools/kit/VirtualNetwork.h"

class CSimulatedSntpServer final : public CSntpReplyScript, public VirtualPeer {
public:
    // trueClock (the simulation's true time, CVirtualUtcClock) must outlive the server.
    explicit CSimulatedSntpServer(const SystemClock& trueClock) : m_trueClock(trueClock) {}

    std::vector<VirtualDelivery> answer(const std::vector<std::uint8_t>& datagram,
                                        MonotonicClock::TimePoint sentAt) override;

private:
    const SystemClock& m_trueClock;
};
