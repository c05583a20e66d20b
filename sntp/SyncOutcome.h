#pragma once
// How an exchange or a synchronisation attempt ended. Success is its own flag: a delay of 0 is
// a valid measurement, not a failure.

#include "sntp/NetAddress.h"
#include "sntp/SntpPacket.h"

enum class SyncFailure {
    None,
    SocketLibrary,   // the socket library did not start, or not in version 1.1
    Network,         // a socket call failed (nError), name resolution included
    TimedOut,        // no usable reply in time (nError is the platform's time-out code)
    Cancelled,       // the stop flag was set
    BadReply,        // the reply failed a check (badReply)
    YearOutOfRange,  // the server's receive time lies outside 2004..2104
};

struct SyncOutcome {
    bool bSucceeded = false;
    SyncFailure failure = SyncFailure::None;
    int nError = 0;
    ReplyCheck badReply = ReplyCheck::Passed;
    // A "RATE", "DENY" or "RSTR" kiss: do not ask this server again in this run.
    bool bServerRefused = false;
    // What a successful exchange measured: seconds, the delay never negative; the offset is
    // what the local clock must move by to show the server's time.
    double roundTripDelay = 0.0;
    double clockOffset = 0.0;
    int stratum = 0;
    NetAddress address;  // that answered (set by a sample, not by a single exchange)
};

inline SyncOutcome syncFailure(SyncFailure kind, int error = 0) {
    SyncOutcome outcome;
    outcome.failure = kind;
    outcome.nError = error;
    return outcome;
}

inline SyncOutcome syncSuccess(double roundTripDelay, double clockOffset = 0.0) {
    SyncOutcome outcome;
    outcome.bSucceeded = true;
    outcome.roundTripDelay = roundTripDelay;
    outcome.clockOffset = clockOffset;
    return outcome;
}
