#include "service/EventSources.h"

#include <algorithm>

std::vector<std::string> SplitMultiString(const RegistryBytes& value) {
    std::vector<std::string> names;
    auto begin = value.begin();
    while (begin != value.end() && *begin != 0) {
        const auto end = std::find(begin, value.end(), static_cast<unsigned char>(0));
        names.emplace_back(begin, end);
        begin = end == value.end() ? end : end + 1;
    }
    return names;
}

RegistryBytes JoinMultiString(const std::vector<std::string>& names) {
    RegistryBytes value;
    for (const std::string& name : names) {
        value.insert(value.end(), name.begin(), name.end());
        value.push_back(0);
    }
    value.push_back(0);
    return value;
}

std::optional<RegistryBytes> AddEventSource(const RegistryBytes& value, const std::string& name) {
    std::vector<std::string> names = SplitMultiString(value);
    if (std::find(names.begin(), names.end(), name) != names.end()) {
        return std::nullopt;
    }
    names.push_back(name);
    return JoinMultiString(names);
}

std::optional<RegistryBytes> RemoveEventSource(const RegistryBytes& value, const std::string& name) {
    std::vector<std::string> names = SplitMultiString(value);
    const auto found = std::remove(names.begin(), names.end(), name);
    if (found == names.end()) {
        return std::nullopt;
    }
    names.erase(found, names.end());
    return JoinMultiString(names);
}
