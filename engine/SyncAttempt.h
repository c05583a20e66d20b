#pragma once
// Port to one synchronisation attempt against one server: query it, and set the clock when
// the reply is good. The real one is the SNTP exchange; tests script the outcomes.
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
