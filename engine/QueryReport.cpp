#include "engine/QueryReport.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "common/TextFormat.h"
#include "sntp/SocketPlatform.h"

namespace {

constexpr double kMillisecondsPerSecond = 1000.0;
constexpr int kLastAsciiStratum = 1;  // primary servers name their reference clock in letters

struct FailureContext {
    const QuerySample& sample;
    const ErrorTextFunction& errorText;
    std::uint32_t timeoutMs;
};

// "unreachable: No route to host (error 113)"; the code alone when the platform has no text.
std::string errorWithText(const char* what, const FailureContext& context) {
    const int code = context.sample.outcome.nError;
    const std::string text = context.errorText ? context.errorText(code) : std::string();
    return text.empty() ? FormatText("%s (error %d)", what, code)
                        : FormatText("%s: %s (error %d)", what, text.c_str(), code);
}

std::string badReply(const FailureContext& context) {
    const SntpResponse& reply = context.sample.response;
    if (context.sample.outcome.badReply == ReplyCheck::KissOfDeath) {
        return "bad reply: kiss-o'-death, code " + FormatReferenceId(reply);
    }
    return std::string("bad reply: ") + replyCheckName(context.sample.outcome.badReply);
}

struct FailureText {
    SyncFailure failure;
    std::string (*describe)(const FailureContext& context);
};

// The ways a sample can fail: a query neither sets the clock nor breaks off, and starts the
// socket library before any sample.
constexpr FailureText kFailureTexts[] = {
    {SyncFailure::Network,
     [](const FailureContext& c) {
         return errorWithText(
             socket_platform::isUnreachable(c.sample.outcome.nError) ? "unreachable" : "network error", c);
     }},
    {SyncFailure::TimedOut,
     [](const FailureContext& c) {
         return FormatText("no reply within %g s (time-out)", c.timeoutMs / kMillisecondsPerSecond);
     }},
    {SyncFailure::BadReply, badReply},
    {SyncFailure::YearOutOfRange,
     [](const FailureContext& c) {
         return FormatText("bad reply: the server's time lies in the year %d",
                           static_cast<int>(c.sample.response.receiveTime.toSystemTime().wYear));
     }},
};

std::string localTimeText(const CalendarTime& t) {
    return FormatText("%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                      t.wSecond, t.wMilliseconds);
}

double milliseconds(double seconds) {
    return seconds * kMillisecondsPerSecond;
}

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

}  // namespace

QuerySummary SummarizeSamples(const std::vector<QuerySample>& samples) {
    QuerySummary summary;
    summary.nSamples = static_cast<int>(samples.size());
    std::vector<double> offsets;
    const QuerySample* best = nullptr;
    for (const QuerySample& sample : samples) {
        if (!sample.outcome.bSucceeded) {
            continue;
        }
        offsets.push_back(sample.response.clockOffset);
        if (best == nullptr || sample.response.roundTripDelay < best->response.roundTripDelay) {
            best = &sample;
        }
    }
    summary.nAnswered = static_cast<int>(offsets.size());
    if (best != nullptr) {
        summary.medianOffset = medianOf(offsets);
        summary.smallestDelay = best->response.roundTripDelay;
        summary.offsetAtSmallestDelay = best->response.clockOffset;
    }
    return summary;
}

std::string FormatQueryHeader(const std::string& server, const std::vector<NetAddress>& addresses,
                              int samples) {
    std::string list;
    for (const NetAddress& address : addresses) {
        list += (list.empty() ? "" : ", ") + address.toString();
    }
    return FormatText("Querying %s (%s), %d sample%s; the clock is not changed.", server.c_str(),
                      list.c_str(), samples, samples == 1 ? "" : "s");
}

std::string FormatSampleLine(const QuerySample& sample, const ErrorTextFunction& errorText,
                             std::uint32_t timeoutMs) {
    const std::string start = localTimeText(sample.localTime) + "  " + sample.address.toString() + "  ";
    if (!sample.outcome.bSucceeded) {
        return start + "failed: " + DescribeSampleFailure(sample, errorText, timeoutMs);
    }
    const SntpResponse& reply = sample.response;
    return start + FormatText("offset %+.3f ms  delay %.3f ms  stratum %d  leap %d  ref %s",
                              milliseconds(reply.clockOffset), milliseconds(reply.roundTripDelay),
                              reply.stratum, reply.leapIndicator, FormatReferenceId(reply).c_str());
}

std::string FormatSummaryLine(const QuerySummary& summary) {
    const std::string answered =
        FormatText("Summary: %d of %d samples answered", summary.nAnswered, summary.nSamples);
    if (summary.nAnswered == 0) {
        return answered + ".";
    }
    return answered + FormatText(
                          "; median offset %+.3f ms; smallest delay %.3f ms; best estimate "
                          "(offset at the smallest delay) %+.3f ms.",
                          milliseconds(summary.medianOffset), milliseconds(summary.smallestDelay),
                          milliseconds(summary.offsetAtSmallestDelay));
}

std::string DescribeSampleFailure(const QuerySample& sample, const ErrorTextFunction& errorText,
                                  std::uint32_t timeoutMs) {
    const auto found =
        std::find_if(std::begin(kFailureTexts), std::end(kFailureTexts),
                     [&](const FailureText& entry) { return entry.failure == sample.outcome.failure; });
    return found == std::end(kFailureTexts) ? std::string("no usable reply")
                                            : found->describe(FailureContext{sample, errorText, timeoutMs});
}

std::string FormatReferenceId(const SntpResponse& response) {
    const auto& id = response.referenceId;
    if (response.stratum > kLastAsciiStratum) {
        return FormatText("%u.%u.%u.%u", id[0], id[1], id[2], id[3]);
    }
    std::string code;
    for (const std::uint8_t c : id) {
        if (c != 0) {
            code += std::isprint(c) ? static_cast<char>(c) : '?';
        }
    }
    return code;
}
