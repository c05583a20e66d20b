#pragma once
// The simulator's settings file: an INI file held in memory, which is all the simulated
// service reads (and, should it rebuild a server list, writes).

#include "settings/ProfileStore.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

class CMapProfileStore final : public ProfileStore {
public:
    void set(const std::string& section, const std::string& key, const std::string& value) {
        m_mapValues[Key(section, key)] = value;
    }

    int readInt(const std::string&, const std::string& section, const std::string& key,
                int def) const override {
        const auto found = m_mapValues.find(Key(section, key));
        return found == m_mapValues.end() || found->second.empty() ? def : std::atoi(found->second.c_str());
    }
    std::string readString(const std::string&, const std::string& section, const std::string& key,
                           const std::string& def, std::size_t capacity) const override {
        const auto found = m_mapValues.find(Key(section, key));
        const std::string value = found == m_mapValues.end() ? def : found->second;
        return capacity == 0 ? std::string() : value.substr(0, capacity - 1);
    }
    SystemResult writeString(const std::string&, const std::string& section, const std::string& key,
                             const std::string& value) override {
        set(section, key, value);
        return SystemResult::success();
    }

private:
    // Names compare without regard to case, as the platform's do.
    static std::pair<std::string, std::string> Key(std::string section, std::string key) {
        const auto lower = [](std::string& text) {
            std::transform(text.begin(), text.end(), text.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        };
        lower(section);
        lower(key);
        return {section, key};
    }

    std::map<std::pair<std::string, std::string>, std::string> m_mapValues;
};
