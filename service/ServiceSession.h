#pragma once
// What the control window does, message by message, as calls on the engine: the window
// itself only translates window messages into these.

#include "service/EngineSettings.h"
#include "service/Scheduler.h"
#include "service/SyncController.h"
#include "service/SyncLog.h"

#include <string>

class CServiceSession {
public:
    // Everything given must outlive the session. version is shown in the start line.
    CServiceSession(CEngineSettings& settings, SyncLog& log, CSyncController& controller,
                    CScheduler& scheduler, std::string version);

    // The window was created: settings and log loaded, the start line written, the
    // controller prepared for a fresh start.
    void Open();
    void Tick() { m_scheduler.Tick(); }
    void SyncNow() { m_scheduler.RequestSyncNow(); }
    void SyncBreak() { m_scheduler.BreakSync(); }
    void OptionsUpdated() { m_scheduler.OptionsUpdated(); }
    // The message loop ended (the service stops): a run still going is stopped and waited
    // for (an attempt honours the stop within 50 ms), so no socket or half-written file is
    // left behind, and "Is closed" is logged.
    void Close();

    static constexpr const char* kClosedLine = "Is closed";

private:
    CEngineSettings& m_settings;
    SyncLog& m_log;
    CSyncController& m_controller;
    CScheduler& m_scheduler;
    const std::string m_strVersion;
};
