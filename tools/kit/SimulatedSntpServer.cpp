#include "tools/kit/SimulatedSntpServer.h"

std::vector<VirtualDelivery> CSimulatedSntpServer::answer(const std::vector<std::uint8_t>& datagram,
                                                          MonotonicClock::TimePoint sentAt) {
    std::vector<VirtualDelivery> deliveries;
    for (PlannedDatagram& planned : answerRequest(datagram, sentAt, m_trueClock.nowUtc())) {
        deliveries.push_back(VirtualDelivery{sentAt + planned.after, std::move(planned.bytes), 0, {}});
    }
    return deliveries;
}
