#pragma once
// A profile store that sends every access to one file name to another file, and all others
// through unchanged: the settings can be written into a scratch copy that then replaces the
// settings file in one step.

#include "settings/ProfileStore.h"

#include <string>
#include <utility>

class CRedirectedProfileStore final : public ProfileStore {
public:
    // inner must outlive the instance.
    CRedirectedProfileStore(ProfileStore& inner, std::string from, std::string to)
        : m_inner(inner), m_strFrom(std::move(from)), m_strTo(std::move(to)) {}

    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& def, std::size_t capacity) const override {
        return m_inner.readString(Target(file), section, key, def, capacity);
    }
    std::vector<std::string> readKeys(const std::string& file, const std::string& section) const override {
        return m_inner.readKeys(Target(file), section);
    }
    SystemResult writeString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& value) override {
        return m_inner.writeString(Target(file), section, key, value);
    }
    SystemResult copyFile(const std::string& file, const std::string& copy) override {
        return m_inner.copyFile(Target(file), copy);
    }

private:
    const std::string& Target(const std::string& file) const { return file == m_strFrom ? m_strTo : file; }

    ProfileStore& m_inner;
    std::string m_strFrom;
    std::string m_strTo;
};
