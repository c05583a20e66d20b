#pragma once
// One synchronisation attempt against one server: start the socket library, ask the server,
// check the answer and set the clock. An offset under an hour is applied in one fine setting;
// a larger one is first stepped in whole seconds, then measured again and applied finely.

#include <atomic>
#include <cstdint>
#include <string>

#include "common/LogSink.h"
#include "sntp/QueryPacer.h"
#include "sntp/SntpQuery.h"
#include "sntp/SocketLibrary.h"
#include "sntp/SyncOutcome.h"
#include "sntp/SystemClock.h"

struct SyncContext {
    SystemClock& clock;
    TimePrivilege& privilege;
    LogSink& log;
    CQueryPacer& pacer;  // kept by the caller across attempts and runs
    const std::atomic<bool>* stop = nullptr;
    int port = 123;
    std::uint32_t timeoutMs = SntpQuery::kDefaultTimeoutMs;
};

SyncOutcome synchronizeWithServer(const std::string& server, const SyncContext& context);

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
