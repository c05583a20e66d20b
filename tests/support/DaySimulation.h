#pragma once
// A day of scheduled runs against servers that do not answer, on virtual clocks: the
// scheduler is ticked once a virtual second, and each request to a silent server takes the
// five seconds a real one waits for its answer, so a day passes in well under a second of
// real time. Counts the requests (one datagram each) that the service would send.

#include "engine/RunBackoff.h"

#include <string>

struct DayScenario {
    std::string options;       // "key=value" lines of [Options]
    std::string servers;       // the [Servers] section; "" for the built-in list
    int nRefusingServer = -1;  // index of the server that answers every request with "RATE"
};

struct DayFigures {
    int nRequests = 0;
    int nToRefusingServer = 0;
};

DayFigures SimulateDay(const DayScenario& scenario, const BackoffPolicy& policy);
