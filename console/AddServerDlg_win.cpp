#include "console/AddServerDlg_win.h"

#include "console/resource.h"

CAddServerDlg::CAddServerDlg(ConsoleUi& app) : CLogicDialog(IDD_ADD_SERVER, app) {}

bool CAddServerDlg::OnInit() {
    CLogicDialog::OnInit();
    return false;  // the logic has placed the focus
}
