#pragma once
// One sample of a server's time: start the socket library, resolve the server, ask it and check
// the answer. The clock is not touched: what a sample means for the clock (nothing, a slew, a
// step) is the clock discipline's to decide.
//
// A name with several addresses is asked address by address, in the order the system gives
// them, until one gives a usable reply. The sample stays bounded: the lookup gets the reply's
// time-out, at most kMaxAddressesPerSample addresses are asked, and each request waits at most
// the four-second spacing from an earlier request to its address and then the reply's
// time-out. With the defaults that is at most 5 + 4 x (4 + 5) = 41 s; a stop ends it within
// 50 ms wherever it is.

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

struct SampleContext {
    const SystemClock& clock;         // T1 and T4
    LogSink& log;                     // the socket library's failures
    const MonotonicClock& monotonic;  // the replies' deadlines
    DatagramTransport& transport;
    CQueryPacer& pacer;       // kept by the caller across samples and runs
    CHostResolver& resolver;  // likewise, so that a lookup left behind is joined, not repeated
    const std::atomic<bool>* stop = nullptr;
    int port = 123;
    std::uint32_t timeoutMs = SntpQuery::kDefaultTimeoutMs;
};

constexpr std::size_t kMaxAddressesPerSample = 4;

// server: a host name or an address literal (dotted IPv4, IPv6, IPv6 in brackets). On success
// the outcome carries the offset, the round trip, the stratum and the address that answered.
SyncOutcome sampleServer(const std::string& server, const SampleContext& context);

// One exchange with address, whose reply must also carry a plausible time: what a run accepts
// from one address.
SyncOutcome exchangeWithPlausibleTime(SntpQuery& query, const NetAddress& address, SntpResponse& response);

// Logs why the socket library cannot be used, if it cannot; true when it can.
bool acceptSocketLibrary(const SocketLibraryStatus& status, LogSink& log);

// The server's receive time must lie in 2004..2104: anything else is a server with a broken
// clock, not a reason to move ours by decades.
bool isPlausibleServerTime(NtpTimestamp receiveTime);
