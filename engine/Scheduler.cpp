#include "engine/Scheduler.h"

#include "common/LogResult.h"
#include "settings/SyncMode.h"

namespace {

constexpr int kMinutesBetweenHourlyRuns = 60;

struct ScheduleView {
    int nSynPeriod;
    int nOffset;
    int nServers;
};

struct DueContext {
    const CalendarTime& now;
    const AutomationDate& lastSync;
    bool bStartRunDone;
    bool bWaiting;   // a failed scheduled run's wait is not over
    bool bRetryDue;  // scheduled runs failed since the last success, and the wait is over
};

bool sameDate(const CalendarTime& a, const CalendarTime& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

// A last synchronisation that is not a valid date counts as long past.
bool dailyDue(const DueContext& c) {
    CalendarTime last;
    return !c.bWaiting && (!c.lastSync.toCalendar(last) || !sameDate(last, c.now));
}

// The start run itself never waits; a failed one is retried with the back-off.
bool onStartDue(const DueContext& c) {
    return !c.bStartRunDone || c.bRetryDue;
}

// A last synchronisation in the future gives a negative count: no run.
bool hourlyDue(const DueContext& c) {
    return !c.bWaiting &&
           (!c.lastSync.isValid() ||
            AutomationSpan::between(AutomationDate::fromCalendar(c.now), c.lastSync).wholeMinutes() >=
                kMinutesBetweenHourlyRuns);
}

bool neverDue(const DueContext&) {
    return false;
}

struct ModeRule {
    int mode;
    bool (*isDue)(const DueContext&);
};

constexpr ModeRule kModeRules[] = {
    {kSyncDaily, dailyDue},
    {kSyncOnStart, onStartDue},
    {kSyncHourly, hourlyDue},
    {kSyncDemandOnly, neverDue},
    // Hourly steps until the clock discipline brings the continuous mode its own polling.
    {kSyncContinuous, hourlyDue},
};

// With an offset, no scheduled run starts near midnight (23:46:00 to 00:14:59): the shift
// could carry the clock across midnight.
bool inMidnightGuard(const CalendarTime& now) {
    return (now.wHour == 23 && now.wMinute > 45) || (now.wHour == 0 && now.wMinute < 15);
}

ScheduleView viewOf(const CSettings& s) {
    return ScheduleView{s.m_nSynPeriod, s.m_nOffset, s.m_servers.GetCount()};
}

}  // namespace

CScheduler::CScheduler(CSyncController& controller, CEngineSettings& settings, const LocalClock& clock,
                       ConnectivityProbe& probe, LogSink& log)
    : m_controller(controller), m_settings(settings), m_clock(clock), m_probe(probe), m_log(log) {}

void CScheduler::Tick() {
    if (m_controller.IsRunning()) {
        return;
    }
    if (m_bManualRequest) {
        StartManualRun();
    }
    CheckSchedule();
}

void CScheduler::RequestSyncNow() {
    m_controller.PrepareManualRun();
    StartManualRun();
    m_bManualRequest = true;
}

void CScheduler::BreakSync() {
    m_bManualRequest = false;
    m_controller.BreakRun();
    m_log.write("Synchronization is broken by the user.", LOG_BROKEN, 0.0);
}

void CScheduler::OptionsUpdated() {
    m_settings.Reload();
    m_controller.Reload(false);
    m_log.write("Options are updated.", LOG_RELOADED, 0.0);
}

void CScheduler::StartManualRun() {
    if (m_controller.IsSynchronized() || m_controller.IsRunning()) {
        return;
    }
    if (m_controller.ServersTried() < m_settings.Read(viewOf).nServers) {
        m_controller.StartRun(CSyncController::RunKind::Manual);
    }
}

void CScheduler::CheckSchedule() {
    if (m_controller.IsRunning()) {
        return;
    }
    const CalendarTime now = m_clock.nowLocal();
    const ScheduleView view = m_settings.Read(viewOf);
    if (!IsScheduledRunDue(view.nSynPeriod, now)) {
        return;
    }
    if (view.nOffset != 0 && inMidnightGuard(now)) {
        return;
    }
    if (!m_probe.isConnected()) {
        return;  // asked again at the next tick
    }
    if (!m_controller.SkipRefusedServers()) {
        return;  // every server refused us lately
    }
    m_controller.StartRun(CSyncController::RunKind::Scheduled);
    m_controller.MarkStartRunDone();  // also when no thread could be made: that counts as a failure
}

bool CScheduler::IsScheduledRunDue(int mode, const CalendarTime& now) const {
    const bool bWaiting = m_controller.IsScheduledRunWaiting();
    const DueContext context{now, m_controller.LastSync(), m_controller.IsStartRunDone(), bWaiting,
                             m_controller.HasScheduledRunFailed() && !bWaiting};
    for (const ModeRule& rule : kModeRules) {
        if (rule.mode == mode) {
            return rule.isDue(context);
        }
    }
    return false;  // "Error": never
}
