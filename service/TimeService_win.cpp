#include "service/TimeService_win.h"

#include "common/ChannelProtocol.h"
#include "common/TextFormat.h"
#include "common/Win32SystemError_win.h"
#include "service/ServiceRules.h"
#include "service/SettingsWriter.h"
#include "service/Win32ServiceManager.h"
#include "service/Win32StartTypeRecord.h"
#include "settings/WorkingDirectory.h"

CTimeService::CTimeService(CHostReporter& reporter, CExecWindow& window, CChannelServer& channel,
                           HostFamily family)
    : CServiceBase(kServiceName, kDisplayName, reporter, family), m_window(window), m_channel(channel) {}

void CTimeService::RunService(int, char**) {
    SetStatus(SERVICE_START_PENDING, kDefaultWaitHint, 0);
    SetStatus(SERVICE_RUNNING, kDefaultWaitHint, 0);
    // The log and the record file are named without a path.
    if (!EnterWindowsDirectory(SetWorkingDirectory, [this](const std::string& text) {
            ReportLogEvent(text.c_str(), EVENTLOG_ERROR_TYPE, kEventIdFromType);
        })) {
        SetWorkFailed();
        return;
    }
    OpenChannel();
    m_window.SetClockChangeReport([this] {
        ReportLogEvent(CSyncEngine::kClockChangedLine, event_type::kWarning,
                       static_cast<std::int32_t>(kEventIdClockChanged));
    });
    const bool bRan = m_window.RunExecWindow();
    m_window.SetClockChangeReport(nullptr);
    m_channel.Stop();
    if (!bRan) {
        SetWorkFailed();
    }
}

// Without pipes (Windows 9x) consoles share the service's desktop and reach its window. Without
// the channel the service goes on all the same, for the consoles that can reach its window.
void CTimeService::OpenChannel() {
    if (!Platform().ServesChannel()) {
        return;
    }
    const CChannelServer::NameReport report = [this](ChannelNameNews news) { ReportChannelName(news); };
    if (const SystemResult opened = m_channel.Start(report); !opened) {
        const std::string text = FormatText("The console channel could not be opened - %s",
                                            SystemErrorText(opened.nError).c_str());
        ReportLogEvent(text.c_str(), event_type::kWarning, kEventIdFromType);
    }
}

// The log and the event log hear it, the event with the pipe's name as its value. The channel
// goes on by itself meanwhile.
void CTimeService::ReportChannelName(ChannelNameNews news) {
    const ChannelNameRule& rule = ChannelNameRuleOf(news);
    Reporter().report(rule.text, {channel::kPipeName});
    ReportLogEvent(channel::kPipeName, rule.eventType, static_cast<std::int32_t>(rule.eventId));
}

void CTimeService::OnStop() {
    // Stop pending is reported before the loop is told to end.
    SetStatus(SERVICE_STOP_PENDING, kStopWaitHint, 0);
    m_window.RequestQuit();
}

BOOL CTimeService::ChangeWindowsTime(const std::string& choice) {
    CWin32ServiceManager manager;
    CWin32StartTypeRecord record;
    CWindowsTimeSetup setup(manager, record, Reporter());
    return setup.Run(choice) ? TRUE : FALSE;
}

// The dispatcher's thread: the window hears of it by a posted message.
void CTimeService::OnWake() {
    m_window.PostWake();
}

BOOL CTimeService::WriteSettings(const std::vector<std::string>& args) {
    return WriteSettingsFile(args, Reporter()) ? TRUE : FALSE;
}
