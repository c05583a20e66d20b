#include "engine/SyncEngine.h"

#include "common/LogResult.h"
#include "common/TextFormat.h"

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
}

void CSyncEngine::Tick() {
    m_controller.Discipline().Tick();
    m_scheduler.Tick();
    if (++m_nTicksSincePolicyCheck < kPolicyCheckTicks)
        return;
    m_nTicksSincePolicyCheck = 0;
    if (m_settings.PolicyChanged())
        OptionsUpdated();
    m_windowsTime.Look();
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
