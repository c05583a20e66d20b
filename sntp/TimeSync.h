#pragma once
// One synchronisation attempt against one server: start the socket library, resolve the
// server, ask it, check the answer and set the clock. An offset under an hour is applied in one
// fine setting; a larger one is first stepped in whole seconds, then measured again (at the
// same address) and applied finely.
//
// A name with several addresses is asked address by address, in the order the system gives
// them, until one gives a usable reply. The attempt stays bounded: the lookup gets the reply's
// time-out, at most kMaxAddressesPerAttempt addresses are asked, and each request waits at most
// the four-second spacing from an earlier request to its address and then the reply's
// time-out. With the defaults that is at most 5 + 4 x (4 + 5) = 41 s, plus 4 + 5 s for the
// second query after a coarse step; a stop ends it within 50 ms wherever it is.

#include <atomic>
#include <cstdint>
#include <string>

#include "common/LogSink.h"
#include "sntp/HostResolver.h"
#include "sntp/QueryPacer.h"
#include "sntp/SntpQuery.h"
#include "sntp/SocketLibrary.h"
#include "sntp/SyncOutcome.h"
#include "sntp/SystemClock.h"

struct SyncContext {
    SystemClock& clock;
    TimePrivilege& privilege;
    LogSink& log;
    const MonotonicClock& monotonic;  // the replies' deadlines
    DatagramTransport& transport;
    CQueryPacer& pacer;       // kept by the caller across attempts and runs
    CHostResolver& resolver;  // likewise, so that a lookup left behind is joined, not repeated
    const std::atomic<bool>* stop = nullptr;
    int port = 123;
    std::uint32_t timeoutMs = SntpQuery::kDefaultTimeoutMs;
};

constexpr std::size_t kMaxAddressesPerAttempt = 4;

// server: a host name or an address literal (dotted IPv4, IPv6, IPv6 in brackets).
SyncOutcome synchronizeWithServer(const std::string& server, const SyncContext& context);

// One exchange with address, whose reply must also carry a plausible time: what a run accepts
// from one address.
SyncOutcome exchangeWithPlausibleTime(SntpQuery& query, const NetAddress& address, SntpResponse& response);

// Logs why the socket library cannot be used, if it cannot; true when it can.
bool acceptSocketLibrary(const SocketLibraryStatus& status, LogSink& log);

// The server's receive time must lie in 2004..2104: anything else is a server with a broken
// clock, not a reason to move ours by decades.
bool isPlausibleServerTime(NtpTimestamp receiveTime);

// An offset under an hour either way is applied in one fine setting; anything else (an hour or
// more, or not a number) takes the coarse step first.
bool isFineOffset(double offsetSeconds);

// The coarse step: now with its fraction of a second dropped, moved by the offset truncated
// toward zero to whole seconds.
NtpTimestamp coarseTarget(NtpTimestamp now, double offsetSeconds);
