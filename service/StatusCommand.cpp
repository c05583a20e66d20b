#include "service/StatusCommand.h"

#include "common/TextFormat.h"
#include "engine/AutomationDate.h"
#include "engine/PollInterval.h"
#include "engine/RunBackoff.h"
#include "settings/SyncMode.h"

#include <cmath>
#include <iterator>
#include <string_view>

namespace {

constexpr std::int32_t kMinute = 60;
constexpr std::int32_t kHour = 60 * kMinute;
constexpr std::int32_t kDay = 24 * kHour;
// The engine's own longest waits, so that "recently" follows them.
constexpr std::int32_t kLongestBackoff = static_cast<std::int32_t>(BackoffPolicy().longestWait.count());
constexpr std::int32_t kLongestPoll = 1 << CPollInterval::kLongestExponent;

struct RecentRule {
    std::int32_t mode;
    std::int32_t limit;  // seconds; 0: since the service started
};

constexpr RecentRule kRecentRules[] = {
    {kSyncDaily, 2 * kDay},
    {kSyncOnStart, 0},
    {kSyncHourly, 2 * kHour + kLongestBackoff},
    {kSyncDemandOnly, 0},
    {kSyncContinuous, 2 * kLongestPoll + kLongestBackoff},
};

// "3 d 4 h", "2 h 5 min", "7 min 12 s", "40 s": the two largest units.
std::string DurationText(std::int32_t seconds) {
    struct Unit {
        std::int32_t size;
        const char* name;
    };
    constexpr Unit kUnits[] = {{kDay, "d"}, {kHour, "h"}, {kMinute, "min"}, {1, "s"}};
    for (std::size_t i = 0; i + 1 < std::size(kUnits); ++i) {
        if (seconds >= kUnits[i].size) {
            const std::int32_t rest = seconds % kUnits[i].size / kUnits[i + 1].size;
            return rest == 0 ? FormatText("%d %s", seconds / kUnits[i].size, kUnits[i].name)
                             : FormatText("%d %s %d %s", seconds / kUnits[i].size, kUnits[i].name, rest,
                                          kUnits[i + 1].name);
        }
    }
    return FormatText("%d s", seconds);
}

// The local time seconds after now (negative: before), as "YYYY-MM-DD HH:MM:SS".
std::string LocalTimeText(const CalendarTime& nowLocal, std::int32_t seconds) {
    CalendarTime at;
    if (!AutomationDate::fromCalendar(nowLocal).plusSeconds(seconds).toCalendar(at)) {
        return "(beyond the calendar)";
    }
    return FormatText("%04u-%02u-%02u %02u:%02u:%02u", at.wYear, at.wMonth, at.wDay, at.wHour, at.wMinute,
                      at.wSecond);
}

std::string StateLine(const ClockStatus& report, bool bRecent, const CalendarTime& nowLocal) {
    std::string line = bRecent ? "State: synchronised" : "State: not synchronised";
    if (report.backoffLeft > 0) {
        line += "; backing off after failures until " + LocalTimeText(nowLocal, report.backoffLeft);
    }
    if (report.stepsOnly != 0) {
        line += "; steps only, because the Windows Time service runs";
    }
    return line;
}

std::string Measured(const char* name, const std::optional<double>& ms, bool bSigned) {
    return ms ? FormatText(bSigned ? ", %s %+.3f ms" : ", %s %.3f ms", name, *ms) : std::string();
}

std::string SuccessLine(const ClockStatus& report, const std::optional<HistoryRow>& lastSuccess,
                        const CalendarTime& nowLocal) {
    if (report.successAge < 0) {
        return "Last success: none on record";
    }
    std::string line =
        FormatText("Last success: %s (%s ago)", LocalTimeText(nowLocal, -report.successAge).c_str(),
                   DurationText(report.successAge).c_str());
    if (lastSuccess) {
        line +=
            FormatText(", server %s (%s)", lastSuccess->strServer.c_str(), lastSuccess->strAddress.c_str()) +
            Measured("offset", lastSuccess->offsetMs, true) + Measured("delay", lastSuccess->delayMs, false);
    }
    return line;
}

std::string ScheduleLine(const ClockStatus& report, const CalendarTime& nowLocal) {
    const std::string interval =
        report.interval > 0 ? "every " + DurationText(report.interval) : std::string("none by itself");
    std::string next = "none planned";
    if (report.nextRun == 0) {
        next = "now";
    } else if (report.nextRun > 0) {
        next = LocalTimeText(nowLocal, report.nextRun) + " (in " + DurationText(report.nextRun) + ")";
    }
    return "Runs: " + interval + "; next run: " + next;
}

struct ReasonText {
    NoAnswer reason;
    const char* text;
};

constexpr ReasonText kNoAnswerTexts[] = {
    {NoAnswer::Silent, "The service does not answer."},
    {NoAnswer::HeldByAnother, "Another program holds the service's channel: its answer is not believed."},
    {NoAnswer::Refused,
     "The service's channel does not admit this account: it admits interactive users, administrators and "
     "the local system account."},
};

bool IsSuccess(HistoryAction action) {
    return action == HistoryAction::Stepped || action == HistoryAction::Slewed ||
           action == HistoryAction::None;
}

std::string_view WithoutLineEnd(const std::string& line) {
    return std::string_view(line).substr(0, line.size() - kHistoryLineEnd.size());
}

}  // namespace

std::int32_t RecentLimitSeconds(std::int32_t mode, std::int32_t uptime) {
    for (const RecentRule& rule : kRecentRules) {
        if (rule.mode == mode) {
            return rule.limit == 0 ? uptime : rule.limit;
        }
    }
    return -1;  // a mode that never runs is never synchronised
}

bool IsSynchronisedRecently(const ClockStatus& report) {
    return report.successAge >= 0 && report.successAge <= RecentLimitSeconds(report.mode, report.uptime);
}

std::optional<HistoryRow> NewestSuccess(const std::vector<HistoryRow>& rows) {
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        if (IsSuccess(row->action)) {
            return *row;
        }
    }
    return std::nullopt;
}

StatusOutput DescribeStatus(const ClockStatus& report, const std::optional<HistoryRow>& lastSuccess,
                            const CalendarTime& nowLocal) {
    const bool bRecent = IsSynchronisedRecently(report);
    const double ppm = report.frequencyPpb / 1000.0;
    StatusOutput output;
    output.exitCode = bRecent ? kStatusSynchronised : kStatusNotSynchronised;
    output.lines = {
        StateLine(report, bRecent, nowLocal),
        FormatText("Mode: %s", SyncModeName(report.mode)),
        SuccessLine(report, lastSuccess, nowLocal),
        FormatText("Frequency: %+.3f ppm (%+.3f s a day)", ppm, ppm * 1e-6 * kDay),
        ScheduleLine(report, nowLocal),
        FormatText("Failures in a row: %d", report.failures),
    };
    return output;
}

StatusOutput DescribeNoAnswer(NoAnswer reason, const std::optional<HistoryRow>& lastRow) {
    StatusOutput output;
    output.exitCode = kStatusNoAnswer;
    for (const ReasonText& text : kNoAnswerTexts) {
        if (text.reason == reason) {
            output.lines.emplace_back(text.text);
        }
    }
    if (!lastRow) {
        output.lines.push_back("The history has no row.");
        return output;
    }
    output.lines.push_back("The history's last row:");
    output.lines.emplace_back(kHistoryHeader);
    output.lines.emplace_back(WithoutLineEnd(FormatHistoryRow(*lastRow)));
    return output;
}
