#pragma once
// The console's main window (template 132). It turns window messages into calls on
// CConsoleLogic, which makes every decision. Include only from Windows-only files.

#include "console/ConsoleLogic.h"
#include "console/DialogBase.h"
#include "console/Win32ConsoleUi.h"
#include "console/Win32ServiceChannel.h"
#include "settings/Settings.h"

class CConsoleDlg final : public CDialogBase {
public:
    // settings must outlive the dialog.
    explicit CConsoleDlg(CSettings& settings);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int notifyCode) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ShowAbout();

    CWin32ConsoleUi m_ui;
    CWin32ServiceChannel m_channel;
    CConsoleLogic m_logic;
};
