#include "console/OptionsDlg.h"

#include "console/resource.h"

COptionsDlg::COptionsDlg(ConsoleUi& app, CSettings& settings)
    : CDialogBase(IDD_OPTIONS), m_logic(m_view, app, settings) {}

bool COptionsDlg::OnInit() {
    m_view.attach(GetHwnd());
    m_logic.OnInit();
    return true;
}

bool COptionsDlg::OnCommand(int id, int notifyCode) {
    if (notifyCode == BN_CLICKED && m_logic.OnCommand(id)) {
        return true;
    }
    return CDialogBase::OnCommand(id, notifyCode);  // Cancel and Escape end the dialog
}

bool COptionsDlg::OnMessage(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (message != WM_HELP) {
        return false;
    }
    m_logic.OpenHelp();
    return true;
}
