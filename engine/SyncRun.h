#pragma once
// One synchronisation run, executed on the run thread: up to nMaxAttempts attempts against
// one server for a sample of its time, the clock discipline's decision on it (a slew, a step,
// or nothing), and exactly one result line. It works only on the snapshot it was given, never
// on the live settings.
//
// No single server makes a big step: a correction of the clock's own beyond a second (a change
// of the user's offset aside) is made only when another server of the list, at another
// address, asked right then, agrees within a tenth of a second. Otherwise the run fails and the
// clock is left alone, with a notice that says why. A list of one server is trusted as it is.
//
// The result (the clock's correction, result line, server advance) is committed under
// commitLock, and only when stop is still clear; whoever sets stop under the same lock
// therefore knows that the run will log nothing further.

#include "common/LogSink.h"
#include "engine/ClockDiscipline.h"
#include "engine/RunRecord.h"
#include "engine/SyncAttempt.h"
#include "settings/TimeServer.h"
#include "sntp/SystemClock.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// What a run reads from the settings, copied under the settings lock when it starts.
struct RunSnapshot {
    bool bManual = false;
    // A scheduled run of the continuous mode: one request, and an answer off the clock's course
    // is no server's failure.
    bool bPoll = false;
    int nSynPeriod = 0;
    int nMaxAttempts = 0;
    int nOffset = 0;
    std::string strTitle;
    std::string strAddress;
    // The rest of the list, from the next server on: those that may confirm a big correction.
    std::vector<CTimeServer> vecOthers;
};

struct RunServices {
    SyncAttempt& attempt;
    CClockDiscipline& discipline;
    const SystemClock& clock;  // the time of the run's record
    LogSink& log;
    std::mutex& commitLock;
    std::function<void()> nextServer;              // called once when the run fails
    std::function<void(const RunRecord&)> report;  // called once, under commitLock, unless stopped
};

class CSyncRun {
public:
    // Other servers asked at most for a confirmation, one sample each.
    static constexpr std::size_t kMaxConfirmingServers = 3;

    CSyncRun(RunSnapshot snapshot, RunServices services);

    // What Execute returns.
    static constexpr int kFailed = 0;     // also when stopped
    static constexpr int kSucceeded = 1;  // the clock is kept in step
    // The continuous mode's server answered, but its answer is off the clock's course: not the
    // server's failure, so no reason to wait longer for the next poll.
    static constexpr int kAnsweredOffCourse = 2;

    int Execute(const std::atomic<bool>& stop);

private:
    struct Confirmation {
        bool bNeeded = false;
        bool bAnswered = false;
        std::string strServer;  // the title of the server that answered
        SyncOutcome sample;
    };

    SyncOutcome Query(const std::atomic<bool>& stop);
    Confirmation Confirm(const SyncOutcome& sample, const std::atomic<bool>& stop);
    int Commit(const SyncOutcome& sample, const Confirmation& confirmation);
    int Refuse(RunRecord& record, const std::string& reason);
    int Fail(RunRecord& record);
    void LogRefusedShift(int offsetChange, unsigned long error);
    RunRecord StartRecord(const SyncOutcome& sample) const;

    const RunSnapshot m_snapshot;
    RunServices m_services;
};
