#pragma once
// Port to one attempt of a run against one server: ask it for a sample of its time (offset,
// round trip, stratum, the address that answered). The clock is the run's business. The real
// one is the SNTP exchange; tests script the outcomes.
//
// Contract: the attempt looks at stop at least every 50 ms and, once it is set, returns
// promptly (with a cancelled outcome) having closed everything it opened. Called only from
// the run thread, one attempt at a time.

#include "sntp/SyncOutcome.h"

#include <atomic>
#include <string>

class SyncAttempt {
public:
    virtual ~SyncAttempt() = default;
    virtual SyncOutcome attempt(const std::string& host, const std::atomic<bool>& stop) = 0;
};
