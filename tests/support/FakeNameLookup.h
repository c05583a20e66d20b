#pragma once
// Name resolution for tests: each name answers from a table at once, before lookUp returns (an
// unknown name fails), or, once held, no lookup answers until the test releases them all, as
// with a resolver that does not answer. The held answers own what the resolver shares with
// them, so a lookup left behind keeps its resolver's share alive until released.

#include "sntp/NameLookup.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class CFakeNameLookup : public NameLookup {
public:
    static constexpr int kUnknownName = 11001;  // as Winsock's "host not found"

    void answer(const std::string& name, std::vector<NetAddress> addresses) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_mapAnswers[name] = std::move(addresses);
    }
    void hold() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bHeld = true;
    }
    // Answers every held lookup, on the calling thread; later ones answer at once.
    void release() {
        std::vector<std::pair<std::string, Answer>> held;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_bHeld = false;
            held.swap(m_vecHeld);
        }
        for (auto& [name, answer] : held) {
            answer(resultFor(name));
        }
    }

    bool lookUp(const std::string& name, Answer answer) override {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            ++m_nLookups;
            if (m_bHeld) {
                m_vecHeld.emplace_back(name, std::move(answer));
                return true;
            }
        }
        answer(resultFor(name));
        return true;
    }

    int lookups() const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_nLookups;
    }

private:
    NameLookupResult resultFor(const std::string& name) const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_mapAnswers.find(name);
        return found == m_mapAnswers.end() ? NameLookupResult{{}, kUnknownName}
                                           : NameLookupResult{found->second, 0};
    }

    mutable std::mutex m_mutex;
    std::map<std::string, std::vector<NetAddress>> m_mapAnswers;
    bool m_bHeld = false;
    std::vector<std::pair<std::string, Answer>> m_vecHeld;
    int m_nLookups = 0;
};
