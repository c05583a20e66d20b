#pragma once
// The Options dialog (template 131). It turns window messages into calls on COptionsLogic,
// which makes every decision. Include only from Windows-only files.

#include "console/LogicDialog_win.h"
#include "console/OptionsLogic.h"

class COptionsDlg final : public CLogicDialog<COptionsLogic> {
public:
    // Both must outlive the dialog.
    COptionsDlg(ConsoleUi& app, CSettings& settings);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};
