#include "console/app/ConsoleApp_win.h"

#include <commctrl.h>

#include "console/Win32ConsoleUi_win.h"
#include "settings/WorkingDirectory.h"

CConsoleApp::CConsoleApp(CSettings& settings, CConsoleDlg& mainDialog)
    : m_settings(settings), m_mainDialog(mainDialog) {}

int CConsoleApp::Run() {
    if (!EnterWindowsDirectory(SetWorkingDirectory, [](const std::string& text) {
            ::MessageBoxA(nullptr, text.c_str(), ApplicationTitle().c_str(), MB_OK | MB_ICONERROR);
        })) {
        return 1;
    }
    m_settings.Load();
    const INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX),
                                           ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);
    return m_mainDialog.DoModal(nullptr) == -1 ? 1 : 0;
}
