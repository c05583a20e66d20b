#include "bench/clock_sim/SimulatedTimeServer.h"

#include "tools/kit/SntpReplyScript.h"

#include <chrono>

CSimulatedTimeServer::CSimulatedTimeServer(const SystemClock& trueClock, const PathModel& path, double offset,
                                           std::uint64_t seed)
    : m_trueClock(trueClock), m_path(path), m_dOffset(offset), m_random(seed) {}

double CSimulatedTimeServer::Leg() {
    return m_path.baseDelay + std::exponential_distribution<double>(1.0 / m_path.jitter)(m_random);
}

std::vector<VirtualDelivery> CSimulatedTimeServer::answer(const std::vector<std::uint8_t>& datagram,
                                                          MonotonicClock::TimePoint sentAt) {
    std::uniform_real_distribution<double> share(0.0, 1.0);
    double out = Leg();
    double back = Leg();
    if (share(m_random) < m_path.spikeRate) {
        (share(m_random) < 0.5 ? out : back) +=
            std::exponential_distribution<double>(1.0 / m_path.spike)(m_random);
    }
    if (share(m_random) < m_path.loss) {
        return {};
    }
    // The server reads its clock when the request arrives and answers at once.
    const NtpTimestamp serverTime = m_trueClock.nowUtc().plusSeconds(out + m_dOffset);
    FakeReply reply;
    reply.stratum = 1;
    reply.referenceId = "SIM";
    const auto arrival = sentAt + std::chrono::duration_cast<MonotonicClock::TimePoint::duration>(
                                      std::chrono::duration<double>(out + back));
    return {VirtualDelivery{
        arrival, CSntpReplyScript::buildReply(reply, datagram, serverTime, serverTime), 0, {}}};
}
