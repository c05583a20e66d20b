#include "console/ConsoleLogic.h"

#include <algorithm>
#include <optional>

#include "common/LogResult.h"
#include "common/ProductFacts.h"
#include "common/TextFormat.h"
#include "common/WindowMessages.h"
#include "console/FileErrorText.h"
#include "console/LogDisplay.h"
#include "console/resource.h"

namespace {

// What a result notice from the service does, by its code.
struct ResultNotice {
    std::intptr_t code;
    const char* text;
    bool stopsProgress;
};

const ResultNotice kResultNotices[] = {
    {LOG_FAILED, "Synchronization Failed.", false},  // the service goes on with the next server
    {LOG_SUCCEEDED, "Successful Synchronization.", true},
    {LOG_BROKEN, "Synchronization is broken by the user.", true},
    {LOG_RELOADED, "Log File is updated.", false},
};

}  // namespace

const CommandEntry<CConsoleLogic> CConsoleLogic::kCommands[] = {
    {IDC_SYNCHRONIZE_NOW, &CConsoleLogic::OnSynchronizeNow},
    {IDC_BREAK, &CConsoleLogic::OnBreak},
    {IDC_OPTIONS, &CConsoleLogic::OnOptions},
    {IDC_SERVER, &CConsoleLogic::OnServer},
    {IDC_CLEAR_LOG, &CConsoleLogic::OnClearLog},
    {IDC_HELP_BUTTON, &CConsoleLogic::OpenHelp},
};

CConsoleLogic::CConsoleLogic(ConsoleUi& ui, CSettings& settings, ChannelClient& channel, Elevation& elevation)
    : m_ui(ui), m_settings(settings), m_channel(channel), m_elevation(elevation) {}

bool CConsoleLogic::OnCommand(int id) {
    return DispatchCommand(*this, kCommands, id);
}

void CConsoleLogic::OnInit() {
    FindService();
    ReloadLog();
    m_strServer = m_settings.GetStartingServerTitle();
    m_ui.setSmallIcon(IDI_HORALUX);
    m_ui.setWindowTitle(kWindowTitle);
    ShowFields();
}

void CConsoleLogic::FindService() {
    m_bViaChannel = m_channel.isOpen() || OpenChannel();
    if (m_bViaChannel) {
        m_hServiceWnd = 0;
        return;
    }
    FindServiceWindow();
}

// Every press finds the other program again; the user hears of it once, until the service
// answers on the channel and so has it back.
bool CConsoleLogic::OpenChannel() {
    const ChannelOpening opening = m_channel.open(channel::kHelloWaitMs);
    if (opening == ChannelOpening::HeldByAnother && !m_bHeldToldOf) {
        m_strResult = kChannelHeldText;
        ShowFields();
    }
    if (opening != ChannelOpening::NotAnswered) {
        m_bHeldToldOf = opening == ChannelOpening::HeldByAnother;
    }
    return opening == ChannelOpening::Answered;
}

void CConsoleLogic::FindServiceWindow() {
    m_hServiceWnd = 0;
    m_ui.forEachTopLevelWindow([this](WindowId window, const std::string& title) {
        if (!EqualsIgnoringCase(title, kExecWindowTitle)) {
            return true;
        }
        m_hServiceWnd = window;
        return false;
    });
    if (m_hServiceWnd != 0) {
        m_ui.postMessage(m_hServiceWnd, UM_CONSOLE_HELLO, m_ui.mainWindow(), 0);
    }
}

// The service heard the console: over the channel, or by its window's reply.
bool CConsoleLogic::ServiceAnswered() const {
    return m_bViaChannel || (m_hServiceWnd != 0 && m_bServiceReplied);
}

// Over the channel when the last search reached the service there (opened once more if it
// broke since, as a restarted service breaks it); else posted to the window of the last
// search, as always. The kinds are the window messages they stand for.
bool CConsoleLogic::TellService(ChannelKind request) {
    if (!m_bViaChannel) {
        PostToService(static_cast<unsigned>(request));
        return true;
    }
    return m_channel.send(request) || (OpenChannel() && m_channel.send(request));
}

// Under UAC an administrator's console runs with a filtered token that cannot write the
// settings; it may go on in an elevated console started straight into the action, while this
// one stays as it is.
bool CConsoleLogic::CheckRights(ConsoleAction action) {
    if (m_settings.IsWritable()) {
        return true;
    }
    if (m_elevation.tokenElevation() == ElevationType::Limited) {
        OfferElevation(action);
    } else {
        ShowNoRights();
    }
    return false;
}

void CConsoleLogic::OfferElevation(ConsoleAction action) {
    if (m_elevation.confirm(ElevationOfferText(action), kWindowTitle) &&
        m_elevation.startElevated(ActionArgument(action)) == ElevatedStart::Failed) {
        ShowNoRights();
    }
}

void CConsoleLogic::ShowNoRights() {
    m_ui.showMessageBox(m_ui.loadString(IDS_NO_RIGHTS), "Warning", MessageIcon::Warning);
}

void CConsoleLogic::ShowFields() {
    // A field is written only when its text differs from what the control shows: writing
    // the log anew would scroll it back to the top and re-parse it at every progress tick.
    // The controls are read-only, so they show what was last written to them; the control
    // is read only once, and a long log is not copied out of it ten times a second either.
    const std::pair<ConsoleField, const std::string*> fields[] = {
        {ConsoleField::Server, &m_strServer},
        {ConsoleField::Result, &m_strResult},
        {ConsoleField::Log, &m_strLog},
    };
    for (const auto& [field, text] : fields) {
        std::optional<std::string>& shown = m_shown[static_cast<std::size_t>(field)];
        if (!shown) {
            shown = m_ui.fieldText(field);
        }
        if (*shown != *text) {
            m_ui.setFieldText(field, *text);
            shown = *text;
        }
    }
}

void CConsoleLogic::ShowServiceMissing() {
    m_ui.showMessageBox(kServiceMissingText, "Error", MessageIcon::Error);
}

void CConsoleLogic::PostToService(unsigned message) {
    if (m_hServiceWnd != 0) {
        m_ui.postMessage(m_hServiceWnd, message, 0, 0);
    }
}

void CConsoleLogic::OnSynchronizeNow() {
    m_strResult.clear();
    m_nProgressPos = 0;
    ShowFields();
    FindService();
    if (!ServiceAnswered() || !TellService(ChannelKind::SyncNow)) {
        ShowServiceMissing();
        return;
    }
    if (m_nTimerId == 0) {
        m_nTimerId = m_ui.startTimer(kProgressTimerId, kProgressPeriodMs);
    }
}

// No check and no search: without a service window the press does nothing, as it always
// did. Only a channel that cannot be had again is told, since the run may go on.
void CConsoleLogic::OnBreak() {
    if (!TellService(ChannelKind::SyncBreak)) {
        ShowServiceMissing();
    }
}

void CConsoleLogic::OnOptions() {
    if (!CheckRights(ConsoleAction::Options) || !m_ui.runOptionsDialog()) {
        return;
    }
    // The settings are saved by now; the box tells only that the service was not told.
    if (!ServiceAnswered() || !TellService(ChannelKind::OptionsUpdated)) {
        ShowServiceMissing();
    }
}

void CConsoleLogic::OnServer() {
    if (!CheckRights(ConsoleAction::Servers) || !m_ui.runServersDialog()) {
        return;
    }
    m_strServer = m_settings.GetStartingServerTitle();
    ShowFields();
    // The list is saved by now; the box tells only that the service was not told.
    if (!TellService(ChannelKind::OptionsUpdated)) {
        ShowServiceMissing();
    }
}

void CConsoleLogic::OnClearLog() {
    if (!CheckRights(ConsoleAction::ClearLog)) {
        return;
    }
    const unsigned long error = m_ui.deleteFile(kLogFileName);
    if (error != 0) {
        m_ui.showMessageBox(FileErrorText(error, kLogFileName), m_ui.applicationTitle(), MessageIcon::Error);
        return;
    }
    ReloadLog();
}

void CConsoleLogic::OpenHelp() {
    m_ui.shellOpen(kHelpFileName);
}

void CConsoleLogic::RunStartAction(ConsoleAction action) {
    using Handler = void (CConsoleLogic::*)();
    static const std::pair<ConsoleAction, Handler> kStartActions[] = {
        {ConsoleAction::Options, &CConsoleLogic::OnOptions},
        {ConsoleAction::Servers, &CConsoleLogic::OnServer},
        {ConsoleAction::ClearLog, &CConsoleLogic::OnClearLog},
    };
    for (const auto& [startAction, handler] : kStartActions) {
        if (startAction == action) {
            (this->*handler)();
        }
    }
}

void CConsoleLogic::ShowProgressTick() {
    m_ui.setProgressPosition(m_nProgressPos);
    if (++m_nProgressPos > kProgressMax) {
        m_nProgressPos = 0;
    }
    ShowFields();
}

void CConsoleLogic::StopProgress() {
    if (m_nTimerId != 0) {
        m_ui.stopTimer(m_nTimerId);
    }
    m_nTimerId = 0;
    m_nProgressPos = 0;
    m_ui.setProgressPosition(0);
}

void CConsoleLogic::OnServiceHello() {
    m_bServiceReplied = true;
}

void CConsoleLogic::OnSyncResult(std::intptr_t resultCode) {
    if (resultCode == LOG_UNWRITTEN) {
        m_ui.showMessageBox(kLogUnwrittenText, "Warning", MessageIcon::Warning);
        return;
    }
    const auto notice = std::find_if(std::begin(kResultNotices), std::end(kResultNotices),
                                     [resultCode](const ResultNotice& n) { return n.code == resultCode; });
    if (notice == std::end(kResultNotices)) {
        return;
    }
    ReloadLog();
    if (notice->stopsProgress) {
        StopProgress();
    }
    m_strResult = notice->text;
    ShowFields();
}

void CConsoleLogic::ReloadLog() {
    m_strLog = LogDisplayText(m_ui.readTextFile(kLogFileName).value_or(std::string()));
    ShowFields();
}
