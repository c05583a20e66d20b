#pragma once
// Passes each attempt on to the real one and notes the servers that refused us with a kiss
// code, so that scheduled runs leave them out for a while. Attempts run on the run thread;
// the notes are taken on the control window's thread.

#include "engine/SyncAttempt.h"

#include <mutex>
#include <string>
#include <vector>

class CRefusalWatch final : public SyncAttempt {
public:
    // inner must outlive the watch.
    explicit CRefusalWatch(SyncAttempt& inner) : m_inner(inner) {}

    SyncOutcome attempt(const std::string& host, const std::atomic<bool>& stop) override;

    // The hosts that refused us since the last call, oldest first.
    std::vector<std::string> TakeRefusedHosts();

private:
    SyncAttempt& m_inner;
    std::mutex m_mutex;
    std::vector<std::string> m_vecRefused;
};
