#pragma once
// The console's main window (template 132). It turns window messages into calls on
// CConsoleLogic, which makes every decision. Include only from Windows-only files.

#include "console/ConsoleAction.h"
#include "console/ConsoleLogic.h"
#include "console/DialogBase_win.h"
#include "console/Win32ChannelClient_win.h"
#include "console/Win32ConsoleUi_win.h"
#include "console/Win32Elevation_win.h"
#include "settings/Settings.h"

class CConsoleDlg final : public CDialogBase {
public:
    // settings must outlive the dialog. startAction runs once the window is up.
    CConsoleDlg(CSettings& settings, ConsoleAction startAction);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int notifyCode) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Posted to itself at initialisation, so that the start action's dialog opens over a
    // window that is already shown.
    static constexpr UINT UM_RUN_START_ACTION = WM_APP + 1;

    void ShowAbout();

    CWin32ConsoleUi m_ui;
    CWin32ChannelClient m_channel;
    CWin32Elevation m_elevation;
    CConsoleLogic m_logic;
    const ConsoleAction m_startAction;
};
