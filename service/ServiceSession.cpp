#include "service/ServiceSession.h"

#include "common/LogResult.h"
#include "service/TextFormat.h"

#include <utility>

CServiceSession::CServiceSession(CEngineSettings& settings, SyncLog& log, CSyncController& controller,
                                 CScheduler& scheduler, std::string version)
    : m_settings(settings),
      m_log(log),
      m_controller(controller),
      m_scheduler(scheduler),
      m_strVersion(std::move(version)) {}

void CServiceSession::Open() {
    m_settings.Reload();
    m_log.load();
    m_log.write(FormatText("Horalux Clock Service v. %s is started.", m_strVersion.c_str()), LOG_NOTICE, 0.0);
    m_controller.Reload(true);
}

void CServiceSession::Close() {
    m_controller.BreakRun();
    m_log.write(kClosedLine, LOG_NOTICE, 0.0);
}
