#include "engine/Scheduler.h"

#include "common/LogResult.h"
#include "settings/SyncMode.h"

#include <algorithm>

namespace {

constexpr int kMinutesBetweenHourlyRuns = 60;
constexpr std::chrono::seconds kDay{24 * 60 * 60};
constexpr std::chrono::seconds kHour{kMinutesBetweenHourlyRuns * 60};

using Wait = std::optional<std::chrono::seconds>;

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
    bool bPollDue;   // the clock discipline's wait since the last run is over, and no failure's
    bool bLearning;  // the clock discipline asks for extra samples
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

// A lost request is not asked again: the next poll comes at its time (or later, when the
// back-off says so).
bool continuousDue(const DueContext& c) {
    return c.bPollDue;
}

bool neverDue(const DueContext&) {
    return false;
}

// What the next run's time depends on.
struct PlanContext {
    const CalendarTime& now;
    const AutomationDate& lastSync;
    bool bStartRunDone;
    bool bRetryDue;
    std::chrono::seconds pollLeft;  // until the clock discipline's wait since the last run is over
};

// Synchronised today: the next day's first tick.
Wait dailyLeft(const PlanContext& c) {
    CalendarTime last;
    if (!c.lastSync.toCalendar(last) || !sameDate(last, c.now)) {
        return std::chrono::seconds(0);
    }
    const int secondsToday = (c.now.wHour * 60 + c.now.wMinute) * 60 + c.now.wSecond;
    return kDay - std::chrono::seconds(secondsToday);
}

Wait onStartLeft(const PlanContext& c) {
    return !c.bStartRunDone || c.bRetryDue ? Wait(std::chrono::seconds(0)) : std::nullopt;
}

Wait hourlyLeft(const PlanContext& c) {
    if (!c.lastSync.isValid()) {
        return std::chrono::seconds(0);
    }
    const std::chrono::seconds since(
        AutomationSpan::between(AutomationDate::fromCalendar(c.now), c.lastSync).wholeSeconds());
    return std::max(kHour - since, std::chrono::seconds(0));
}

Wait continuousLeft(const PlanContext& c) {
    return c.pollLeft;
}

Wait neverLeft(const PlanContext&) {
    return std::nullopt;
}

struct ModeRule {
    int mode;
    bool (*isDue)(const DueContext&);
    Wait (*waitLeft)(const PlanContext&);  // until it is due, failures' waits aside
    std::chrono::seconds period;           // zero: the clock discipline's poll interval, or none
    bool bLearns;                          // also runs when the clock discipline asks for extra samples
    bool bRunsEarly;  // runs ahead of its schedule after a wake (and the continuous mode's poll)
};

constexpr ModeRule kModeRules[] = {
    {kSyncDaily, dailyDue, dailyLeft, kDay, true, true},
    {kSyncOnStart, onStartDue, onStartLeft, std::chrono::seconds(0), true, true},
    {kSyncHourly, hourlyDue, hourlyLeft, kHour, true, true},
    {kSyncDemandOnly, neverDue, neverLeft, std::chrono::seconds(0), false, false},
    {kSyncContinuous, continuousDue, continuousLeft, std::chrono::seconds(0), false, true},
};

// The rule of mode; nullptr for "Error", which never runs.
const ModeRule* ruleFor(int mode) {
    for (const ModeRule& rule : kModeRules) {
        if (rule.mode == mode) {
            return &rule;
        }
    }
    return nullptr;
}

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
    FollowCalendar();
    if (m_controller.IsRunning()) {
        return;
    }
    if (m_bManualRequest) {
        StartManualRun();
    }
    WatchConnection();
    if (m_bNetworkNews) {
        TakeNetworkNews();
    }
    CheckSchedule();
}

void CScheduler::Resumed() {
    const MonotonicClock::TimePoint now = m_controller.Monotonic().now();
    if (m_lastWake && now - *m_lastWake < kNetworkWaitAfterWake) {
        return;
    }
    m_lastWake = now;
    m_earlyRunSince = now;
    m_controller.Discipline().Resumed();
    CheckSchedule();
}

void CScheduler::NetworkChanged() {
    m_bNetworkNews = true;
    if (!m_controller.IsRunning()) {
        TakeNetworkNews();
    }
}

void CScheduler::TakeNetworkNews() {
    m_bNetworkNews = false;
    if (IsConnected()) {
        m_controller.NetworkReturned();
        CheckSchedule();
    }
}

void CScheduler::ClockChanged() {
    if (m_settings.Read(viewOf).nSynPeriod == kSyncContinuous) {
        m_earlyRunSince = m_controller.Monotonic().now();
        CheckSchedule();
    }
}

bool CScheduler::IsConnected() {
    m_bWasConnected = m_probe.isConnected();
    return m_bWasConnected;
}

// While a failure's wait is on, the connection test is asked every tick: its turn to true
// means the network is back.
void CScheduler::WatchConnection() {
    if (!m_controller.IsScheduledRunWaiting()) {
        return;
    }
    const bool bWasConnected = m_bWasConnected;
    if (IsConnected() && !bWasConnected) {
        m_controller.NetworkReturned();
    }
}

// Local time moved against UTC (a new time zone, daylight saving time began or ended): the
// last synchronisation's local time moves with it, as if it had been told in the new zone.
void CScheduler::FollowCalendar() {
    const int bias = m_clock.utcBiasMinutes();
    if (m_nLastBiasMinutes && bias != *m_nLastBiasMinutes) {
        m_controller.ShiftLastSync((bias - *m_nLastBiasMinutes) * 60);
    }
    m_nLastBiasMinutes = bias;
}

void CScheduler::RequestSyncNow() {
    m_controller.PrepareManualRun();
    m_bManualRequest = true;
    StartManualRun();
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
    if (!m_controller.IsRunning() && IsManualRunPending()) {
        m_controller.StartRun(CSyncController::RunKind::Manual);
    }
}

// The request stands until a run succeeds or every server of the list has been tried.
bool CScheduler::IsManualRunPending() const {
    return m_bManualRequest && !m_controller.IsSynchronized() &&
           m_controller.ServersTried() < m_settings.Read(viewOf).nServers;
}

void CScheduler::CheckSchedule() {
    if (m_controller.IsRunning()) {
        return;
    }
    const CalendarTime now = m_clock.nowLocal();
    const ScheduleView view = m_settings.Read(viewOf);
    const MonotonicClock::TimePoint monotonicNow = m_controller.Monotonic().now();
    const bool bEarly = MayStartEarly(view.nSynPeriod);
    if (!bEarly && !IsScheduledRunDue(view.nSynPeriod, now)) {
        return;
    }
    if (view.nOffset != 0 && inMidnightGuard(now)) {
        return;
    }
    // After a wake the connection test is not believed for ever: the run goes out anyway.
    const bool bWaitedEnough = bEarly && monotonicNow - *m_earlyRunSince >= kNetworkWaitAfterWake;
    if (!IsConnected() && !bWaitedEnough) {
        return;  // asked again at the next tick
    }
    if (!m_controller.SkipRefusedServers()) {
        return;  // every server refused us lately
    }
    m_controller.StartRun(CSyncController::RunKind::Scheduled);
    m_controller.MarkStartRunDone();  // also when no thread could be made: that counts as a failure
    m_earlyRunSince.reset();
}

// A run ahead of the schedule waits neither for the mode's time nor for a failure's wait; a
// mode that never runs by itself drops it.
bool CScheduler::MayStartEarly(int mode) {
    const ModeRule* rule = ruleFor(mode);
    if (m_earlyRunSince && (rule == nullptr || !rule->bRunsEarly)) {
        m_earlyRunSince.reset();
    }
    return m_earlyRunSince.has_value();
}

bool CScheduler::IsScheduledRunDue(int mode, const CalendarTime& now) const {
    const bool bWaiting = m_controller.IsScheduledRunWaiting();
    const CClockDiscipline& discipline = m_controller.Discipline();
    const std::optional<MonotonicClock::TimePoint> lastStart = m_controller.LastRunStart();
    const bool bPollDue =
        !bWaiting && (!lastStart || m_controller.Monotonic().now() - *lastStart >= discipline.PollInterval());
    const DueContext context{now,
                             m_controller.LastSync(),
                             m_controller.IsStartRunDone(),
                             bWaiting,
                             m_controller.HasScheduledRunFailed() && !bWaiting,
                             bPollDue,
                             discipline.IsLearning()};
    const ModeRule* rule = ruleFor(mode);
    return rule != nullptr &&  // "Error": never
           (rule->isDue(context) || (rule->bLearns && context.bLearning && context.bPollDue));
}

RunPlan CScheduler::Plan() const {
    const ModeRule* rule = ruleFor(m_settings.Read(viewOf).nSynPeriod);
    if (rule == nullptr) {
        return RunPlan{};
    }
    const CClockDiscipline& discipline = m_controller.Discipline();
    const std::chrono::seconds poll = discipline.PollInterval();
    const std::optional<MonotonicClock::TimePoint> lastStart = m_controller.LastRunStart();
    const std::chrono::seconds pollLeft =
        lastStart
            ? std::max(
                  std::chrono::ceil<std::chrono::seconds>(*lastStart + poll - m_controller.Monotonic().now()),
                  std::chrono::seconds(0))
            : std::chrono::seconds(0);
    const CalendarTime now = m_clock.nowLocal();
    const PlanContext context{now, m_controller.LastSync(), m_controller.IsStartRunDone(),
                              m_controller.HasScheduledRunFailed() && !m_controller.IsScheduledRunWaiting(),
                              pollLeft};
    const bool bLearning = rule->bLearns && discipline.IsLearning();
    RunPlan plan;
    plan.interval = rule->mode == kSyncContinuous || bLearning ? poll : rule->period;
    plan.nextRun = rule->waitLeft(context);
    if (bLearning) {
        plan.nextRun = plan.nextRun ? std::min(*plan.nextRun, pollLeft) : pollLeft;
    }
    if (plan.nextRun && m_controller.IsScheduledRunWaiting()) {
        plan.nextRun = std::max(*plan.nextRun, m_controller.ScheduledWaitLeft());
    }
    if (IsManualRunPending()) {
        plan.nextRun = std::chrono::seconds(0);
    }
    return plan;
}
