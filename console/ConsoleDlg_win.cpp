#include "console/ConsoleDlg.h"

#include "common/Messages.h"
#include "console/AboutDlg.h"
#include "console/resource.h"

const CConsoleDlg::CommandEntry CConsoleDlg::kCommands[] = {
    {IDC_SYNCHRONIZE_NOW, [](CConsoleDlg& d) { d.m_logic.OnSynchronizeNow(); }},
    {IDC_BREAK, [](CConsoleDlg& d) { d.m_logic.OnBreak(); }},
    {IDC_OPTIONS, [](CConsoleDlg& d) { d.m_logic.OnOptions(); }},
    {IDC_SERVER, [](CConsoleDlg& d) { d.m_logic.OnServer(); }},
    {IDC_CLEAR_LOG, [](CConsoleDlg& d) { d.m_logic.OnClearLog(); }},
    {IDC_HELP_BUTTON, [](CConsoleDlg& d) { d.m_logic.OpenHelp(); }},
    {IDC_ABOUT, [](CConsoleDlg& d) { d.ShowAbout(); }},
};

CConsoleDlg::CConsoleDlg(CSettings& settings) : CDialogBase(IDD_CONSOLE), m_ui(settings), m_logic(m_ui, settings) {}

bool CConsoleDlg::OnInit() {
    m_ui.attach(GetHwnd());
    m_logic.OnInit();
    return true;
}

bool CConsoleDlg::OnCommand(int id, int notifyCode) {
    for (const CommandEntry& entry : kCommands) {
        if (entry.id == id && notifyCode == BN_CLICKED) {
            entry.handler(*this);
            return true;
        }
    }
    return CDialogBase::OnCommand(id, notifyCode);  // Escape: IDCANCEL ends the dialog
}

void CConsoleDlg::OnTimer(UINT_PTR /*id*/) {
    m_logic.ShowProgressTick();
}

void CConsoleDlg::OnClose() {
    m_logic.StopProgress();
    CDialogBase::OnClose();
}

bool CConsoleDlg::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    // The service's notices and a stray F1 go on to the default handling afterwards.
    if (message == UM_SERVICE_HELLO) {
        m_logic.OnServiceHello();
    } else if (message == UM_SYNC_RESULT) {
        m_logic.OnSyncResult(static_cast<std::intptr_t>(wParam));
    } else if (message == WM_KEYDOWN && wParam == VK_F1) {
        m_logic.OpenHelp();
    } else if (message == WM_HELP) {
        m_logic.OpenHelp();
        return true;
    }
    return false;
}

void CConsoleDlg::ShowAbout() {
    CAboutDlg about;
    about.DoModal(GetHwnd());
}
