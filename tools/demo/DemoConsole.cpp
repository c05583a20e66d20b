// The demonstration's user: starts HoraluxCons.exe beside the running service on a desktop of
// its own, presses "Synchronize now" as a person would (a first press may only announce the
// console to the service), waits for the result line, saves a screenshot and prints what the
// console shows. Exit code 0 when the console reports a successful synchronisation.
//
// Usage: horalux_demo_console CONSOLE_EXE SERVICE_EXE SCREENSHOT_PATH

#include <windows.h>

#include "console/resource.h"
#include "tools/kit/UiDriver_win.h"

#include <chrono>
#include <cstdio>
#include <string>

using namespace ui_driver;
using namespace std::chrono_literals;

namespace {

constexpr const char* kConsoleTitle = "Horalux Clock Service Console";
constexpr const char* kSuccess = "Successful Synchronization.";

// Presses "Synchronize now" until the console no longer answers with the "Error" box.
bool pressSynchronizeNow(HWND console, DWORD pid) {
    for (int press = 0; press < 5; ++press) {
        clickAsync(console, IDC_SYNCHRONIZE_NOW);
        const HWND box = waitForMessageBox("Error", pid, 2s);
        if (box == nullptr) {
            return true;
        }
        dismiss(box);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::printf("usage: horalux_demo_console CONSOLE_EXE SERVICE_EXE SCREENSHOT_PATH\n");
        return 2;
    }
    CTestDesktop desktop("HoraluxDemo");
    CChildProcess service;
    CChildProcess console;
    if (!desktop.ready() || !desktop.start(service, std::string("\"") + argv[2] + "\" -d") ||
        !desktop.start(console, std::string("\"") + argv[1] + "\"")) {
        std::printf("Could not start the programs.\n");
        return 2;
    }
    const HWND window = waitForWindow(kConsoleTitle, console.pid());
    if (window == nullptr || !pressSynchronizeNow(window, console.pid())) {
        std::printf("The console did not reach the service.\n");
        return 2;
    }
    const bool succeeded = waitForText(window, IDC_RESULT, kSuccess, 60s);
    waitForPaint(window);
    const bool pictured = screenshot(argv[3]);
    std::printf("Console result: \"%s\"\nStarting server: \"%s\"\n", text(window, IDC_RESULT).c_str(),
                text(window, IDC_SERVER_TITLE).c_str());
    if (pictured) {
        std::printf("Screenshot: %s\n", argv[3]);
    }
    return succeeded ? 0 : 1;
}
