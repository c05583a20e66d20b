// Requests (datagrams) a day that the service sends to time servers that do not answer, in
// the mode "Hourly", on virtual clocks (a day passes in seconds): without waits between
// failed scheduled runs, as the service scheduled them before, and with the back-off. Three
// cases: the built-in list (18 servers, 5 attempts) all silent; the same with the first
// server answering every request with the kiss "RATE"; two silent servers, one attempt each.
//
// Usage: backoff_day

#include "tests/support/DaySimulation.h"

#include <cstdio>

namespace {

using namespace std::chrono_literals;

struct Case {
    const char* name;
    DayScenario scenario;
};

const Case kCases[] = {
    {"built-in list, all silent", {"nSynPeriod=2", "", -1}},
    {"built-in list, first says RATE", {"nSynPeriod=2", "", 0}},
    {"two silent servers, 1 attempt",
     {"nSynPeriod=2\nnMaxAttempts=1",
      "[Servers]\nServers_Counter=2\nServers 0=A~a.test~1\nServers 1=B~b.test~1\n", -1}},
};

}  // namespace

int main() {
    const BackoffPolicy withoutWaits{0s, 0s, 0s};
    const BackoffPolicy backoff;
    std::printf("%-34s %14s %14s %18s %18s\n", "requests a day", "before", "after", "to RATE before",
                "to RATE after");
    for (const Case& c : kCases) {
        const DayFigures before = SimulateDay(c.scenario, withoutWaits);
        const DayFigures after = SimulateDay(c.scenario, backoff);
        std::printf("%-34s %14d %14d %18d %18d\n", c.name, before.nRequests, after.nRequests,
                    before.nToRefusingServer, after.nToRefusingServer);
    }
    return 0;
}
