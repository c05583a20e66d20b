#pragma once
// The Add New Server dialog (template 148). It turns window messages into calls on
// CAddServerLogic, which makes every decision. Include only from Windows-only files.

#include "console/AddServerLogic.h"
#include "console/DialogBase.h"
#include "console/Win32DialogView.h"

class CAddServerDlg final : public CDialogBase {
public:
    // app must outlive the dialog.
    explicit CAddServerDlg(ConsoleUi& app);

    const std::optional<CTimeServer>& result() const { return m_logic.result(); }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int notifyCode) override;

private:
    CWin32DialogView m_view;
    CAddServerLogic m_logic;
};
