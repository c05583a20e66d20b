#pragma once
// Name resolution for tests: each name answers from a table at once (an unknown name fails),
// or, once held, every lookup waits until the test releases it, as with a resolver that never
// answers. Lookups arrive from the resolver's own threads; the resolver shares ownership, so a
// lookup left behind may outlive the test's reference.

#include "sntp/NameLookup.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class CFakeNameLookup : public NameLookup {
public:
    static constexpr int kUnknownName = 11001;  // as Winsock's "host not found"

    void answer(const std::string& name, std::vector<NetAddress> addresses) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mapAnswers[name] = std::move(addresses);
    }
    void hold() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bHeld = true;
    }
    // Lets every held lookup answer; later ones answer at once.
    void release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bHeld = false;
        m_changed.notify_all();
    }

    NameLookupResult lookUp(const std::string& name) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_nLookups;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_bHeld; });
        const auto found = m_mapAnswers.find(name);
        return found == m_mapAnswers.end() ? NameLookupResult{{}, kUnknownName}
                                           : NameLookupResult{found->second, 0};
    }

    int lookups() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nLookups;
    }
    bool waitForLookups(int count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_nLookups >= count; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, std::vector<NetAddress>> m_mapAnswers;
    bool m_bHeld = false;
    int m_nLookups = 0;
};
