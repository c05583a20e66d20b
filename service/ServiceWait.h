#pragma once
// Waiting for a service to leave a pending state, polled once a second and bounded: a
// service that hangs in its stop (or start) must not keep the command line waiting for ever.

#include <cstdint>
#include <functional>

struct ServiceStateQuery {
    bool bSucceeded = false;
    std::uint32_t state = 0;
};

struct ServiceWaitPort {
    // Waits one polling period (1000 ms).
    std::function<void()> pause;
    std::function<ServiceStateQuery()> query;
    // Called after each query that still finds the pending state; may be empty.
    std::function<void()> stillPending;
};

// Well past the 11 s wait hint of a stop.
constexpr int kMaxPendingPolls = 30;

// Pauses and queries; goes on while the query succeeds and finds pendingState, at most
// maxPolls queries in all. Returns the last query.
ServiceStateQuery WaitWhilePending(const ServiceWaitPort& port, std::uint32_t pendingState,
                                   int maxPolls = kMaxPendingPolls);
