#pragma once
// Decides once a second whether a run starts: the manual chain that the console's "now"
// request begins (one server per run until one succeeds, the list is used up, or the user
// breaks it off), and the scheduled runs of the configured mode, spaced out while servers
// fail (RunBackoff.h). Everything here runs on the control window's thread; it never waits
// for a run, except to end one on a break.
//
// No run time-out: a run always ends by itself (its attempts are bounded) or by a break,
// and ending it early would skip its failure step, so the server would never advance.

#include "common/LogSink.h"
#include "engine/ConnectivityProbe.h"
#include "engine/EngineSettings.h"
#include "engine/LocalClock.h"
#include "engine/SyncController.h"

class CScheduler {
public:
    // Everything given must outlive the scheduler.
    CScheduler(CSyncController& controller, CEngineSettings& settings, const LocalClock& clock,
               ConnectivityProbe& probe, LogSink& log);

    // The timer's tick: harvests an ended run; with none running, the manual request goes
    // first, then the schedule.
    void Tick();

    // The console's "synchronise now": a fresh walk through the list from the starting
    // server, begun at once when no run is going.
    void RequestSyncNow();

    // The console's "break": ends the request and any run, and says so in the log.
    void BreakSync();

    // The console wrote new settings: reload them and the controller, and say so.
    void OptionsUpdated();

    bool IsManualRequested() const { return m_bManualRequest; }

private:
    void StartManualRun();
    void CheckSchedule();
    bool IsScheduledRunDue(int mode, const CalendarTime& now) const;

    CSyncController& m_controller;
    CEngineSettings& m_settings;
    const LocalClock& m_clock;
    ConnectivityProbe& m_probe;
    LogSink& m_log;
    bool m_bManualRequest = false;
};
