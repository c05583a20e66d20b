#pragma once
// The Add New Server dialog (template 148). It turns window messages into calls on
// CAddServerLogic, which makes every decision. Include only from Windows-only files.

#include "console/AddServerLogic.h"
#include "console/LogicDialog_win.h"

class CAddServerDlg final : public CLogicDialog<CAddServerLogic> {
public:
    // app must outlive the dialog.
    explicit CAddServerDlg(ConsoleUi& app);

    const std::optional<CTimeServer>& result() const { return m_logic.result(); }

protected:
    bool OnInit() override;
};
