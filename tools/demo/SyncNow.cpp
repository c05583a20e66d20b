// Asks the running Horalux service to synchronise now, the way the console does, and prints
// what it answered: announce with 2000, wait for 2001, request with 2020, wait for 2021.
// Exit code 0 when the service reported a successful synchronisation.

#include <windows.h>

#include "common/Messages.h"
#include "tests/support/ConsoleStandIn.h"
#include "tests/support/WaitUntil.h"

#include <chrono>
#include <cstdio>

namespace {

HWND FindServiceWindow() {
    HWND window = nullptr;
    WaitUntil([&] { return (window = ::FindWindowA(nullptr, kExecWindowTitle)) != nullptr; },
              std::chrono::seconds(30));
    return window;
}

}  // namespace

int main() {
    const HWND service = FindServiceWindow();
    if (service == nullptr) {
        std::printf("The service's window \"%s\" did not appear.\n", kExecWindowTitle);
        return 2;
    }
    CConsoleStandIn console;
    WPARAM code = 0;
    ::PostMessageA(service, UM_CONSOLE_HELLO, reinterpret_cast<WPARAM>(console.get()), 0);
    if (!console.waitFor(UM_SERVICE_HELLO, code)) {
        std::printf("The service did not answer the hello.\n");
        return 2;
    }
    ::PostMessageA(service, UM_SYNC_NOW, 0, 0);
    if (!console.waitFor(UM_SYNC_RESULT, code, std::chrono::seconds(60))) {
        std::printf("No result within 60 s.\n");
        return 2;
    }
    std::printf("The service reported result code %d (%s).\n", static_cast<int>(code),
                code == 1 ? "successful synchronization" : "not successful");
    return code == 1 ? 0 : 1;
}
