#include "settings/SettingValueText.h"

#include "settings/TimeServerList.h"

#include <climits>
#include <vector>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find(separator, begin)) != std::string::npos; begin = end + 1)
        parts.push_back(text.substr(begin, end - begin));
    parts.push_back(text.substr(begin));
    return parts;
}

}  // namespace

std::optional<int> ParseWholeNumber(const std::string& text) {
    std::size_t i = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    if (i == text.size())
        return std::nullopt;
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i]))
            return std::nullopt;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    const long long value = text[0] == '-' ? -magnitude : magnitude;
    if (value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

std::string RangeDescription(const OptionRange& range) {
    return "a whole number from " + std::to_string(range.lower) + " to " + std::to_string(range.upper);
}

std::string ShownValue(const std::string& text) {
    constexpr std::size_t kShownLength = 40;
    return text.size() > kShownLength ? text.substr(0, kShownLength) + "..." : text;
}

ServerEntryCheck ParseServerEntry(const std::string& text, bool bFlagAllowed) {
    const std::vector<std::string> parts = SplitAt(text, '~');
    const std::size_t maxParts = bFlagAllowed ? 3 : 2;
    if (parts.size() < 2)
        return {std::nullopt, "\"" + text + "\" is not of the form title~address"};
    if (parts.size() > maxParts)
        return {std::nullopt, "\"" + text + "\": a title or an address must not contain \"~\""};
    if (parts[0].empty() || parts[1].empty())
        return {std::nullopt, "\"" + text + "\": the title and the address must not be empty"};
    int flag = 1;
    if (parts.size() == 3) {
        const std::optional<int> given = ParseWholeNumber(parts[2]);
        if (!given || (*given != 0 && *given != 1))
            return {std::nullopt, "\"" + text + "\": the flag after the address must be 0 or 1"};
        flag = *given;
    }
    CTimeServer server(parts[0], parts[1], flag);
    if (server.Format().size() >= CTimeServerList::kEntryBufferSize)
        return {std::nullopt, "\"" + text + "\" is longer than a server entry may be"};
    return {server, std::string()};
}
