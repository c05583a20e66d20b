#include "tools/kit/ConsoleStandIn_win.h"

namespace {
constexpr const char* kClassName = "HoraluxConsoleStandIn";
}

CConsoleStandIn::CConsoleStandIn() {
    WNDCLASSA record{};
    record.lpfnWndProc = ::DefWindowProcA;
    record.hInstance = ::GetModuleHandleA(nullptr);
    record.lpszClassName = kClassName;
    // A second stand-in finds the class registered already.
    m_class.reset(::RegisterClassA(&record));
    m_window.reset(::CreateWindowExA(0, kClassName, "stand-in", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     record.hInstance, nullptr));
}

bool CConsoleStandIn::waitFor(UINT message, WPARAM& wParam, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    MSG msg{};
    for (;;) {
        while (::PeekMessageA(&msg, m_window.get(), 0, 0, PM_REMOVE)) {
            if (msg.message == message) {
                wParam = msg.wParam;
                return true;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        ::MsgWaitForMultipleObjects(
            0, nullptr, FALSE, static_cast<DWORD>(left.count() < 50 ? left.count() : 50), QS_ALLPOSTMESSAGE);
    }
}

void CConsoleStandIn::drain() {
    MSG msg{};
    while (::PeekMessageA(&msg, m_window.get(), 0, 0, PM_REMOVE)) {
    }
}
