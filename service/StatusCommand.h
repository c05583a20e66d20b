#pragma once
// HoraluxServ -status without its pipe: what the service's answer means for a monitoring
// script (the exit code) and for the person who reads it (the lines). The Win32 shell
// (StatusCommand_win.cpp) asks the service and reads the history; the decisions are here.
//
// "Synchronised recently" depends on the mode, and allows for a missed run and the longest
// wait after failures (one hour) on top of the mode's own spacing:
//   Daily         the last success at most 2 days ago
//   Hourly        at most 3 hours ago (two runs and the longest wait)
//   Continuously  at most 2 x 1024 s + 1 hour ago
//   OnStart, DemandOnly  since the service started (these modes run only when asked to)

#include "common/Calendar.h"
#include "common/ClockStatus.h"
#include "common/HistoryCsv.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The exit codes of HoraluxServ -status.
enum StatusExitCode : int {
    kStatusSynchronised = 0,     // synchronised recently
    kStatusNoAnswer = 1,         // the service does not answer (or another program holds its channel)
    kStatusNotSynchronised = 2,  // the service answers, and has not synchronised recently
};

struct StatusOutput {
    int exitCode = kStatusNoAnswer;
    std::vector<std::string> lines;
};

// How long ago the last success may lie for the service to count as synchronised.
std::int32_t RecentLimitSeconds(std::int32_t mode, std::int32_t uptime);
bool IsSynchronisedRecently(const ClockStatus& report);

// The newest row of a run that kept the clock (stepped, slewed or nothing to do).
std::optional<HistoryRow> NewestSuccess(const std::vector<HistoryRow>& rows);

// The service's answer; lastSuccess gives the server, offset and delay (the history's newest
// successful row), nowLocal the time the ages count back from.
StatusOutput DescribeStatus(const ClockStatus& report, const std::optional<HistoryRow>& lastSuccess,
                            const CalendarTime& nowLocal);

// Why the service's state is not known.
enum class NoAnswer {
    Silent,         // no channel, or no answer on it in time
    HeldByAnother,  // another program serves the channel: nothing it says is believed
    Refused,        // the channel does not admit this account (not interactive, not an administrator)
};

// No answer, and why; then the history's last row.
StatusOutput DescribeNoAnswer(NoAnswer reason, const std::optional<HistoryRow>& lastRow);

// Asks the running service, prints what it says (or the history's last row) to the program's
// output, and returns the exit code. Windows only.
int RunStatusCommand();
