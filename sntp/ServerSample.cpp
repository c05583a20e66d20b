#include "sntp/ServerSample.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "common/LogResult.h"
#include "sntp/SocketPlatform.h"

namespace {

constexpr int kFirstPlausibleYear = 2004;
constexpr int kLastPlausibleYear = 2104;

// What a resolution that gave no address means for the attempt.
SyncOutcome unresolved(const Resolution& resolution) {
    switch (resolution.status) {
        case Resolution::Status::Cancelled: return syncFailure(SyncFailure::Cancelled);
        case Resolution::Status::TimedOut:
            return syncFailure(SyncFailure::TimedOut, socket_platform::kErrorTimedOut);
        default: return syncFailure(SyncFailure::Network, resolution.nError);
    }
}

// Asks the addresses in turn until one gives a usable reply (one that passes the exchange's
// checks and whose time is plausible); answered is then that address. When none does, the
// last failure counts, and the server refused us only when every address did.
SyncOutcome queryInTurn(SntpQuery& query, const std::vector<NetAddress>& addresses, SntpResponse& response,
                        NetAddress& answered) {
    SyncOutcome outcome = syncFailure(SyncFailure::Network, socket_platform::kErrorInvalidArgument);
    bool bAllRefused = true;
    const std::size_t count = std::min(addresses.size(), kMaxAddressesPerSample);
    for (std::size_t i = 0; i < count; ++i) {
        outcome = exchangeWithPlausibleTime(query, addresses[i], response);
        if (outcome.bSucceeded || outcome.failure == SyncFailure::Cancelled) {
            answered = addresses[i];
            return outcome;
        }
        bAllRefused = bAllRefused && outcome.bServerRefused;
    }
    outcome.bServerRefused = bAllRefused && count > 0;
    return outcome;
}

}  // namespace

SyncOutcome exchangeWithPlausibleTime(SntpQuery& query, const NetAddress& address, SntpResponse& response) {
    const SyncOutcome outcome = query.exchange(address, response);
    if (outcome.bSucceeded && !isPlausibleServerTime(response.receiveTime)) {
        return syncFailure(SyncFailure::YearOutOfRange);
    }
    return outcome;
}

bool acceptSocketLibrary(const SocketLibraryStatus& status, LogSink& log) {
    if (!status.bStarted) {
        log.write("WSAStartup failed!", LOG_FAILED, 0.0);
        return false;
    }
    if (status.nMajor != 1 || status.nMinor != 1) {
        log.write("Winsock stack does not support version that is needed!", LOG_FAILED, 0.0);
        return false;
    }
    return true;
}

bool isPlausibleServerTime(NtpTimestamp receiveTime) {
    const int year = receiveTime.toSystemTime().wYear;
    return year >= kFirstPlausibleYear && year <= kLastPlausibleYear;
}

SyncOutcome sampleServer(const std::string& server, const SampleContext& context) {
    const CSocketLibrary library;  // cleaned up on every way out
    if (!acceptSocketLibrary(library.status(), context.log)) {
        return syncFailure(SyncFailure::SocketLibrary, library.status().nError);
    }
    const Resolution resolution = context.resolver.Resolve(
        server, context.port, std::chrono::milliseconds(context.timeoutMs), context.stop);
    if (resolution.status != Resolution::Status::Resolved) {
        return unresolved(resolution);
    }
    SntpQuery query(ExchangePorts{context.clock, context.monotonic, context.transport}, context.pacer,
                    context.stop, context.timeoutMs);
    SntpResponse response;
    NetAddress answered;
    SyncOutcome outcome = queryInTurn(query, resolution.addresses, response, answered);
    if (outcome.bSucceeded) {
        outcome.address = answered;
    }
    return outcome;
}
