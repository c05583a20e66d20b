#pragma once
// Courtesy towards time servers: at least four seconds between two requests to the same server,
// measured from the previous send. Public servers block clients that ask more often, and a run
// whose attempts fail at once (port unreachable, a rejected reply) would otherwise send its
// attempts within milliseconds. The caller keeps one pacer for as long as it asks servers.

#include <atomic>
#include <chrono>
#include <map>
#include <string>

#include "sntp/MonotonicClock.h"

// How a server is told apart from others: its name in lower case, as host names compare.
std::string ServerKey(std::string server);

class CQueryPacer {
public:
    static constexpr std::chrono::milliseconds kMinimumSpacing{4000};

    explicit CQueryPacer(MonotonicClock& clock, std::chrono::milliseconds spacing = kMinimumSpacing);

    // Waits until server may be asked again; false when *stop was set meanwhile.
    bool awaitTurn(const std::string& server, const std::atomic<bool>* stop);
    // Notes that a request to server has just been sent.
    void noteSend(const std::string& server);

private:
    MonotonicClock& m_clock;
    std::chrono::milliseconds m_spacing;
    // Keyed by the server in lower case (SntpQuery names it by address and port).
    std::map<std::string, MonotonicClock::TimePoint> m_mapLastSend;
};
