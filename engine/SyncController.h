#pragma once
// The synchronisation controller: holds the run thread (at most one), the current server,
// the record of the last successful synchronisation, and the counters and flags the
// scheduler consults, the back-off among them (RunBackoff.h): how long scheduled runs wait
// after failures, and which servers refused us. Every operation is called on the control
// window's thread; the run thread only advances the server when a run fails. Shared
// counters and flags are atomic; the settings are read under their lock.

#include "common/LogSink.h"
#include "engine/ClockDiscipline.h"
#include "engine/EngineSettings.h"
#include "engine/LastSyncRecord.h"
#include "engine/LocalClock.h"
#include "engine/RefusalWatch.h"
#include "engine/RunBackoff.h"
#include "engine/RunHistory.h"
#include "engine/RunThread.h"
#include "engine/SyncAttempt.h"
#include "engine/SyncRun.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

// What the controller works with; each must outlive it.
struct ControllerPorts {
    SyncAttempt& attempt;
    CClockDiscipline& discipline;     // what a sample means for the clock
    const SystemClock& clock;         // the time of each run's record
    const LocalClock& localClock;     // the time of the last-synchronisation record
    const MonotonicClock& monotonic;  // the back-off and the continuous mode's wait
    LogSink& log;
    RunHistory& history;  // every run's record, as a row
};

class CSyncController {
public:
    enum class RunKind { Scheduled, Manual };

    // settings must outlive the controller. recordFileName names the last-synchronisation
    // file ("zHoraluxServ.bin" in the product).
    CSyncController(CEngineSettings& settings, const ControllerPorts& ports, std::string recordFileName,
                    const BackoffPolicy& policy = BackoffPolicy());
    // A run still going is broken off and waited for.
    ~CSyncController();

    CSyncController(const CSyncController&) = delete;
    CSyncController& operator=(const CSyncController&) = delete;

    // True while a run thread is working. A thread that has ended is harvested here: exit
    // code 1 sets the synchronised flag, stores the current local time in the record and
    // ends the back-off; a failed scheduled run makes the next one wait longer.
    bool IsRunning();
    // Waits until a run in progress has ended by itself (it is not asked to stop), then
    // harvests it as IsRunning does: for a driver that steps the engine on virtual time.
    void AwaitRun();

    // Stops a run cooperatively and waits for it (the attempt honours the stop flag within
    // 50 ms). The broken run logs nothing further, and nothing is recorded for it.
    void BreakRun();

    // The next server of the list, wrapping to the first; counts one more failed run.
    void NextServer();

    // Before a manual request: back to the starting server, not synchronised, and no server
    // tried yet, so that every request walks the whole list again.
    void PrepareManualRun();

    // After the settings were (re)loaded: back to the starting server, the record re-read
    // from its file; resetStartRun (a fresh start) also forgets that a scheduled run was
    // started, and the back-off.
    void Reload(bool resetStartRun);

    // Title and address of the current server ("" when the list is empty).
    std::string CurrentServerName() const;
    std::string CurrentServerHost() const;

    // Starts a run on a snapshot of the settings taken now; false when a thread is still
    // held or none could be created.
    bool StartRun(RunKind kind);

    // A scheduled run failed since the last success, and the next must wait still.
    bool IsScheduledRunWaiting() const { return m_backoff.IsWaiting(m_ports.monotonic.now()); }
    // A scheduled run failed since the last success (or the fresh start).
    bool HasScheduledRunFailed() const { return m_backoff.HasFailures(); }
    // How long scheduled runs must still wait after failures (zero when they need not).
    std::chrono::seconds ScheduledWaitLeft() const { return m_backoff.WaitLeft(m_ports.monotonic.now()); }
    // Runs that failed since the last success, scheduled or asked for.
    int FailuresInRow() const { return m_nFailuresInRow; }
    // The network came back: a failure's wait ends now, once per wait.
    void NetworkReturned() { m_backoff.NetworkReturned(m_ports.monotonic.now()); }
    // Local time moved by seconds against UTC: so does the last synchronisation's (and its file).
    void ShiftLastSync(std::int32_t seconds);
    // Before a scheduled run: moves the current server on, from itself, past the servers
    // that refused us within the hold; false (and no move) when every one did.
    bool SkipRefusedServers();

    int CurrentServer() const { return m_nCurServer.load(); }
    int ServersTried() const { return m_nServersTried.load(); }
    bool IsSynchronized() const { return m_bSynchronized.load(); }
    bool IsStartRunDone() const { return m_bStartRunDone.load(); }
    void MarkStartRunDone() { m_bStartRunDone.store(true); }
    const AutomationDate& LastSync() const { return m_lastSync.value(); }
    // How long ago the last success was; nothing when none is on record, or when it lies ahead
    // of the clock (which has since been set back).
    std::optional<std::chrono::seconds> SinceLastSync() const;
    // When the last run started (nothing before the first), on the monotonic clock.
    std::optional<MonotonicClock::TimePoint> LastRunStart() const { return m_lastRunStart; }
    // What the last run that was not broken off did.
    std::optional<RunRecord> LastRunRecord() const;

    CClockDiscipline& Discipline() { return m_ports.discipline; }
    const CClockDiscipline& Discipline() const { return m_ports.discipline; }
    const MonotonicClock& Monotonic() const { return m_ports.monotonic; }

private:
    void NoteRefusals();
    RunSnapshot TakeSnapshot(RunKind kind);
    CTimeServer ServerAt(const CSettings& settings) const;

    void NoteRecord(const RunRecord& record);

    CEngineSettings& m_settings;
    const ControllerPorts m_ports;
    CRefusalWatch m_refusalWatch;  // wraps the attempt given

    std::atomic<int> m_nCurServer{0};
    LastSyncRecord m_lastSync;
    std::atomic<int> m_nServersTried{0};
    std::atomic<bool> m_bSynchronized{false};
    std::atomic<bool> m_bStartRunDone{false};
    RunKind m_runKind = RunKind::Scheduled;  // of the run held
    int m_nFailuresInRow = 0;
    // Manual requests so far, and how many there were when the run held began: a run that
    // succeeds satisfies only the requests made before it (a "now" that arrives while it ends,
    // after its result went out, gets a run of its own).
    int m_nManualRequests = 0;
    int m_nRequestsAtRunStart = 0;
    std::optional<MonotonicClock::TimePoint> m_lastRunStart;
    mutable std::mutex m_recordMutex;  // the run thread reports, the window's thread reads
    std::optional<RunRecord> m_lastRecord;
    CRunBackoff m_backoff;
    std::mutex m_commitMutex;  // a run's result versus BreakRun's stop request
    CRunThread m_syncThread;   // last, so it is ended before anything its run uses goes
};
