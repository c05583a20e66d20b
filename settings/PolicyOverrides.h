#pragma once
// What the organisation's policy sets, as read and checked (SettingsPolicy.h): a number for
// each row of kOptionKeys (OptionTable.h) and the server list, each only where the policy
// sets a usable value, and one line per value left out.

#include "settings/TimeServer.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The rows of kOptionKeys.
inline constexpr std::size_t kPolicyNumberCount = 7;

struct PolicyOverrides {
    std::array<std::optional<int>, kPolicyNumberCount> numbers{};
    std::optional<std::vector<CTimeServer>> servers;
    // One line per value left out, naming the value.
    std::vector<std::string> rejections;

    bool Any() const;
};

bool operator==(const PolicyOverrides& a, const PolicyOverrides& b);
inline bool operator!=(const PolicyOverrides& a, const PolicyOverrides& b) {
    return !(a == b);
}
