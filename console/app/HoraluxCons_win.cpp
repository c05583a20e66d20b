// HoraluxCons.exe: the program-wide objects in their order, then the main window. An
// argument naming an action (/options, /servers, /clearlog) opens the main window straight
// into it; that is how a console continues elevated.

#include <windows.h>

#include "common/ExceptionBarrier.h"
#include "console/CaughtFailureBox_win.h"
#include "console/ConsoleAction.h"
#include "console/ConsoleDlg_win.h"
#include "console/app/ConsoleApp_win.h"
#include "settings/LocalTimeText.h"
#include "settings/Settings.h"
#include "settings/Win32PolicySource.h"
#include "settings/Win32ProfileStore.h"

#include <string>
#include <vector>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    int exitCode = 1;
    // What fails outside every window (before the main window exists, or after it closed) is
    // shown in a box of its own.
    CallGuarded(
        [&] {
            CWin32ProfileStore store;
            CSettings settings(store, LocalDateTimeText);
            // What the organisation's policy sets shows greyed out and is never written.
            const CWin32PolicySource policy;
            settings.SetPolicySource(&policy);
            CConsoleDlg mainDialog(settings,
                                   ParseConsoleAction(std::vector<std::string>(__argv + 1, __argv + __argc)));
            CConsoleApp app(settings, mainDialog);
            exitCode = app.Run();
        },
        [](const char* what) { ShowCaughtFailure(nullptr, "WinMain", what); });
    return exitCode;
}
