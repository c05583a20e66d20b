#include "console/ServersDlg_win.h"

#include <commctrl.h>

#include "common/OptionalFunctions_win.h"
#include "common/WinHandle_win.h"
#include "console/AddServerDlg_win.h"
#include "console/resource.h"

namespace {

// The DPI the window is drawn at: its monitor's where Windows tells (10 1607 and later, with
// the console per-monitor aware), the system's elsewhere (the console is system aware there).
int WindowDpi(HWND window) {
    if (const GetDpiForWindowFn dpiForWindow = OptionalFunctions().getDpiForWindow) {
        return static_cast<int>(dpiForWindow(window));
    }
    const UniqueScreenDc screen(::GetDC(nullptr));
    return screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

CServersDlg::CServersDlg(ConsoleUi& app, CSettings& settings)
    : CLogicDialog(IDD_SERVERS, static_cast<ServerListView&>(*this), app, settings), m_app(app) {}

bool CServersDlg::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_SERVER_LIST || header.code != LVN_ITEMCHANGED) {
        return false;
    }
    // A row that has just become selected, by a click or a key; losing the selection (a
    // click below the last row) leaves the current row as it is.
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uChanged & LVIF_STATE) != 0 && (change.uNewState & LVIS_SELECTED) != 0 &&
        (change.uOldState & LVIS_SELECTED) == 0) {
        m_logic.OnRowHighlighted(change.iItem);
    }
    return true;
}

LRESULT CServersDlg::SendToList(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessageA(GetHwnd(), IDC_SERVER_LIST, message, wParam, lParam);
}

void CServersDlg::selectWholeRows() {
    SendToList(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

void CServersDlg::addColumn(const std::string& heading, int widthPixels) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = ::MulDiv(widthPixels, WindowDpi(GetHwnd()), USER_DEFAULT_SCREEN_DPI);
    column.pszText = const_cast<char*>(heading.c_str());
    column.iSubItem = m_nColumns;
    SendToList(LVM_INSERTCOLUMNA, static_cast<WPARAM>(m_nColumns++), reinterpret_cast<LPARAM>(&column));
}

void CServersDlg::deleteAllRows() {
    SendToList(LVM_DELETEALLITEMS, 0, 0);
}

void CServersDlg::insertRow(int index, const std::string& name, const std::string& status) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<char*>(name.c_str());
    SendToList(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(status.c_str());
    SendToList(LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void CServersDlg::highlightRow(int index) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendToList(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    SendToList(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

std::optional<CTimeServer> CServersDlg::runAddServerDialog() {
    CAddServerDlg dialog(m_app);
    dialog.DoModal(GetHwnd());
    return dialog.result();  // set only when "Add" accepted the entry
}
