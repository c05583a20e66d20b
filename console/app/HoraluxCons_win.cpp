// HoraluxCons.exe: the program-wide objects in their order, then the main window.

#include <windows.h>

#include "console/ConsoleDlg.h"
#include "console/app/ConsoleApp.h"
#include "settings/LocalTimeText.h"
#include "settings/Settings.h"
#include "settings/Win32ProfileStore.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    try {
        Win32ProfileStore store;
        CSettings settings(store, LocalDateTimeText);
        CConsoleDlg mainDialog(settings);
        CConsoleApp app(settings, mainDialog);
        return app.Run();
    } catch (...) {
        return 1;  // out of memory before the window could tell anybody
    }
}
