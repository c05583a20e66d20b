#pragma once
// A hidden window standing in for the console in tests: the service's control window posts
// its replies to it, and a test waits for them. Windows only.

#include <windows.h>

#include "common/WinHandle_win.h"

#include <chrono>

class CConsoleStandIn {
public:
    CConsoleStandIn();
    HWND get() const { return m_window.get(); }

    // Waits for the next posted message with this number (others are dropped); false when
    // none came within limit. wParam receives its parameter.
    bool waitFor(UINT message, WPARAM& wParam,
                 std::chrono::milliseconds limit = std::chrono::milliseconds(10000));
    // Drops every message waiting.
    void drain();

private:
    UniqueWindowClass m_class;
    UniqueWindow m_window;
};
