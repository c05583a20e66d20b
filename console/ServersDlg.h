#pragma once
// The Time Servers dialog (template 147) and the adapter of its list view. It turns window
// messages into calls on CServersLogic, which makes every decision. Include only from
// Windows-only files.

#include "console/DialogBase.h"
#include "console/ServersLogic.h"
#include "console/Win32DialogView.h"

class CServersDlg final : public CDialogBase, private ServerListView {
public:
    // Both must outlive the dialog.
    CServersDlg(ConsoleUi& app, CSettings& settings);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int notifyCode) override;
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
    CWin32DialogView m_view;
    CServersLogic m_logic;
    int m_nColumns = 0;
};
