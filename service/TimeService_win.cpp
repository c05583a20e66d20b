#include "service/TimeService.h"

#include "service/ServiceRules.h"
#include "service/SettingsWriter.h"
#include "settings/WorkingDirectory.h"

CTimeService::CTimeService(CHostReporter& reporter, CExecWindow& window, bool bIsNt)
    : CServiceBase(kServiceName, kDisplayName, reporter, bIsNt), m_window(window) {}

void CTimeService::RunService(int, char**) {
    SetStatus(SERVICE_START_PENDING, kDefaultWaitHint, 0);
    SetStatus(SERVICE_RUNNING, kDefaultWaitHint, 0);
    // The log and the record file are named without a path.
    SetWorkingDirectory();
    if (!m_window.RunExecWindow()) {
        SetWorkFailed();
    }
}

void CTimeService::OnStop() {
    // Stop pending is reported before the loop is told to end.
    SetStatus(SERVICE_STOP_PENDING, kStopWaitHint, 0);
    m_window.RequestQuit();
}

BOOL CTimeService::WriteSettings(const std::vector<std::string>& args) {
    return WriteSettingsFile(args, Reporter()) ? TRUE : FALSE;
}
