#include "sntp/HostResolver.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "sntp/SocketPlatform.h"

namespace sp = socket_platform;

namespace {

using Clock = std::chrono::steady_clock;

// How long a wait goes without looking at the stop flag.
constexpr std::chrono::milliseconds kStopSlice{20};

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
    std::condition_variable cvDone;
    std::map<std::string, std::shared_ptr<Lookup>> mapUnderWay;  // by name
};

// The body of a lookup's thread. It touches nothing but what it shares (pool, lookup), so it
// may end long after everybody stopped waiting for it. Nothing thrown leaves it.
void CHostResolver::RunLookup(const std::shared_ptr<Pool>& pool, const std::string& name,
                              const std::shared_ptr<Lookup>& lookup) {
    NameLookupResult result;
    try {
        result = pool->lookup->lookUp(name);
    } catch (...) {
        result = NameLookupResult{{}, sp::kErrorInvalidArgument};
    }
    const std::lock_guard<std::mutex> lock(pool->mutex);
    lookup->result = std::move(result);
    lookup->bDone = true;
    pool->mapUnderWay.erase(name);
    pool->cvDone.notify_all();
}

CHostResolver::CHostResolver(std::shared_ptr<NameLookup> lookup, std::size_t maxLookupsUnderWay)
    : m_pool(std::make_shared<Pool>(std::move(lookup), maxLookupsUnderWay)) {}

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

// Under the pool's lock: the lookup of name under way, or a new one; null when too many are
// under way or no thread could be made.
std::shared_ptr<CHostResolver::Lookup> CHostResolver::JoinOrStart(const std::string& name) {
    const auto found = m_pool->mapUnderWay.find(name);
    if (found != m_pool->mapUnderWay.end()) {
        return found->second;
    }
    if (m_pool->mapUnderWay.size() >= m_pool->nMax) {
        return nullptr;
    }
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([pool = m_pool, name, lookup] { RunLookup(pool, name, lookup); }).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    m_pool->mapUnderWay.emplace(name, lookup);
    return lookup;
}

Resolution::Status CHostResolver::AwaitLookup(const std::string& name, std::chrono::milliseconds timeout,
                                              const std::atomic<bool>* stop, NameLookupResult& result) {
    const Clock::time_point deadline = Clock::now() + timeout;
    std::unique_lock<std::mutex> lock(m_pool->mutex);
    const std::shared_ptr<Lookup> lookup = JoinOrStart(name);
    if (!lookup) {
        return Resolution::Status::TimedOut;
    }
    for (;;) {
        if (lookup->bDone) {
            result = lookup->result;
            return Resolution::Status::Resolved;
        }
        if (stopped(stop)) {
            return Resolution::Status::Cancelled;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return Resolution::Status::TimedOut;
        }
        m_pool->cvDone.wait_until(lock, std::min(deadline, now + kStopSlice));
    }
}

std::size_t CHostResolver::LookupsUnderWay() const {
    const std::lock_guard<std::mutex> lock(m_pool->mutex);
    return m_pool->mapUnderWay.size();
}
