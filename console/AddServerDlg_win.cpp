#include "console/AddServerDlg.h"

#include "console/resource.h"

CAddServerDlg::CAddServerDlg(ConsoleUi& app) : CDialogBase(IDD_ADD_SERVER), m_logic(m_view, app) {}

bool CAddServerDlg::OnInit() {
    m_view.attach(GetHwnd());
    m_logic.OnInit();
    return false;  // the logic has placed the focus
}

bool CAddServerDlg::OnCommand(int id, int notifyCode) {
    if (notifyCode == BN_CLICKED && m_logic.OnCommand(id)) {
        return true;
    }
    return CDialogBase::OnCommand(id, notifyCode);  // Cancel and Escape end the dialog
}
