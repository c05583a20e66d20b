#pragma once
// The engine's front: the start, the ticks and the console's requests as calls on the
// scheduler, the controller and the log. The control window only translates its messages
// into these.

#include "common/LogSink.h"
#include "engine/EngineSettings.h"
#include "engine/Scheduler.h"
#include "engine/StatusBoard.h"
#include "engine/SyncController.h"
#include "engine/WindowsTimeWatch.h"

#include <string>

class CSyncEngine {
public:
    // Everything given must outlive the engine. version is shown in the start line.
    CSyncEngine(CEngineSettings& settings, LogSink& log, CSyncController& controller, CScheduler& scheduler,
                CWindowsTimeWatch& windowsTime, std::string version);

    // The window was created: settings loaded, the start line written, the Windows Time service
    // looked at (from now on it keeps the clock discipline to steps while that service drives the
    // rate), the clock discipline given what it learned before (its drift file), the
    // controller prepared for a fresh start.
    void Open();
    // The clock discipline's tick (its rate) and the scheduler's; every kPolicyCheckTicks ticks
    // also a look at the organisation's policy, whose change reloads the settings as the
    // console's "options updated" does, and at the Windows Time service.
    void Tick();
    // From now on every tick puts the engine's state up on board (nullptr: nowhere), which must
    // outlive the engine or be taken away first.
    void SetStatusBoard(StatusBoard* board) { m_pStatusBoard = board; }
    // The state HoraluxServ -status shows, as of now.
    ClockStatus Status() const;
    void SyncNow() { m_scheduler.RequestSyncNow(); }
    void SyncBreak() { m_scheduler.BreakSync(); }
    // Reloads the settings; each value of the file or the policy left out gets its log line.
    void OptionsUpdated();
    // The PC woke from sleep or hibernation (CScheduler::Resumed).
    void Resumed() { m_scheduler.Resumed(); }
    // An address of the computer appeared or went (CScheduler::NetworkChanged).
    void NetworkChanged() { m_scheduler.NetworkChanged(); }
    // Windows says the clock was set: unless that was our own step or the wake's, the log says
    // so, the phase is measured afresh and the continuous mode polls at once. True when it was
    // somebody else.
    bool ClockChanged();
    // The message loop ended (the service stops): a run still going is stopped and waited
    // for (an attempt honours the stop within 50 ms), so no socket or half-written file is
    // left behind, the clock's rate goes back to Windows, and "Is closed" is logged.
    void Close();

    static constexpr const char* kClosedLine = "Is closed";
    static constexpr const char* kClockChangedLine = "The clock was changed by another program.";
    // Five minutes of one-second ticks: a policy refresh, or the Windows Time service's start
    // or stop, reaches the service within that.
    static constexpr int kPolicyCheckTicks = 300;

private:
    void LogLoadNotices();
    void Publish();

    CEngineSettings& m_settings;
    LogSink& m_log;
    CSyncController& m_controller;
    CScheduler& m_scheduler;
    CWindowsTimeWatch& m_windowsTime;
    const std::string m_strVersion;
    int m_nTicksSincePolicyCheck = 0;
    StatusBoard* m_pStatusBoard = nullptr;
    MonotonicClock::TimePoint m_openedAt{};
};
