#pragma once
// The Options dialog (template 131). It turns window messages into calls on COptionsLogic,
// which makes every decision. Include only from Windows-only files.

#include "console/DialogBase.h"
#include "console/OptionsLogic.h"
#include "console/Win32DialogView.h"

class COptionsDlg final : public CDialogBase {
public:
    // Both must outlive the dialog.
    COptionsDlg(ConsoleUi& app, CSettings& settings);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int notifyCode) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CWin32DialogView m_view;
    COptionsLogic m_logic;
};
