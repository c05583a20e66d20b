#pragma once
// The console program: makes the Windows directory current, loads the settings and runs
// the main window until it closes. Include only from Windows-only files.

#include "console/ConsoleDlg_win.h"
#include "settings/Settings.h"

class CConsoleApp {
public:
    // Both must outlive the application object.
    CConsoleApp(CSettings& settings, CConsoleDlg& mainDialog);

    // The program's exit code: 0 when the main window ran, 1 when it could not be shown.
    int Run();

private:
    CSettings& m_settings;
    CConsoleDlg& m_mainDialog;
};
