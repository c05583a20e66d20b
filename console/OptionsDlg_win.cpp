#include "console/OptionsDlg_win.h"

#include "console/resource.h"

COptionsDlg::COptionsDlg(ConsoleUi& app, CSettings& settings) : CLogicDialog(IDD_OPTIONS, app, settings) {}

bool COptionsDlg::OnMessage(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (message != WM_HELP) {
        return false;
    }
    m_logic.OpenHelp();
    return true;
}
