#include "console/ConsoleDlg_win.h"

#include "common/ProductFacts.h"
#include "common/WindowMessages.h"
#include "console/AboutDlg_win.h"
#include "console/HistoryWnd_win.h"
#include "console/resource.h"

CConsoleDlg::CConsoleDlg(CSettings& settings, ConsoleAction startAction)
    : CDialogBase(IDD_CONSOLE),
      m_ui(settings),
      m_logic(m_ui, settings, m_channel, m_elevation),
      m_startAction(startAction) {}

bool CConsoleDlg::OnInit() {
    m_ui.attach(GetHwnd());
    m_channel.attach(GetHwnd());
    m_elevation.attach(GetHwnd());
    m_logic.OnInit();
    if (m_startAction != ConsoleAction::None) {
        ::PostMessageA(GetHwnd(), UM_RUN_START_ACTION, 0, 0);
    }
    return true;
}

bool CConsoleDlg::OnCommand(int id, int notifyCode) {
    if (notifyCode == BN_CLICKED && id == IDC_ABOUT) {
        ShowAbout();
        return true;
    }
    if (notifyCode == BN_CLICKED && id == IDC_HISTORY) {
        CHistoryWnd history(kHistoryFileName);  // the console works in the Windows directory
        history.DoModal(GetHwnd());
        return true;
    }
    if (notifyCode == BN_CLICKED && m_logic.OnCommand(id)) {
        return true;
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
    } else if (message == UM_RUN_START_ACTION) {
        // A modal dialog would open before the dialog manager first shows this window.
        ::ShowWindow(GetHwnd(), SW_SHOW);
        m_logic.RunStartAction(m_startAction);
        return true;
    }
    return false;
}

void CConsoleDlg::ShowAbout() {
    CAboutDlg about;
    about.DoModal(GetHwnd());
}
