#include "settings/SetupProperties.h"

#include "settings/OptionTable.h"
#include "settings/SettingValueText.h"
#include "settings/SyncMode.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <iterator>

namespace {

enum class SetupKind { Servers, StartingServer, Mode, Number };

// A number's range is its option's (OptionTable.h).
struct SetupProperty {
    const char* name;
    SetupKind kind;
    int CSettings::*field;
};

const SetupProperty kSetupProperties[] = {
    {"SERVERS", SetupKind::Servers, nullptr},
    {"STARTINGSERVER", SetupKind::StartingServer, &CSettings::m_nStartingServ},
    {"MODE", SetupKind::Mode, &CSettings::m_nSynPeriod},
    {"OFFSET", SetupKind::Number, &CSettings::m_nOffset},
    {"ATTEMPTS", SetupKind::Number, &CSettings::m_nMaxAttempts},
    {"ONLYSUCCESSLOG", SetupKind::Number, &CSettings::m_bOnlySuccLog},
    {"LOGLENGTH", SetupKind::Number, &CSettings::m_nLogFileLen},
};

// The words of MODE, in the order of the mode values.
const char* const kModeWords[] = {"daily", "onstart", "hourly", "demand", "continuous"};
static_assert(std::size(kModeWords) == kSyncModes.size());

// The words of W32TIME, in the order of WindowsTimeChoice.
const char* const kWindowsTimeWords[] = {"keep", "disable"};

// "a, b or c".
std::string ListOfWords(const char* const* words, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += (i == 0 ? "" : i + 1 == count ? " or " : ", ") + std::string(words[i]);
    return text;
}

struct Verdict {
    std::optional<int> number;
    std::string problem;  // empty when accepted
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

Verdict CheckMode(const std::string& value) {
    const auto word = std::find(std::begin(kModeWords), std::end(kModeWords), Lower(value));
    if (word == std::end(kModeWords))
        return {std::nullopt, "it must be " + ListOfWords(kModeWords, std::size(kModeWords))};
    return {static_cast<int>(word - std::begin(kModeWords)), std::string()};
}

Verdict CheckNumber(const std::string& value, const OptionRange& range) {
    const std::optional<int> number = ParseWholeNumber(value);
    if (!number || *number < range.lower || *number > range.upper)
        return {std::nullopt, "it must be " + RangeDescription(range)};
    return {number, std::string()};
}

struct ServersVerdict {
    std::optional<std::vector<CTimeServer>> servers;
    std::string problem;
};

ServersVerdict CheckServers(const std::string& value) {
    if (value.find_first_not_of(" ;") == std::string::npos)
        return {std::nullopt, "the list is empty"};
    std::vector<CTimeServer> servers;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = std::min(value.find(';', begin), value.size());
        const ServerEntryCheck entry = ParseServerEntry(value.substr(begin, end - begin), false);
        if (!entry.server)
            return {std::nullopt, "entry " + std::to_string(servers.size() + 1) + " " + entry.problem};
        servers.push_back(*entry.server);
        if (end == value.size())
            return {servers, std::string()};
        begin = end + 1;
    }
}

const SetupProperty* FindProperty(const std::string& name) {
    for (const SetupProperty& property : kSetupProperties)
        if (name == property.name)
            return &property;
    return nullptr;
}

std::string BadValue(const std::string& name, const std::string& value, const std::string& problem) {
    return "The property " + name + " has a bad value \"" + value + "\": " + problem + ".";
}

Verdict CheckOne(const SetupProperty& property, const std::string& value, const SetupSettings& setup) {
    if (property.kind == SetupKind::Mode)
        return CheckMode(value);
    if (property.kind != SetupKind::StartingServer)
        return CheckNumber(value, OptionRangeOf(property.field));
    // Without SERVERS the file's list applies, and the service starts from row 0 when the row
    // is not in it.
    const int count = setup.servers ? static_cast<int>(setup.servers->size()) : INT_MAX;
    Verdict verdict = CheckNumber(value, {0, count - 1});
    if (!verdict.number)
        verdict.problem = setup.servers
                              ? "it must be a row of SERVERS, from 0 to " + std::to_string(count - 1)
                              : "it must be a row of the server list, from 0";
    return verdict;
}

}  // namespace

const char* const kSetupPropertyNames[7] = {"SERVERS",  "STARTINGSERVER", "MODE",     "OFFSET",
                                            "ATTEMPTS", "ONLYSUCCESSLOG", "LOGLENGTH"};
static_assert(std::size(kSetupPropertyNames) == std::size(kSetupProperties));

SetupCheck CheckSetupProperties(const std::vector<SetupValue>& given, EmptyValue empty) {
    SetupSettings setup;
    for (const SetupValue& item : given) {
        const SetupProperty* property = FindProperty(item.name);
        if (property == nullptr)
            return {std::nullopt, item.name, "Unknown property " + item.name + "."};
    }
    // In the table's order, so that SERVERS is known when STARTINGSERVER is checked.
    for (const SetupProperty& property : kSetupProperties) {
        // A property given twice counts with its last value, as on the installer's command line.
        const auto item = std::find_if(given.rbegin(), given.rend(),
                                       [&](const SetupValue& v) { return v.name == property.name; });
        if (item == given.rend() || (item->value.empty() && empty == EmptyValue::NotGiven))
            continue;
        if (property.kind == SetupKind::Servers) {
            ServersVerdict verdict = CheckServers(item->value);
            if (!verdict.servers)
                return {std::nullopt, property.name, BadValue(property.name, item->value, verdict.problem)};
            setup.servers = std::move(verdict.servers);
            continue;
        }
        const Verdict verdict = CheckOne(property, item->value, setup);
        if (!verdict.number)
            return {std::nullopt, property.name, BadValue(property.name, item->value, verdict.problem)};
        setup.numbers.emplace_back(property.field, *verdict.number);
    }
    return {setup, std::string(), std::string()};
}

WindowsTimeCheck CheckWindowsTimeProperty(const std::string& value) {
    if (value.empty())
        return {WindowsTimeChoice::Keep, std::string()};
    const auto word = std::find(std::begin(kWindowsTimeWords), std::end(kWindowsTimeWords), Lower(value));
    if (word == std::end(kWindowsTimeWords))
        return {std::nullopt,
                BadValue(kWindowsTimeProperty, value,
                         "it must be " + ListOfWords(kWindowsTimeWords, std::size(kWindowsTimeWords)))};
    return {static_cast<WindowsTimeChoice>(word - std::begin(kWindowsTimeWords)), std::string()};
}

SystemResult ApplySetupSettings(CSettings& settings, const SetupSettings& setup) {
    std::vector<int CSettings::*> fields;
    for (const auto& [field, value] : setup.numbers) {
        settings.*field = value;
        fields.push_back(field);
    }
    SystemResult written = settings.SaveKeys(fields);
    if (written && setup.servers) {
        CTimeServerList list = settings.m_servers;
        list.RemoveAll();
        for (const CTimeServer& server : *setup.servers)
            list.Add(server);
        settings.ReplaceServers(list);
        written = settings.SaveServers();
    }
    return written;
}

std::optional<std::vector<SetupValue>> ParseSetupArguments(const std::vector<std::string>& args,
                                                           std::string* bad) {
    std::vector<SetupValue> values;
    for (const std::string& arg : args) {
        const std::size_t equals = arg.find('=');
        if (equals == std::string::npos) {
            if (bad != nullptr)
                *bad = arg;
            return std::nullopt;
        }
        values.push_back({arg.substr(0, equals), arg.substr(equals + 1)});
    }
    return values;
}

std::string SetupCommandLine(const std::vector<SetupValue>& given) {
    std::string line;
    for (const SetupValue& item : given)
        if (!item.value.empty())
            line += ' ' + QuoteArgument(item.name + '=' + item.value);
    return line.empty() ? line : "-c" + line;
}

std::string QuoteArgument(const std::string& text) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled and the quote escaped; elsewhere they stand.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, '\\');  // before the closing quote
    return quoted + '"';
}
