#include "sntp/TimeSync.h"

#include <cmath>

#include "common/LogResult.h"

namespace {

constexpr int kFirstPlausibleYear = 2004;
constexpr int kLastPlausibleYear = 2104;
constexpr double kFineSettingLimitSeconds = 3600.0;

SyncOutcome failure(SyncFailure kind, int error = 0) {
    SyncOutcome outcome;
    outcome.failure = kind;
    outcome.nError = error;
    return outcome;
}

// Sets the clock to newTime; the outcome carries the delay of the exchange behind it.
SyncOutcome setClock(const SyncContext& context, NtpTimestamp newTime, double roundTripDelay) {
    const ClockResult result = setSystemClock(context.clock, context.privilege, newTime);
    if (!result.bSucceeded) {
        return failure(SyncFailure::ClockNotSet, result.nError);
    }
    SyncOutcome outcome;
    outcome.bSucceeded = true;
    outcome.roundTripDelay = roundTripDelay;
    return outcome;
}

SyncOutcome setFinely(const SyncContext& context, const SntpResponse& response) {
    return setClock(context, context.clock.nowUtc().plusSeconds(response.clockOffset),
                    response.roundTripDelay);
}

// The step is set through the privilege like every other setting: without it, a Windows NT
// system refuses the step.
SyncOutcome stepCoarsely(const SyncContext& context, const SntpResponse& response) {
    return setClock(context, coarseTarget(context.clock.nowUtc(), response.clockOffset),
                    response.roundTripDelay);
}

}  // namespace

bool acceptSocketLibrary(const SocketLibraryStatus& status, LogSink& log) {
    if (!status.bStarted) {
        log.write("WSAStartup failed!", LOG_FAILED, 0.0);
        return false;
    }
    if (status.nMajor != 1 || status.nMinor != 1) {
        log.write("Winsock stack does not support version that is needed!", LOG_FAILED, 0.0);
        return false;
    }
    return true;
}

bool isPlausibleServerTime(NtpTimestamp receiveTime) {
    const int year = receiveTime.toSystemTime().wYear;
    return year >= kFirstPlausibleYear && year <= kLastPlausibleYear;
}

bool isFineOffset(double offsetSeconds) {
    return std::fabs(offsetSeconds) < kFineSettingLimitSeconds;
}

NtpTimestamp coarseTarget(NtpTimestamp now, double offsetSeconds) {
    return NtpTimestamp(now.seconds(), 0).plusSeconds(std::trunc(offsetSeconds));
}

SyncOutcome synchronizeWithServer(const std::string& server, const SyncContext& context) {
    const CSocketLibrary library;  // cleaned up on every way out
    if (!acceptSocketLibrary(library.status(), context.log)) {
        return failure(SyncFailure::SocketLibrary, library.status().nError);
    }
    SntpQuery query(context.clock, context.pacer, context.stop, context.timeoutMs);
    SntpResponse response;
    const SyncOutcome first = query.exchange(server, response, context.port);
    if (!first.bSucceeded) {
        return first;
    }
    if (!isPlausibleServerTime(response.receiveTime)) {
        return failure(SyncFailure::YearOutOfRange);
    }
    if (isFineOffset(response.clockOffset)) {
        return setFinely(context, response);
    }
    const SyncOutcome step = stepCoarsely(context, response);
    if (!step.bSucceeded) {
        return step;
    }
    // The second reply is trusted as it is: the first one passed the year and size tests.
    const SyncOutcome second = query.exchange(server, response, context.port);
    return second.bSucceeded ? setFinely(context, response) : second;
}
