#include "engine/RefusalWatch.h"

#include <utility>

SyncOutcome CRefusalWatch::attempt(const std::string& host, const std::atomic<bool>& stop) {
    SyncOutcome outcome = m_inner.attempt(host, stop);
    if (outcome.bServerRefused) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vecRefused.push_back(host);
    }
    return outcome;
}

std::vector<std::string> CRefusalWatch::TakeRefusedHosts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_vecRefused, {});
}
