#pragma once
// The simulator's settings file: an INI file held in memory, which is all the simulated
// service reads (and, should it rebuild a server list, writes). One file: the file names the
// port passes are not told apart.

#include "settings/ProfileStore.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

class CMapProfileStore final : public ProfileStore {
public:
    void set(const std::string& section, const std::string& key, const std::string& value) {
        const auto found = Find(section, key);
        if (found != m_vecEntries.end())
            found->value = value;
        else
            m_vecEntries.push_back(Entry{section, key, value});
    }

    std::string readString(const std::string&, const std::string& section, const std::string& key,
                           const std::string& def, std::size_t capacity) const override {
        const auto found = Find(section, key);
        const std::string value = found == m_vecEntries.end() ? def : found->value;
        return capacity == 0 ? std::string() : value.substr(0, capacity - 1);
    }
    std::vector<std::string> readKeys(const std::string&, const std::string& section) const override {
        std::vector<std::string> keys;
        for (const Entry& entry : m_vecEntries)
            if (Same(entry.section, section) && !entry.value.empty())
                keys.push_back(entry.key);
        return keys;
    }
    SystemResult writeString(const std::string&, const std::string& section, const std::string& key,
                             const std::string& value) override {
        set(section, key, value);
        return SystemResult::success();
    }
    // A copy would be the same file again: there is nothing to keep apart.
    SystemResult copyFile(const std::string&, const std::string&) override { return SystemResult::success(); }

private:
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };

    // Names compare without regard to case, as the platform's do.
    static bool Same(const std::string& a, const std::string& b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
                   return std::tolower(x) == std::tolower(y);
               });
    }
    std::vector<Entry>::iterator Find(const std::string& section, const std::string& key) {
        return std::find_if(m_vecEntries.begin(), m_vecEntries.end(),
                            [&](const Entry& e) { return Same(e.section, section) && Same(e.key, key); });
    }
    std::vector<Entry>::const_iterator Find(const std::string& section, const std::string& key) const {
        return std::find_if(m_vecEntries.begin(), m_vecEntries.end(),
                            [&](const Entry& e) { return Same(e.section, section) && Same(e.key, key); });
    }

    std::vector<Entry> m_vecEntries;  // in the file's order
};
