#pragma once
// A time server on the simulator's virtual network, as the goals describe the Internet between
// it and the PC: each leg of the path takes a base delay plus an exponential jitter, a few
// requests meet a spike (a long extra delay on one leg), a few datagrams are lost, and a
// falseticker's clock is off by a fixed amount. It answers at the true time of the moment the
// request reaches it (plus its offset) and sends the reply back at once.

#include "sntp/SystemClock.h"
#include "tools/kit/VirtualNetwork.h"

#include <cstdint>
#include <random>

struct PathModel {
    double baseDelay = 0.005;  // s, each leg
    double jitter = 0.001;     // s, mean of the exponential extra on each leg
    double spikeRate = 0.0;    // share of requests with a spike
    double spike = 0.050;      // s, mean of the spike's exponential extra
    double loss = 0.0;         // share of exchanges lost (request or reply)
};

class CSimulatedTimeServer final : public VirtualPeer {
public:
    // trueClock must outlive the server; offset is how far its clock is off (s).
    CSimulatedTimeServer(const SystemClock& trueClock, const PathModel& path, double offset,
                         std::uint64_t seed);

    std::vector<VirtualDelivery> answer(const std::vector<std::uint8_t>& datagram,
                                        MonotonicClock::TimePoint sentAt) override;

private:
    double Leg();

    const SystemClock& m_trueClock;
    const PathModel m_path;
    const double m_dOffset;
    std::mt19937_64 m_random;
};
