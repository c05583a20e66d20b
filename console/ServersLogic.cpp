#include "console/ServersLogic.h"

#include <algorithm>
#include <iterator>

#include "console/FileErrorText.h"
#include "console/resource.h"

namespace {

struct Column {
    const char* heading;
    int widthPixels;
};

const Column kColumns[] = {{"Name", 320}, {"Status", 70}};

}  // namespace

const CommandEntry<CServersLogic> CServersLogic::kCommands[] = {
    {kDialogOk, &CServersLogic::OnOk},
    {IDC_DELETE_SERVER, &CServersLogic::OnDelete},
    {IDC_RESTORE_SERVERS, &CServersLogic::OnRestore},
    {IDC_ADD_SERVER, &CServersLogic::OnAdd},
};

CServersLogic::CServersLogic(DialogView& view, ServerListView& list, ConsoleUi& app, CSettings& settings)
    : m_view(view), m_list(list), m_app(app), m_settings(settings), m_working(settings.m_servers) {}

void CServersLogic::OnInit() {
    m_list.selectWholeRows();
    for (const Column& column : kColumns) {
        m_list.addColumn(column.heading, column.widthPixels);
    }
    m_working.RemoveAll();
    m_working.Append(m_settings.m_servers);
    m_nCurrent = IsRow(m_settings.m_nStartingServ) ? m_settings.m_nStartingServ : 0;
    ShowRows();
    ShowCurrent();
    ShowManaged();
}

void CServersLogic::ShowManaged() {
    const bool bListManaged = m_settings.AreServersManaged();
    const bool bStartManaged = m_settings.IsManaged(&CSettings::m_nStartingServ);
    for (const int id : {IDC_ADD_SERVER, IDC_DELETE_SERVER, IDC_RESTORE_SERVERS}) {
        m_view.enableItem(id, !bListManaged);
    }
    m_view.enableItem(IDC_SERVER_LIST, !bStartManaged);
    m_view.showItem(IDC_POLICY_NOTE, bListManaged || bStartManaged);
}

bool CServersLogic::OnCommand(int id) {
    // The list's buttons are greyed out while the policy sets the list; a click that still
    // arrives changes nothing.
    const bool bListButton = id == IDC_ADD_SERVER || id == IDC_DELETE_SERVER || id == IDC_RESTORE_SERVERS;
    if (bListButton && m_settings.AreServersManaged()) {
        return true;
    }
    return DispatchCommand(*this, kCommands, id);
}

void CServersLogic::OnRowHighlighted(int index) {
    if (!IsRow(index) || m_settings.IsManaged(&CSettings::m_nStartingServ)) {
        return;
    }
    m_nCurrent = index;
    ShowCurrent();
}

void CServersLogic::OnDelete() {
    if (m_working.GetCount() <= 1) {
        m_view.showMessageBox(kLastServerText, m_app.applicationTitle(), MessageIcon::Warning);
        return;
    }
    m_working.RemoveAt(m_nCurrent);
    if (m_nCurrent > 0) {
        --m_nCurrent;  // the row above the deleted one; row 0 stays row 0
    }
    ShowRows();
    ShowCurrent();
}

void CServersLogic::OnRestore() {
    // The settings' own restore, run on a scratch copy holding the working list, so that
    // the in-memory list stays untouched until OK.
    CSettings scratch(m_settings);
    scratch.ReplaceServers(m_working);
    scratch.RestoreDefaultServers();
    m_working.RemoveAll();
    m_working.Append(scratch.m_servers);
    m_nCurrent = 0;
    ShowRows();
    ShowCurrent();
}

void CServersLogic::OnAdd() {
    const std::optional<CTimeServer> added = m_list.runAddServerDialog();
    if (!added) {
        return;
    }
    m_working.Add(*added);
    ShowRows();
    ShowCurrent();
}

void CServersLogic::OnOk() {
    const auto handBack = [this](CSettings& settings) {
        settings.ReplaceServers(m_working);
        settings.m_nStartingServ = m_nCurrent;
    };
    // Saved from a copy, as the Options dialog does: a refused save changes nothing in memory.
    CSettings edited(m_settings);
    handBack(edited);
    SystemResult saved = edited.Save();
    if (saved) {
        saved = edited.SaveServers();
    }
    if (!saved) {
        m_view.showMessageBox(FileErrorText(saved.nError, edited.m_strFileName), m_app.applicationTitle(),
                              MessageIcon::Error);
        return;
    }
    handBack(m_settings);
    m_view.endDialog(true);
}

void CServersLogic::ShowRows() {
    m_list.deleteAllRows();
    for (int i = 0; i < m_working.GetCount(); ++i) {
        const CTimeServer& entry = m_working.GetAt(i);
        m_list.insertRow(i, entry.m_strTitle, entry.m_bUserAdded != 0 ? kUserStatus : kProgramStatus);
    }
    if (IsRow(m_nCurrent)) {
        m_list.highlightRow(m_nCurrent);
    }
}

void CServersLogic::ShowCurrent() {
    m_view.setItemText(IDC_CURRENT_SERVER, IsRow(m_nCurrent) ? m_working.GetAt(m_nCurrent).m_strTitle : "");
}
