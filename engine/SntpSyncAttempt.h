#pragma once
// The engine's SyncAttempt carried out by the SNTP client: one exchange with the server and
// the setting of the clock. The pacer lives here, so the spacing between requests to one
// server holds across attempts and runs.

#include "common/LogSink.h"
#include "engine/SyncAttempt.h"
#include "sntp/MonotonicClock.h"
#include "sntp/QueryPacer.h"
#include "sntp/SystemClock.h"

class CSntpSyncAttempt final : public SyncAttempt {
public:
    static constexpr int kNtpPort = 123;

    // Everything given must outlive the attempt.
    CSntpSyncAttempt(SystemClock& clock, TimePrivilege& privilege, LogSink& log, MonotonicClock& monotonic,
                     int port = kNtpPort);

    SyncOutcome attempt(const std::string& host, const std::atomic<bool>& stop) override;

private:
    SystemClock& m_clock;
    TimePrivilege& m_privilege;
    LogSink& m_log;
    CQueryPacer m_pacer;
    int m_nPort;
};
