#pragma once
// The Time Servers dialog (template 147) and the adapter of its list view. It turns window
// messages into calls on CServersLogic, which makes every decision. Include only from
// Windows-only files.

#include "console/LogicDialog_win.h"
#include "console/ServersLogic.h"

// The list-view base comes first: it exists before the logic is given it.
class CServersDlg final : private ServerListView, public CLogicDialog<CServersLogic> {
public:
    // Both must outlive the dialog.
    CServersDlg(ConsoleUi& app, CSettings& settings);

protected:
    bool OnNotify(const NMHDR& header) override;

private:
    void selectWholeRows() override;
    void addColumn(const std::string& heading, int widthPixels) override;
    void deleteAllRows() override;
    void insertRow(int index, const std::string& name, const std::string& status) override;
    void highlightRow(int index) override;
    std::optional<CTimeServer> runAddServerDialog() override;

    LRESULT SendToList(UINT message, WPARAM wParam, LPARAM lParam) const;

    ConsoleUi& m_app;
    int m_nColumns = 0;
};
