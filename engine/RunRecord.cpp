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
