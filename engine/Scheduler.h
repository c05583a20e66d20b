#pragma once
// Decides once a second whether a run starts: the manual chain that the console's "now"
// request begins (one server per run until one succeeds, the list is used up, or the user
// breaks it off), and the scheduled runs of the configured mode, spaced out while servers
// fail (RunBackoff.h). Everything here runs on the control window's thread; it never waits
// for a run, except to end one on a break.
//
// The PC's life reaches it too: a wake from sleep starts a run of the mode's own as soon as the
// network is up (the clock kept the firmware's time meanwhile), a network that comes back ends
// a failure's wait (once per wait, RunBackoff.h), a clock set by somebody else makes the
// continuous mode poll at once, and a change of time zone or daylight saving time moves the
// last synchronisation's local time with the calendar, so that neither the hourly count nor
// the daily date jumps with it.
//
// No run time-out: a run always ends by itself (its attempts are bounded) or by a break,
// and ending it early would skip its failure step, so the server would never advance.

#include "common/LogSink.h"
#include "engine/ConnectivityProbe.h"
#include "engine/EngineSettings.h"
#include "engine/LocalClock.h"
#include "engine/SyncController.h"

#include <chrono>
#include <optional>

// When the mode runs next, for the service's status.
struct RunPlan {
    std::chrono::seconds interval{0};             // between scheduled runs now; zero: none runs by itself
    std::optional<std::chrono::seconds> nextRun;  // until the next run; none: none is planned
};

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

    // The PC woke up: the clock discipline forgets the phase, and a run starts as soon as the
    // computer is connected, or after kNetworkWaitAfterWake without a connection; none in the
    // "DemandOnly" mode. A second notice of the same wake (Windows sends two when a user is
    // present) within that wait adds nothing.
    void Resumed();
    // An address appeared or went: when the computer is connected now, a failure's wait ends.
    // News during a run is taken when the run has ended: it may fail for the outage just over.
    void NetworkChanged();
    // Somebody else set the clock (the discipline has taken note): the continuous mode polls
    // at once, the other modes measure at their next run.
    void ClockChanged();

    bool IsManualRequested() const { return m_bManualRequest; }

    // The schedule as it stands: a manual request runs at once, a failure's wait delays every
    // mode that runs by itself, and a mode that learns the clock's frequency polls meanwhile.
    RunPlan Plan() const;

    static constexpr std::chrono::seconds kNetworkWaitAfterWake{60};

private:
    void StartManualRun();
    bool IsManualRunPending() const;
    void CheckSchedule();
    bool IsScheduledRunDue(int mode, const CalendarTime& now) const;
    bool MayStartEarly(int mode);
    bool IsConnected();
    void WatchConnection();
    void TakeNetworkNews();
    void FollowCalendar();

    CSyncController& m_controller;
    CEngineSettings& m_settings;
    const LocalClock& m_clock;
    ConnectivityProbe& m_probe;
    LogSink& m_log;
    bool m_bManualRequest = false;
    // Since when a run of the mode's own waits to start ahead of the schedule (a wake, or the
    // continuous mode's poll after a foreign change of the clock).
    std::optional<MonotonicClock::TimePoint> m_earlyRunSince;
    std::optional<MonotonicClock::TimePoint> m_lastWake;
    bool m_bWasConnected = true;
    bool m_bNetworkNews = false;            // heard during a run
    std::optional<int> m_nLastBiasMinutes;  // local time minus UTC at the last tick
};
