#include "console/CaughtFailureBox_win.h"

#include "console/CaughtFailure.h"
#include "console/Win32ConsoleUi_win.h"

void ShowCaughtFailure(HWND owner, const char* where, const char* what) {
    static CCaughtFailureNotices s_notices;  // the console has one thread
    ::OutputDebugStringA(CCaughtFailureNotices::Trace(where, what).c_str());
    const std::string caption = ApplicationTitle();  // before the box counts as open
    if (const std::optional<std::string> text = s_notices.BoxFor(where, what)) {
        ::MessageBoxA(owner, text->c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
        s_notices.BoxClosed();
    }
}
