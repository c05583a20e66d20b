#pragma once
// The history of synchronisations: a CSV file (RFC 4180, CR LF, one header line) of one row
// per run, which a spreadsheet opens as it is and every program reads with ReadHistory. A row
// is always one line: line breaks inside a text become spaces. A last line without its line
// end is a row cut by a crash: it is not a row (the next append removes it).

#include "common/Calendar.h"
#include "common/FileRead.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class HistoryAction { Stepped, Slewed, None, Failed, Refused };

struct HistoryRow {
    CalendarTime utc;  // when the run ended, to the millisecond
    std::string strLabel;
    std::string strServer;   // its title
    std::string strAddress;  // that answered; empty when none did
    std::optional<double> offsetMs;
    std::optional<double> delayMs;
    std::optional<int> stratum;
    HistoryAction action = HistoryAction::Failed;
    std::optional<double> frequencyPpm;  // the clock's frequency error as learned after the run
    std::string strReason;               // why it failed or was refused
};

inline constexpr std::string_view kHistoryHeader =
    "Time (UTC),Label,Server,Address,Offset (ms),Delay (ms),Stratum,Action,Frequency (ppm),Reason";
inline constexpr std::string_view kHistoryLineEnd = "\r\n";
// The longest text a field keeps (a reason gets twice as much); a row thus stays short enough
// for a writer to find its start from the file's end.
inline constexpr std::size_t kHistoryMaxText = 255;

// The action's word in the file: stepped, slewed, none, failed or refused.
std::string_view HistoryActionName(HistoryAction action);

// The row's line, its line end included.
std::string FormatHistoryRow(const HistoryRow& row);
// A line without its line end; nothing when it is not a row (the header, a damaged line).
std::optional<HistoryRow> ParseHistoryRow(std::string_view line);

// Milliseconds since the calendar's origin: for comparing and subtracting rows' times.
std::int64_t HistoryMilliseconds(const CalendarTime& utc);

struct HistoryScan {
    std::vector<HistoryRow> rows;
    // The header first and every complete line a row: nothing a writer must tidy.
    bool bTidy = true;
    // Where the complete lines end: a cut last row begins here.
    std::size_t completeEnd = 0;
};
HistoryScan ScanHistory(std::string_view bytes);

// The file's rows, oldest first (none when Missing or Failed).
FileReadResult ReadHistory(const std::string& path, std::vector<HistoryRow>& rows);
