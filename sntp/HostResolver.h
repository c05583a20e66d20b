#pragma once
// Turns a server's address text into the addresses to ask, without ever keeping its caller
// longer than the caller allows. An address literal is used at once. A name is looked up by the
// lookup port, which answers when the system's resolver does; the caller waits for the answer,
// on the monotonic clock, at most until its time-out and not at all once its stop flag is set
// (looking at both, and at the answer, every 10 ms), and then leaves the lookup behind. A lookup
// left behind keeps running until the system's resolver gives up; it owns only what it shares
// with the resolver (the lookup port and its answer), so it may outlive the resolver, the run
// that asked and, at a service stop, everything but the process, which it does not keep alive.
// A caller asking for a name whose lookup is still under way waits for that lookup instead of
// starting another, and no more than a few lookups run at once: a resolver that never answers
// cannot pile up threads.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "sntp/MonotonicClock.h"
#include "sntp/NameLookup.h"
#include "sntp/NetAddress.h"

struct Resolution {
    enum class Status {
        Resolved,
        Failed,    // nError says why (also an invalid port, a bracketed text that is no address,
                   // or a name whose addresses are all unusable)
        TimedOut,  // no answer within the time, or too many lookups still under way
        Cancelled  // the stop flag was set
    };
    Status status = Status::Failed;
    std::vector<NetAddress> addresses;  // when resolved: the usable ones, in order, with the port
    int nError = 0;
};

class CHostResolver {
public:
    static constexpr std::size_t kMaxLookupsUnderWay = 4;

    // clock times the waits and must outlive the resolver.
    CHostResolver(std::shared_ptr<NameLookup> lookup, MonotonicClock& clock,
                  std::size_t maxLookupsUnderWay = kMaxLookupsUnderWay);
    CHostResolver(const CHostResolver&) = delete;
    CHostResolver& operator=(const CHostResolver&) = delete;

    // stop may be null.
    Resolution Resolve(const std::string& host, int port, std::chrono::milliseconds timeout,
                       const std::atomic<bool>* stop);

    // Lookups started and not yet answered, whether anybody still waits for them or not.
    std::size_t LookupsUnderWay() const;

private:
    struct Pool;
    struct Lookup;

    Resolution::Status AwaitLookup(const std::string& name, std::chrono::milliseconds timeout,
                                   const std::atomic<bool>* stop, NameLookupResult& result);
    std::shared_ptr<Lookup> JoinOrStart(const std::string& name);
    static void Answer(const std::shared_ptr<Pool>& pool, const std::string& name,
                       const std::shared_ptr<Lookup>& lookup, NameLookupResult result);

    std::shared_ptr<Pool> m_pool;
    MonotonicClock& m_clock;
};
