#include "service/ServiceWait.h"

ServiceStateQuery WaitWhilePending(const ServiceWaitPort& port, std::uint32_t pendingState, int maxPolls) {
    ServiceStateQuery last;
    for (int poll = 0; poll < maxPolls; ++poll) {
        port.pause();
        last = port.query();
        if (!last.bSucceeded || last.state != pendingState) {
            break;
        }
        if (port.stillPending) {
            port.stillPending();
        }
    }
    return last;
}
