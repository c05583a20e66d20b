// HoraluxCons.exe: the program-wide objects in their order, then the main window.

#include <windows.h>

#include "common/Firewall.h"
#include "console/CaughtFailureBox.h"
#include "console/ConsoleDlg.h"
#include "console/app/ConsoleApp.h"
#include "settings/LocalTimeText.h"
#include "settings/Settings.h"
#include "settings/Win32PolicySource.h"
#include "settings/Win32ProfileStore.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    int exitCode = 1;
    // What fails outside every window (before the main window exists, or after it closed) is
    // shown in a box of its own.
    CallGuarded(
        [&] {
            Win32ProfileStore store;
            CSettings settings(store, LocalDateTimeText);
            // What the organisation's policy sets shows greyed out and is never written.
            const Win32PolicySource policy;
            settings.SetPolicySource(&policy);
            CConsoleDlg mainDialog(settings);
            CConsoleApp app(settings, mainDialog);
            exitCode = app.Run();
        },
        [](const char* what) { ShowCaughtFailure(nullptr, "WinMain", what); });
    return exitCode;
}
