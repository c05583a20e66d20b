// Takes the guide's pictures of the console's windows: the main window, the About box, the
// History window and the Options, Time Servers and Add New Server dialogs, each cut to its frame.
// The console runs on a desktop of its own with a fixed settings file, log and history and no
// service, so the pictures
// change only when the windows do. Usage: horalux_help_capture <output folder (Windows path)>
// [dpi]; with a DPI (144 is 150 % scale) the display is set to it first, for a look at the
// console at that scale. Exit code 0 when every picture was taken; every wait is bounded, and
// the console is ended on any failure.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/HistoryCsv.h"
#include "common/ProductFacts.h"
#include "common/WinHandle_win.h"
#include "console/resource.h"
#include "settings/DefaultServers.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"
#include "tools/kit/WaitUntil.h"

namespace {

using namespace ui_driver;

// The built-in list with one server of the user's at the end, started from the first row;
// daily mode, no offset, the defaults otherwise.
std::string FixedSettings() {
    std::string text = "[Servers]\r\nServers_Counter=" + std::to_string(kDefaultServerCount + 1) + "\r\n";
    int index = 0;
    for (const DefaultServerRow& row : kDefaultServers) {
        text += "Servers " + std::to_string(index++) + "=" + std::string(row.title) + "~" +
                std::string(row.address) + "~0\r\n";
    }
    text += "Servers " + std::to_string(index) + "=Office time server~192.0.2.10~1\r\n";
    return text +
           "[Options]\r\nnLogFileLen=100\r\nnSynPeriod=0\r\nnOffset=0\r\nnMaxAttempts=5\r\nnTimeOut=5\r\n"
           "nStartingServ=0\r\nbOnlySuccLog=0\r\n";
}

std::string FixedLog() {
    const std::string first = std::string(kDefaultServers[0].title);
    const std::string second = std::string(kDefaultServers[1].title);
    return "[ 12/07/2026 08:00:02 ] Horalux Clock Service v. " HORALUX_VERSION_TEXT
           " is started.\r\n"
           "[ 12/07/2026 08:00:07 ] Failed. Server: " +
           first +
           "\r\n"
           "[ 12/07/2026 08:01:09 ] Daily. Successful. Server: " +
           second +
           ". Round Trip Delay: 41 ms\r\n"
           "[ 12/07/2026 12:31:40 ] Manualy. Successful. Server: " +
           second + ". Round Trip Delay: 38 ms\r\n";
}

// A day and a half of hourly runs of the second server settling after a step, one failure
// of the first.
std::string FixedHistory() {
    std::string text = std::string(kHistoryHeader) + std::string(kHistoryLineEnd);
    for (int hour = 0; hour <= 36; ++hour) {
        HistoryRow row;
        row.utc = CalendarTime{
            2026, 12, 0, static_cast<std::uint16_t>(8 + hour / 24), static_cast<std::uint16_t>(hour % 24),
            1,    9,  0};
        row.strLabel = "Hourly";
        row.strServer = std::string(kDefaultServers[1].title);
        row.strAddress = "192.0.2.20:123";
        row.action = hour == 18 ? HistoryAction::Stepped : HistoryAction::Slewed;
        row.offsetMs = hour == 18 ? -620.0 : 40.0 / (1 + hour % 12) - 2;
        row.delayMs = 38 + hour % 5;
        row.stratum = 2;
        row.frequencyPpm = 11.2 + hour * 0.01;
        if (hour == 28) {
            const CalendarTime utc = row.utc;
            row = HistoryRow();
            row.utc = utc;
            row.strLabel = "Hourly";
            row.strServer = std::string(kDefaultServers[0].title);
            row.strReason = "No answer";
        }
        text += FormatHistoryRow(row);
    }
    return text;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out.flush());
}

// The display's scale, as winecfg sets it: Wine reads the user's LogPixels when a program
// starts, so the desktop and the console started afterwards are drawn at it. The capture runs
// in a Wine prefix of its own.
bool SetDisplayDpi(DWORD dpi) {
    HKEY opened = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &opened, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueRegistryKey key(opened);
    return ::RegSetValueExA(key.get(), "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                            sizeof dpi) == ERROR_SUCCESS;
}

class CCapture {
public:
    // The desktop grows with the scale, as a screen of that scale has more pixels.
    CCapture(const std::string& folder, long dpi)
        : m_strFolder(folder),
          m_desktop("horalux-help", std::to_string(1024 * dpi / 96) + "x" + std::to_string(768 * dpi / 96)) {}

    bool Run() {
        if (!m_desktop.ready() || !m_desktop.start(m_console, "\"" + ConsoleExePath() + "\"")) {
            return Fail("the console did not start");
        }
        HWND main = waitForWindow("Horalux Clock Service Console", m_console.pid());
        return main != nullptr && Shoot(main, "console-window.png") &&
               ShootDialog(main, IDC_ABOUT, "About", "about.png", IDOK) &&
               ShootDialog(main, IDC_HISTORY, "History", "history.png", IDCANCEL) &&
               ShootDialog(main, IDC_OPTIONS, "Options", "options.png", IDCANCEL) && ShootServers(main);
    }

private:
    bool Fail(const std::string& what) const {
        std::fprintf(stderr, "horalux_help_capture: %s\n", what.c_str());
        return false;
    }

    bool Shoot(HWND window, const std::string& name) const {
        if (window == nullptr) {
            return Fail("no window for " + name);
        }
        waitForPaint(window);
        return screenshot(m_strFolder + "\\" + name, window) || Fail("no picture " + name);
    }

    // Opens a dialog from the main window, takes its picture and closes it with a button.
    bool ShootDialog(HWND main, int button, const std::string& caption, const std::string& name, int close) {
        clickAsync(main, button);
        HWND dialog = waitForWindow(caption, m_console.pid());
        if (!Shoot(dialog, name)) {
            return false;
        }
        clickAsync(dialog, close);
        return waitForWindowGone(dialog) || Fail(caption + " did not close");
    }

    // The Time Servers dialog with the user's own server, the last row, highlighted by the End
    // key, and Add New Server over it.
    bool ShootServers(HWND main) {
        clickAsync(main, IDC_SERVER);
        HWND servers = waitForWindow("Time Servers", m_console.pid());
        HWND list = servers != nullptr ? control(servers, IDC_SERVER_LIST) : nullptr;
        if (list == nullptr || !clickRow(list, 0)) {
            return Fail("the Time Servers dialog");
        }
        pressKey(list, VK_END);
        if (!WaitUntil([&] { return selectedRow(list) == rowCount(list) - 1; }, kWait) ||
            !Shoot(servers, "time-servers.png")) {
            return Fail("the Time Servers dialog's last row");
        }
        clickAsync(servers, IDC_ADD_SERVER);
        HWND add = waitForWindow("Add New Server", m_console.pid());
        if (add == nullptr || !setText(control(add, IDC_NEW_TITLE), "Office time server") ||
            !setText(control(add, IDC_NEW_URL), "ntp.example.com") || !Shoot(add, "add-new-server.png")) {
            return Fail("the Add New Server dialog");
        }
        clickAsync(add, IDCANCEL);
        clickAsync(servers, IDCANCEL);
        return waitForWindowGone(servers) || Fail("Time Servers did not close");
    }

    std::string m_strFolder;
    CTestDesktop m_desktop;
    CChildProcess m_console;  // ended by its destructor, before the desktop goes
};

}  // namespace

int main(int argc, char** argv) {
    const long dpi = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
    if (argc < 2 || argc > 3 || (argc == 3 && (dpi < 96 || dpi > 480))) {
        std::fprintf(stderr, "usage: horalux_help_capture <output folder> [dpi, 96 to 480]\n");
        return 2;
    }
    if (dpi != 0 && !SetDisplayDpi(static_cast<DWORD>(dpi))) {
        std::fprintf(stderr, "horalux_help_capture: cannot set the display to %ld DPI\n", dpi);
        return 1;
    }
    if (!WriteFile(WindowsFile(kSettingsFileName), FixedSettings()) ||
        !WriteFile(WindowsFile(kLogFileName), FixedLog()) ||
        !WriteFile(WindowsFile(kHistoryFileName), FixedHistory())) {
        std::fprintf(stderr, "horalux_help_capture: cannot write the settings, the log or the history\n");
        return 1;
    }
    // A caret that never blinks: a picture must not depend on the moment it was taken. The
    // setting belongs to this capture's own Wine prefix.
    ::SetCaretBlinkTime(INFINITE);
    ::CreateDirectoryA(argv[1], nullptr);
    CCapture capture(argv[1], dpi != 0 ? dpi : 96);
    return capture.Run() ? 0 : 1;
}
