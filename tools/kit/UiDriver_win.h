#pragma once
// Drives another program's windows the way a user would see them, through window
// messages that work across processes: top-level windows by title, controls by id, texts,
// clicks, message boxes by caption, and screenshots of the X display. Every wait is a
// bounded wait on a condition. Include only from Windows-only files.

#include <windows.h>

#include <chrono>
#include <string>

#include "common/UniqueHandle.h"
#include "tools/kit/ChildProcess_win.h"

namespace ui_driver {

struct DesktopTraits {
    using Type = HDESK;
    static Type empty() { return nullptr; }
    static void close(Type value) { ::CloseDesktop(value); }
};
using UniqueDesktop = UniqueHandle<DesktopTraits>;

using std::chrono::milliseconds;
constexpr milliseconds kWait{30000};  // generous: a first start in a fresh prefix takes ~10 s

// The first visible top-level window with exactly this title (of process pid, 0 = any).
HWND findWindow(const std::string& title, DWORD pid = 0);
HWND waitForWindow(const std::string& title, DWORD pid = 0, milliseconds timeout = kWait);
bool waitForWindowGone(HWND window, milliseconds timeout = kWait);

HWND control(HWND dialog, int id);
std::string text(HWND window);
std::string text(HWND dialog, int id);
bool setText(HWND window, const std::string& value);
bool waitForText(HWND dialog, int id, const std::string& expected, milliseconds timeout = kWait);

// Clicks and returns once the button's handler has run.
void click(HWND dialog, int id);
// Clicks without waiting: for a button whose handler opens a modal window.
void clickAsync(HWND dialog, int id);

// A message box (dialog class "#32770") with this caption, of process pid (0 = any).
HWND waitForMessageBox(const std::string& caption, DWORD pid = 0, milliseconds timeout = kWait);
// The box's text: its static with id 0xFFFF.
std::string messageBoxText(HWND box);
// Presses the box's OK button and waits until the box has gone.
bool dismiss(HWND box, milliseconds timeout = kWait);

// The position of a progress bar.
int progressPosition(HWND dialog, int id);

// Whether a check box or radio button is checked.
bool isChecked(HWND dialog, int id);
// The control that has the keyboard focus in the window's thread (null when none).
HWND focusedControl(HWND window);
// Posts a key press (down and up) to a window; it is handled once its thread reads its queue.
void pressKey(HWND window, int virtualKey);

// A list view of another process. Its texts and rectangles travel through memory
// allocated in that process, since the platform copies no list-view structure across.
int rowCount(HWND list);
std::string rowText(HWND list, int row, int column);
// The first selected row, -1 when none.
int selectedRow(HWND list);
// A left mouse click in the middle of a row's first column; false when the row has no place.
bool clickRow(HWND list, int row);

// Gives a freshly opened window the time to paint itself before a screenshot.
void waitForPaint(HWND window);

// A PNG of the whole X display (ImageMagick's import) at a path on drive Z: (the Unix
// root under Wine); false when it could not be made.
bool screenshot(const std::string& windowsPath);
// The same, cut to a window's frame (screen coordinates, which on a virtual desktop that
// fills the display are the display's).
bool screenshot(const std::string& windowsPath, HWND window);

// A desktop of its own for the programs of one test: a Wine virtual desktop, on which
// closing a window takes milliseconds instead of seconds. The calling thread moves onto
// it, so that it sees the windows of the programs started there.
class CTestDesktop {
public:
    // size: the desktop's width x height in pixels; it must fit the X display.
    explicit CTestDesktop(const std::string& name, const std::string& size = "1024x768");
    ~CTestDesktop();
    CTestDesktop(const CTestDesktop&) = delete;
    CTestDesktop& operator=(const CTestDesktop&) = delete;

    bool ready() const { return m_bReady; }
    const std::string& name() const { return m_strName; }
    // Moves the calling thread back onto this desktop (it must own no window); false when it
    // could not.
    bool enter() const;
    // Starts a program on this desktop.
    bool start(CChildProcess& process, const std::string& commandLine, const std::string& folder = "") const;

private:
    std::string m_strName;
    CChildProcess m_explorer;
    UniqueDesktop m_hDesktop;
    bool m_bReady = false;
};

}  // namespace ui_driver
