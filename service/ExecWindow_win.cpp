#include "service/ExecWindow_win.h"

#include "common/ExceptionBarrier.h"
#include "common/LogResult.h"
#include "common/TextFormat.h"
#include "common/WinHandle_win.h"
#include "common/WindowMessages.h"
#include "service/ServiceRules.h"

#include <string>

namespace {

constexpr const char* kCreateFailedText = "Creating Window critical error!";
constexpr const char* kCreateFailedCaption = "Horalux Clock Service";

using Handler = LRESULT (CExecWindow::*)(HWND, WPARAM);

struct MessageHandler {
    UINT message;
    Handler handler;
};

}  // namespace

CExecWindow::CExecWindow(CSyncEngine& engine, CWin32ResultNotifier& notifier, LogSink& log)
    : m_engine(engine), m_notifier(notifier), m_log(log) {}

ATOM CExecWindow::RegisterExecWndClass() {
    WNDCLASSEXA record{};
    record.cbSize = sizeof record;
    record.style = CS_VREDRAW | CS_HREDRAW;
    record.lpfnWndProc = ExecWndProc;
    record.hInstance = ::GetModuleHandleA(nullptr);
    record.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    record.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    record.lpszClassName = kExecWindowClass;
    return ::RegisterClassExA(&record);
}

bool CExecWindow::RunExecWindow() {
    const UniqueWindowClass windowClass(RegisterExecWndClass());
    // The window reaches this object through its creation parameter.
    UniqueWindow window(::CreateWindowExA(0, kExecWindowClass, kExecWindowTitle, WS_POPUP, CW_USEDEFAULT, 0,
                                          CW_USEDEFAULT, 0, nullptr, nullptr, ::GetModuleHandleA(nullptr),
                                          this));
    if (!window) {
        ::MessageBoxA(nullptr, kCreateFailedText, kCreateFailedCaption, MB_OK);
        return false;
    }
    m_hWindow.store(window.get());
    // A stop that came before the window existed could not post to it.
    if (m_bQuitRequested.load()) {
        ::PostMessageA(window.get(), WM_QUIT, 0, 0);
    }
    RunMessageLoop();
    m_networkWatch.Stop();
    m_hWindow.store(nullptr);
    if (m_nTimerId != 0) {
        ::KillTimer(window.get(), m_nTimerId);
        m_nTimerId = 0;
    }
    CallGuarded([this] { m_engine.Close(); },
                [this](const char* what) { m_log.write(std::string("Close: ") + what, LOG_NOTICE, 0.0); });
    return true;
}

void CExecWindow::RunMessageLoop() {
    MSG message{};
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

void CExecWindow::PostWake() {
    if (const HWND window = m_hWindow.load()) {
        ::PostMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    }
}

void CExecWindow::RequestQuit() {
    m_bQuitRequested.store(true);
    if (const HWND window = m_hWindow.load()) {
        ::PostMessageA(window, WM_QUIT, 0, 0);
    }
}

LRESULT CALLBACK CExecWindow::ExecWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CExecWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    CallGuarded(
        [&] { result = self->HandleMessage(window, message, wParam, lParam); },
        [&](const char* what) { self->m_log.write(std::string("ExecWndProc: ") + what, LOG_NOTICE, 0.0); });
    return result;
}

LRESULT CExecWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static constexpr MessageHandler kHandlers[] = {
        {WM_CREATE, &CExecWindow::OnCreate},
        {WM_DESTROY, &CExecWindow::OnDestroy},
        {WM_TIMER, &CExecWindow::OnTimer},
        {UM_CONSOLE_HELLO, &CExecWindow::OnConsoleHello},
        {UM_OPTIONS_UPDATED, &CExecWindow::OnOptionsUpdated},
        {UM_SYNC_NOW, &CExecWindow::OnSyncNow},
        {UM_SYNC_BREAK, &CExecWindow::OnSyncBreak},
        {WM_POWERBROADCAST, &CExecWindow::OnPowerBroadcast},
        {WM_TIMECHANGE, &CExecWindow::OnTimeChange},
        {kNetworkChangedMessage, &CExecWindow::OnNetworkChanged},
    };
    for (const MessageHandler& entry : kHandlers) {
        if (entry.message == message) {
            return (this->*entry.handler)(window, wParam);
        }
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CExecWindow::OnCreate(HWND window, WPARAM) {
    ::SetWindowTextA(window, kExecWindowTitle);
    m_engine.Open();
    m_nTimerId = ::SetTimer(window, kTimerId, kTimerPeriodMs, nullptr);
    WatchNetwork(window);
    return 0;
}

// Without the watch the connection test still finds a network that came back, only later.
void CExecWindow::WatchNetwork(HWND window) {
    const SystemResult watching =
        m_networkWatch.Start([window] { ::PostMessageA(window, kNetworkChangedMessage, 0, 0); });
    if (!watching) {
        m_log.write(
            FormatText("The computer's addresses cannot be watched (system error %lu).", watching.nError),
            LOG_NOTICE, 0.0);
    }
}

LRESULT CExecWindow::OnDestroy(HWND, WPARAM) {
    ::PostQuitMessage(0);
    return 0;
}

LRESULT CExecWindow::OnTimer(HWND, WPARAM) {
    m_engine.Tick();
    return 0;
}

LRESULT CExecWindow::OnConsoleHello(HWND, WPARAM wParam) {
    m_notifier.Announce(reinterpret_cast<HWND>(wParam));
    return 1;
}

LRESULT CExecWindow::OnOptionsUpdated(HWND, WPARAM) {
    m_engine.OptionsUpdated();
    return 0;
}

LRESULT CExecWindow::OnSyncNow(HWND, WPARAM) {
    m_engine.SyncNow();
    return 0;
}

LRESULT CExecWindow::OnSyncBreak(HWND, WPARAM) {
    m_engine.SyncBreak();
    return 0;
}

// Every power event is granted (a suspend asked for among them); only a wake is acted on.
LRESULT CExecWindow::OnPowerBroadcast(HWND, WPARAM wParam) {
    if (IsWakeEvent(static_cast<std::uint32_t>(wParam))) {
        m_engine.Resumed();
    }
    return TRUE;
}

LRESULT CExecWindow::OnTimeChange(HWND, WPARAM) {
    if (m_engine.ClockChanged() && m_clockChangeReport) {
        m_clockChangeReport();
    }
    return 0;
}

LRESULT CExecWindow::OnNetworkChanged(HWND, WPARAM) {
    m_engine.NetworkChanged();
    return 0;
}
