#pragma once
// What HoraluxServ -q prints: a line per sample (the local time, the address asked, and either
// what the server answered or why the sample failed), and a summary over the valid samples.
// Offsets and delays are in milliseconds with three decimals, so a microsecond shows.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Calendar.h"
#include "sntp/NetAddress.h"
#include "sntp/SntpPacket.h"
#include "sntp/SyncOutcome.h"

// The platform's text for an error code (empty when it has none).
using ErrorTextFunction = std::function<std::string(int)>;

struct QuerySample {
    CalendarTime localTime;  // when the sample ended
    NetAddress address;      // the address it went to
    SyncOutcome outcome;
    SntpResponse response;  // what the server said; for a failed sample possibly partial
};

struct QuerySummary {
    int nSamples = 0;
    int nAnswered = 0;  // the valid samples; the figures below are theirs
    double medianOffset = 0.0;
    double smallestDelay = 0.0;
    // The best estimate: the path of that sample was the least disturbed, and whatever delayed one
    // leg more than the other can have moved its offset by at most half its delay.
    double offsetAtSmallestDelay = 0.0;
};

QuerySummary SummarizeSamples(const std::vector<QuerySample>& samples);

// "Querying pool.example (192.0.2.1:123, [2001:db8::1]:123), 4 samples; the clock is not changed."
std::string FormatQueryHeader(const std::string& server, const std::vector<NetAddress>& addresses,
                              int samples);
// "2024-05-01 12:00:04.123  192.0.2.1:123  offset +1.234 ms  delay 0.210 ms  stratum 2  leap 0
// ref 192.0.2.7", or the same start and "failed: " with the reason.
std::string FormatSampleLine(const QuerySample& sample, const ErrorTextFunction& errorText,
                             std::uint32_t timeoutMs);
std::string FormatSummaryLine(const QuerySummary& summary);

// Why a sample failed, in words: a time-out, an unreachable server, a network error with the
// platform's text, or the reply check it failed.
std::string DescribeSampleFailure(const QuerySample& sample, const ErrorTextFunction& errorText,
                                  std::uint32_t timeoutMs);

// The reference identifier as NTP tools show it: four ASCII characters at stratum 0 and 1 (a
// kiss code, or a reference clock such as "GPS"), a dotted address above.
std::string FormatReferenceId(const SntpResponse& response);
