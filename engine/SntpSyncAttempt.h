#pragma once
// The engine's SyncAttempt carried out by the SNTP client: one sample of the server's time. The
// pacer and the resolver live here, so the spacing between requests to one address holds
// across attempts and runs, and a name lookup that an attempt left behind is waited for again
// by the next attempt instead of being started anew.

#include "common/LogSink.h"
#include "engine/SyncAttempt.h"
#include "sntp/DatagramTransport.h"
#include "sntp/HostResolver.h"
#include "sntp/MonotonicClock.h"
#include "sntp/QueryPacer.h"
#include "sntp/SystemClock.h"

#include <memory>

class CSntpSyncAttempt final : public SyncAttempt {
public:
    static constexpr int kNtpPort = 123;

    // Everything given by reference must outlive the attempt; clock is read for the time
    // stamps, lookup resolves names (the system's resolver in the product), transport carries
    // the requests (UDP sockets), and monotonic times the waits.
    CSntpSyncAttempt(const SystemClock& clock, LogSink& log, MonotonicClock& monotonic,
                     DatagramTransport& transport, std::shared_ptr<NameLookup> lookup, int port = kNtpPort);

    SyncOutcome attempt(const std::string& host, const std::atomic<bool>& stop) override;

private:
    const SystemClock& m_clock;
    LogSink& m_log;
    MonotonicClock& m_monotonic;
    DatagramTransport& m_transport;
    CQueryPacer m_pacer;
    CHostResolver m_resolver;
    int m_nPort;
};
