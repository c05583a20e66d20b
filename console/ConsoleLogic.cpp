#include "console/ConsoleLogic.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "common/LogResult.h"
#include "common/Messages.h"
#include "common/ProductFacts.h"
#include "console/FileErrorText.h"
#include "console/LogDisplay.h"
#include "console/resource.h"

namespace {

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

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

CConsoleLogic::CConsoleLogic(ConsoleUi& ui, CSettings& settings) : m_ui(ui), m_settings(settings) {}

bool CConsoleLogic::OnCommand(int id) {
    return DispatchCommand(*this, kCommands, id);
}

void CConsoleLogic::OnInit() {
    FindServiceWindow();
    ReloadLog();
    m_strServer = m_settings.GetStartingServerTitle();
    m_ui.setSmallIcon(IDI_HORALUX);
    m_ui.setWindowTitle(kWindowTitle);
    ShowFields();
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

bool CConsoleLogic::CheckRights() {
    if (m_settings.IsWritable()) {
        return true;
    }
    m_ui.showMessageBox(m_ui.loadString(IDS_NO_RIGHTS), "Warning", MessageIcon::Warning);
    return false;
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
    FindServiceWindow();
    if (m_hServiceWnd == 0 || !m_bServiceReplied) {
        ShowServiceMissing();
        return;
    }
    PostToService(UM_SYNC_NOW);
    if (m_nTimerId == 0) {
        m_nTimerId = m_ui.startTimer(kProgressTimerId, kProgressPeriodMs);
    }
}

void CConsoleLogic::OnBreak() {
    PostToService(UM_SYNC_BREAK);
}

void CConsoleLogic::OnOptions() {
    if (!CheckRights() || !m_ui.runOptionsDialog()) {
        return;
    }
    // The settings are saved by now; the box tells only that the service was not told.
    if (m_hServiceWnd == 0 || !m_bServiceReplied) {
        ShowServiceMissing();
        return;
    }
    PostToService(UM_OPTIONS_UPDATED);
}

void CConsoleLogic::OnServer() {
    if (!CheckRights() || !m_ui.runServersDialog()) {
        return;
    }
    m_strServer = m_settings.GetStartingServerTitle();
    PostToService(UM_OPTIONS_UPDATED);
    ShowFields();
}

void CConsoleLogic::OnClearLog() {
    if (!CheckRights()) {
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
