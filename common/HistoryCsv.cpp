#include "common/HistoryCsv.h"

#include "common/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace {

constexpr std::size_t kFieldCount = 10;
constexpr std::int64_t kMsPerDay = 86400000;

struct ActionName {
    HistoryAction action;
    std::string_view name;
};

constexpr ActionName kActionNames[] = {
    {HistoryAction::Stepped, "stepped"}, {HistoryAction::Slewed, "slewed"},   {HistoryAction::None, "none"},
    {HistoryAction::Failed, "failed"},   {HistoryAction::Refused, "refused"},
};

std::optional<HistoryAction> actionNamed(std::string_view name) {
    const auto* found = std::find_if(std::begin(kActionNames), std::end(kActionNames),
                                     [name](const ActionName& entry) { return entry.name == name; });
    return found == std::end(kActionNames) ? std::nullopt : std::optional<HistoryAction>(found->action);
}

// Quoted when a spreadsheet would otherwise split or trim it.
std::string textField(const std::string& text, std::size_t limit) {
    std::string plain = text.substr(0, limit);
    std::replace_if(
        plain.begin(), plain.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    const bool bQuote = plain.find_first_of(",\"") != std::string::npos ||
                        (!plain.empty() && (plain.front() == ' ' || plain.back() == ' '));
    if (!bQuote) {
        return plain;
    }
    std::string quoted = "\"";
    for (char c : plain) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string numberField(const std::optional<double>& value) {
    return value && std::isfinite(*value) ? FormatText("%.3f", *value) : std::string();
}

// Splits a line into its fields, quotes removed; nothing when a quote is left open or stray.
std::optional<std::vector<std::string>> splitFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool bQuoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        std::string& field = fields.back();
        if (bQuoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            ++i;
        } else if (c == '"' && (bQuoted || field.empty())) {
            bQuoted = !bQuoted;
            if (!bQuoted && i + 1 < line.size() && line[i + 1] != ',') {
                return std::nullopt;
            }
        } else if (c == ',' && !bQuoted) {
            fields.emplace_back();
        } else {
            field += c;
        }
    }
    return bQuoted ? std::nullopt : std::optional<std::vector<std::string>>(std::move(fields));
}

// An empty field is no value; false when the field is not a number.
bool parseNumber(const std::string& field, std::optional<double>& value) {
    if (field.empty()) {
        value.reset();
        return true;
    }
    char* end = nullptr;
    value = std::strtod(field.c_str(), &end);
    return end == field.c_str() + field.size() && std::isfinite(*value);
}

bool parseStratum(const std::string& field, std::optional<int>& stratum) {
    std::optional<double> value;
    if (!parseNumber(field, value)) {
        return false;
    }
    if (value) {
        stratum = static_cast<int>(*value);
    }
    return !value || (*value == *stratum && *stratum >= 0 && *stratum <= 255);
}

// "2026-12-09T07:07:33.123Z" and nothing else.
bool parseTime(const std::string& field, CalendarTime& utc) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    int consumed = 0;
    if (field.size() != 24 ||
        std::sscanf(field.c_str(), "%4u-%2u-%2uT%2u:%2u:%2u.%3uZ%n", &year, &month, &day, &hour, &minute,
                    &second, &ms, &consumed) != 7 ||
        consumed != 24) {
        return false;
    }
    const CalendarDate date = dateFromJulianDay(julianDayFromDate(
        static_cast<std::int32_t>(year), static_cast<std::int32_t>(month), static_cast<std::int32_t>(day)));
    if (date.year != static_cast<int>(year) || date.month != static_cast<int>(month) ||
        date.day != static_cast<int>(day) || hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    utc = CalendarTime{static_cast<std::uint16_t>(year),
                       static_cast<std::uint16_t>(month),
                       0,
                       static_cast<std::uint16_t>(day),
                       static_cast<std::uint16_t>(hour),
                       static_cast<std::uint16_t>(minute),
                       static_cast<std::uint16_t>(second),
                       static_cast<std::uint16_t>(ms)};
    return true;
}

}  // namespace

std::string_view HistoryActionName(HistoryAction action) {
    const auto* found = std::find_if(std::begin(kActionNames), std::end(kActionNames),
                                     [action](const ActionName& entry) { return entry.action == action; });
    return found->name;
}

std::string FormatHistoryRow(const HistoryRow& row) {
    const CalendarTime& t = row.utc;
    std::string line = FormatText("%04u-%02u-%02uT%02u:%02u:%02u.%03uZ,", t.wYear, t.wMonth, t.wDay, t.wHour,
                                  t.wMinute, t.wSecond, t.wMilliseconds);
    line += textField(row.strLabel, kHistoryMaxText) + ",";
    line += textField(row.strServer, kHistoryMaxText) + ",";
    line += textField(row.strAddress, kHistoryMaxText) + ",";
    line += numberField(row.offsetMs) + "," + numberField(row.delayMs) + ",";
    line += (row.stratum ? std::to_string(*row.stratum) : std::string()) + ",";
    line += std::string(HistoryActionName(row.action)) + "," + numberField(row.frequencyPpm) + ",";
    line += textField(row.strReason, 2 * kHistoryMaxText);
    line += kHistoryLineEnd;
    return line;
}

std::optional<HistoryRow> ParseHistoryRow(std::string_view line) {
    const std::optional<std::vector<std::string>> fields = splitFields(line);
    if (!fields || fields->size() != kFieldCount) {
        return std::nullopt;
    }
    const std::vector<std::string>& f = *fields;
    HistoryRow row;
    const std::optional<HistoryAction> action = actionNamed(f[7]);
    if (!parseTime(f[0], row.utc) || !parseNumber(f[4], row.offsetMs) || !parseNumber(f[5], row.delayMs) ||
        !parseStratum(f[6], row.stratum) || !action || !parseNumber(f[8], row.frequencyPpm)) {
        return std::nullopt;
    }
    row.strLabel = f[1];
    row.strServer = f[2];
    row.strAddress = f[3];
    row.action = *action;
    row.strReason = f[9];
    return row;
}

std::int64_t HistoryMilliseconds(const CalendarTime& utc) {
    const std::int64_t day = julianDayFromDate(utc.wYear, utc.wMonth, utc.wDay);
    return day * kMsPerDay + ((utc.wHour * 60 + utc.wMinute) * 60 + utc.wSecond) * 1000 + utc.wMilliseconds;
}

HistoryScan ScanHistory(std::string_view bytes) {
    HistoryScan scan;
    for (std::size_t pos = 0;;) {
        const std::size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos) {
            break;  // a cut last row, or nothing
        }
        std::string_view line = bytes.substr(pos, end - pos);
        const bool bCrLf = !line.empty() && line.back() == '\r';
        line.remove_suffix(bCrLf ? 1 : 0);
        std::optional<HistoryRow> row = ParseHistoryRow(line);
        const bool bHeader = pos == 0 && line == kHistoryHeader;
        scan.bTidy = scan.bTidy && bCrLf && (bHeader || (pos != 0 && row));
        if (row) {
            scan.rows.push_back(std::move(*row));
        }
        pos = end + 1;
        scan.completeEnd = pos;
    }
    return scan;
}

FileReadResult ReadHistory(const std::string& path, std::vector<HistoryRow>& rows) {
    std::string bytes;
    const FileReadResult result = ReadFileIfPresent(path, bytes);
    rows = result == FileReadResult::Read ? ScanHistory(bytes).rows : std::vector<HistoryRow>();
    return result;
}
