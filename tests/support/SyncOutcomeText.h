#pragma once
// An attempt's outcome in words, for the message of a failed assertion.

#include "sntp/SntpPacket.h"
#include "sntp/SyncOutcome.h"

#include <string>

inline std::string describe(const SyncOutcome& outcome) {
    return "failure " + std::to_string(static_cast<int>(outcome.failure)) + ", error " +
           std::to_string(outcome.nError) + ", reply " + replyCheckName(outcome.badReply);
}
