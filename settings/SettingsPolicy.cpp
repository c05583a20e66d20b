#include "settings/SettingsPolicy.h"

#include "settings/PolicyTable.h"
#include "settings/SettingValueText.h"

#include <cstdint>

namespace {

struct NumberCheck {
    std::optional<int> value;
    std::string problem;
};

NumberCheck CheckNumber(const PolicyValue& value, const OptionRange& range) {
    std::optional<int> number;
    if (value.type == PolicyValue::Type::Number)
        number = static_cast<std::int32_t>(value.number);
    else if (value.type == PolicyValue::Type::Text)
        number = ParseWholeNumber(value.text);
    else
        return {std::nullopt, "it is neither a REG_DWORD nor a REG_SZ number"};
    if (!number)
        return {std::nullopt, "\"" + value.text + "\" is not a whole number"};
    if (*number < range.lower || *number > range.upper)
        return {std::nullopt, std::to_string(*number) + " is not " + RangeDescription(range)};
    return {number, std::string()};
}

void ReadServers(const PolicySource& source, PolicyOverrides& overrides) {
    const PolicyValue value = source.read(kPolicyServersValue);
    if (value.type == PolicyValue::Type::Absent)
        return;
    if (value.type != PolicyValue::Type::TextList) {
        overrides.rejections.push_back(PolicyRejection(kPolicyServersValue, "it is not a REG_MULTI_SZ"));
        return;
    }
    std::vector<CTimeServer> servers;
    for (const std::string& line : value.lines) {
        const ServerEntryCheck entry = ParseServerEntry(line, true);
        if (!entry.server) {
            overrides.rejections.push_back(PolicyRejection(kPolicyServersValue, entry.problem));
            return;
        }
        servers.push_back(*entry.server);
    }
    if (servers.empty()) {
        overrides.rejections.push_back(PolicyRejection(kPolicyServersValue, "the list is empty"));
        return;
    }
    overrides.servers = std::move(servers);
}

}  // namespace

bool PolicyOverrides::Any() const {
    for (const std::optional<int>& number : numbers)
        if (number)
            return true;
    return servers.has_value();
}

bool operator==(const PolicyOverrides& a, const PolicyOverrides& b) {
    return a.numbers == b.numbers && a.servers == b.servers && a.rejections == b.rejections;
}

bool operator==(const PolicyValue& a, const PolicyValue& b) {
    return a.type == b.type && a.number == b.number && a.text == b.text && a.lines == b.lines;
}

std::string PolicyRejection(const std::string& valueName, const std::string& why) {
    return "Policy value " + valueName + " is ignored: " + why + ".";
}

PolicyOverrides ReadPolicy(const PolicySource& source) {
    PolicyOverrides overrides;
    for (std::size_t row = 0; row < kPolicyNumberCount; ++row) {
        const OptionKey& option = kOptionKeys[row];
        const PolicyValue value = source.read(option.key);
        if (value.type == PolicyValue::Type::Absent)
            continue;
        const NumberCheck checked = CheckNumber(value, option.range);
        if (checked.value)
            overrides.numbers[row] = checked.value;
        else
            overrides.rejections.push_back(PolicyRejection(option.key, checked.problem));
    }
    ReadServers(source, overrides);
    return overrides;
}
