#include "engine/SyncEngine.h"

#include "common/LogResult.h"
#include "common/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

CSyncEngine::CSyncEngine(CEngineSettings& settings, LogSink& log, CSyncController& controller,
                         CScheduler& scheduler, CWindowsTimeWatch& windowsTime, std::string version)
    : m_settings(settings),
      m_log(log),
      m_controller(controller),
      m_scheduler(scheduler),
      m_windowsTime(windowsTime),
      m_strVersion(std::move(version)) {}

void CSyncEngine::Open() {
    m_settings.Reload();
    m_log.write(FormatText("Horalux Clock Service v. %s is started.", m_strVersion.c_str()), LOG_NOTICE, 0.0);
    LogLoadNotices();
    m_windowsTime.Look();
    m_windowsTime.Attach(m_controller.Discipline());
    m_controller.Discipline().Open();
    m_controller.Reload(true);
    m_openedAt = m_controller.Monotonic().now();
    Publish();  // a status request before the first tick is answered too
}

void CSyncEngine::Publish() {
    if (m_pStatusBoard != nullptr)
        m_pStatusBoard->publish(Status());
}

void CSyncEngine::Tick() {
    m_controller.Discipline().Tick();
    m_scheduler.Tick();
    Publish();
    if (++m_nTicksSincePolicyCheck < kPolicyCheckTicks)
        return;
    m_nTicksSincePolicyCheck = 0;
    if (m_settings.PolicyChanged())
        OptionsUpdated();
    m_windowsTime.Look();
}

namespace {

std::int32_t Seconds(std::chrono::seconds span) {
    return static_cast<std::int32_t>(
        std::clamp<std::chrono::seconds::rep>(span.count(), 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

ClockStatus CSyncEngine::Status() const {
    const DisciplineStatus discipline = m_controller.Discipline().Status();
    const std::optional<std::chrono::seconds> since = m_controller.SinceLastSync();
    const RunPlan plan = m_scheduler.Plan();
    ClockStatus report;
    report.mode = m_settings.Read([](const CSettings& settings) { return settings.m_nSynPeriod; });
    report.stepsOnly = discipline.bStepsOnly ? 1 : 0;
    report.successAge = since ? Seconds(*since) : -1;
    report.failures = m_controller.FailuresInRow();
    report.backoffLeft = Seconds(m_controller.ScheduledWaitLeft());
    report.frequencyPpb = static_cast<std::int32_t>(std::lround(discipline.frequencyPpm * 1000.0));
    report.interval = Seconds(plan.interval);
    report.nextRun = plan.nextRun ? Seconds(*plan.nextRun) : -1;
    report.uptime = Seconds(
        std::chrono::duration_cast<std::chrono::seconds>(m_controller.Monotonic().now() - m_openedAt));
    return report;
}

void CSyncEngine::OptionsUpdated() {
    m_scheduler.OptionsUpdated();
    LogLoadNotices();
}

bool CSyncEngine::ClockChanged() {
    if (!m_controller.Discipline().ClockChanged()) {
        return false;
    }
    m_log.write(kClockChangedLine, LOG_NOTICE, 0.0);
    m_scheduler.ClockChanged();
    return true;
}

void CSyncEngine::LogLoadNotices() {
    for (const std::string& line : m_settings.LoadNotices())
        m_log.write(line, LOG_NOTICE, 0.0);
}

void CSyncEngine::Close() {
    m_controller.BreakRun();
    m_controller.Discipline().Close();
    m_log.write(kClosedLine, LOG_NOTICE, 0.0);
}
