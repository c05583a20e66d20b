#include "sntp/HostResolver.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

#include "sntp/SocketPlatform.h"

namespace sp = socket_platform;

namespace {

// How long a wait goes without looking at the answer and the stop flag.
constexpr std::chrono::milliseconds kAnswerSlice{10};

Resolution failed(int error) {
    Resolution resolution;
    resolution.nError = error;
    return resolution;
}

Resolution ended(Resolution::Status status) {
    Resolution resolution;
    resolution.status = status;
    return resolution;
}

// The usable addresses of found, with the port; a failure when there is none.
Resolution resolvedOf(const std::vector<NetAddress>& found, std::uint16_t port, int lookupError) {
    Resolution resolution;
    for (const NetAddress& address : found) {
        if (address.isUsablePeer()) {
            resolution.addresses.push_back(address.withPort(port));
        }
    }
    if (resolution.addresses.empty()) {
        return failed(lookupError != 0 ? lookupError : sp::kErrorInvalidArgument);
    }
    resolution.status = Resolution::Status::Resolved;
    return resolution;
}

bool stopped(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load();
}

}  // namespace

struct CHostResolver::Lookup {
    bool bDone = false;  // both under Pool::mutex
    NameLookupResult result;
};

struct CHostResolver::Pool {
    Pool(std::shared_ptr<NameLookup> port, std::size_t maxUnderWay)
        : lookup(std::move(port)), nMax(maxUnderWay) {}

    const std::shared_ptr<NameLookup> lookup;
    const std::size_t nMax;
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<Lookup>> mapUnderWay;  // by name
};

// A lookup's answer. It touches nothing but what it shares (pool, lookup), so it may come long
// after everybody stopped waiting for it.
void CHostResolver::Answer(const std::shared_ptr<Pool>& pool, const std::string& name,
                           const std::shared_ptr<Lookup>& lookup, NameLookupResult result) {
    const std::lock_guard<std::mutex> lock(pool->mutex);
    lookup->result = std::move(result);
    lookup->bDone = true;
    const auto found = pool->mapUnderWay.find(name);
    if (found != pool->mapUnderWay.end() && found->second == lookup) {
        pool->mapUnderWay.erase(found);
    }
}

CHostResolver::CHostResolver(std::shared_ptr<NameLookup> lookup, MonotonicClock& clock,
                             std::size_t maxLookupsUnderWay)
    : m_pool(std::make_shared<Pool>(std::move(lookup), maxLookupsUnderWay)), m_clock(clock) {}

Resolution CHostResolver::Resolve(const std::string& host, int port, std::chrono::milliseconds timeout,
                                  const std::atomic<bool>* stop) {
    const std::optional<std::uint16_t> peerPort = toPeerPort(port);
    if (!peerPort) {
        return failed(sp::kErrorInvalidArgument);
    }
    if (const std::optional<NetAddress> literal = parseAddressLiteral(host, *peerPort)) {
        return resolvedOf({*literal}, *peerPort, 0);
    }
    if (host.empty() || host.front() == '[') {
        return failed(sp::kErrorInvalidArgument);  // brackets hold an IPv6 address or nothing
    }
    NameLookupResult result;
    const Resolution::Status status = AwaitLookup(host, timeout, stop, result);
    if (status != Resolution::Status::Resolved) {
        return ended(status);
    }
    return resolvedOf(result.addresses, *peerPort, result.nError);
}

// The lookup of name under way, or a new one; null when too many are under way or none could
// be started.
std::shared_ptr<CHostResolver::Lookup> CHostResolver::JoinOrStart(const std::string& name) {
    auto lookup = std::make_shared<Lookup>();
    {
        const std::lock_guard<std::mutex> lock(m_pool->mutex);
        const auto found = m_pool->mapUnderWay.find(name);
        if (found != m_pool->mapUnderWay.end()) {
            return found->second;
        }
        if (m_pool->mapUnderWay.size() >= m_pool->nMax) {
            return nullptr;
        }
        m_pool->mapUnderWay.emplace(name, lookup);
    }
    // Outside the lock: the answer may come before lookUp returns.
    const bool bStarted =
        m_pool->lookup->lookUp(name, [pool = m_pool, name, lookup](NameLookupResult result) {
            Answer(pool, name, lookup, std::move(result));
        });
    if (!bStarted) {
        Answer(m_pool, name, lookup, NameLookupResult{{}, sp::kErrorTimedOut});  // for any who joined it
        return nullptr;
    }
    return lookup;
}

Resolution::Status CHostResolver::AwaitLookup(const std::string& name, std::chrono::milliseconds timeout,
                                              const std::atomic<bool>* stop, NameLookupResult& result) {
    const MonotonicClock::TimePoint deadline = m_clock.now() + timeout;
    const std::shared_ptr<Lookup> lookup = JoinOrStart(name);
    if (!lookup) {
        return Resolution::Status::TimedOut;
    }
    for (;;) {
        {
            const std::lock_guard<std::mutex> lock(m_pool->mutex);
            if (lookup->bDone) {
                result = lookup->result;
                return Resolution::Status::Resolved;
            }
        }
        if (stopped(stop)) {
            return Resolution::Status::Cancelled;
        }
        const MonotonicClock::TimePoint now = m_clock.now();
        if (now >= deadline) {
            return Resolution::Status::TimedOut;
        }
        // The loop looks at the stop flag itself.
        static_cast<void>(m_clock.sleepUntil(std::min(deadline, now + kAnswerSlice), stop));
    }
}

std::size_t CHostResolver::LookupsUnderWay() const {
    const std::lock_guard<std::mutex> lock(m_pool->mutex);
    return m_pool->mapUnderWay.size();
}
