#include "sntp/QueryPacer.h"

#include <algorithm>
#include <cctype>

std::string ServerKey(std::string server) {
    std::transform(server.begin(), server.end(), server.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return server;
}

CQueryPacer::CQueryPacer(MonotonicClock& clock, std::chrono::milliseconds spacing)
    : m_clock(clock), m_spacing(spacing) {}

bool CQueryPacer::awaitTurn(const std::string& server, const std::atomic<bool>* stop) {
    const auto last = m_mapLastSend.find(ServerKey(server));
    if (last == m_mapLastSend.end()) {
        return !(stop && stop->load());
    }
    return m_clock.sleepUntil(last->second + m_spacing, stop);
}

void CQueryPacer::noteSend(const std::string& server) {
    m_mapLastSend[ServerKey(server)] = m_clock.now();
}
