#include "engine/RunRecord.h"

#include <algorithm>
#include <iterator>

namespace {

struct FailureReason {
    SyncFailure failure;
    const char* text;
};

// Why no server answered, when the run says no more (the log has the details).
constexpr FailureReason kFailureReasons[] = {
    {SyncFailure::SocketLibrary, "The socket library did not start."},
    {SyncFailure::Network, "Network error."},
    {SyncFailure::TimedOut, "No reply in time."},
    {SyncFailure::Cancelled, "Broken off."},
    {SyncFailure::BadReply, "Bad reply."},
    {SyncFailure::YearOutOfRange, "The server's time lies outside 2004 to 2104."},
};

struct ActionOf {
    ClockAction clock;
    HistoryAction history;
};

constexpr ActionOf kActions[] = {
    {ClockAction::None, HistoryAction::None},       {ClockAction::Slewed, HistoryAction::Slewed},
    {ClockAction::Stepped, HistoryAction::Stepped}, {ClockAction::Refused, HistoryAction::Refused},
    {ClockAction::Failed, HistoryAction::Failed},
};

}  // namespace

std::string RunFailureReason(const RunRecord& record) {
    if (!record.strReason.empty() || record.sample.bSucceeded) {
        return record.strReason;
    }
    const auto* found = std::find_if(
        std::begin(kFailureReasons), std::end(kFailureReasons),
        [&record](const FailureReason& entry) { return entry.failure == record.sample.failure; });
    return found == std::end(kFailureReasons) ? std::string() : found->text;
}

HistoryAction HistoryActionOf(ClockAction action) {
    const auto* found = std::find_if(std::begin(kActions), std::end(kActions),
                                     [action](const ActionOf& entry) { return entry.clock == action; });
    return found->history;
}
