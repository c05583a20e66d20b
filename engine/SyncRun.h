#pragma once
// One synchronisation run, executed on the run thread: up to nMaxAttempts attempts against
// one server, the optional offset shift of the local clock, and exactly one result line. A
// shift the platform refuses fails the run like a failed exchange, after a notice that says why.
// It works only on the snapshot it was given, never on the live settings.
//
// The result (offset shift, result line, server advance) is committed under commitLock,
// and only when stop is still clear; whoever sets stop under the same lock therefore knows
// that the run will log nothing further.

#include "common/LogSink.h"
#include "engine/LocalClock.h"
#include "engine/SyncAttempt.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

// What a run reads from the settings, copied under the settings lock when it starts.
struct RunSnapshot {
    bool bManual = false;
    int nSynPeriod = 0;
    int nMaxAttempts = 0;
    int nOffset = 0;
    std::string strTitle;
    std::string strAddress;
};

struct RunServices {
    SyncAttempt& attempt;
    LocalClock& clock;
    LogSink& log;
    std::mutex& commitLock;
    std::function<void()> nextServer;  // called once when the run fails
};

class CSyncRun {
public:
    CSyncRun(RunSnapshot snapshot, RunServices services);

    // 1 when the clock was set, 0 otherwise (also when stopped).
    int Execute(const std::atomic<bool>& stop);

private:
    SyncOutcome Query(const std::atomic<bool>& stop);
    int Commit(const SyncOutcome& outcome);
    int Fail(const std::string& text);
    bool ShiftedLocalTime(CalendarTime& shifted) const;
    void LogRefusedShift(int error);

    const RunSnapshot m_snapshot;
    RunServices m_services;
};
