#include "engine/Win32EnginePorts_win.h"

#include "common/WindowMessages.h"
#include "sntp/Win32CalendarTime_win.h"

#include <wininet.h>

CalendarTime CWin32LocalClock::nowLocal() const {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return FromWin32Time(now);
}

SystemResult CWin32LocalClock::setLocal(const CalendarTime& local) {
    SystemResult result = m_privilege.enable();
    if (result.bSucceeded) {
        const SYSTEMTIME time = ToWin32Time(local);
        result = ::SetLocalTime(&time) ? SystemResult::success() : SystemResult::failure(::GetLastError());
    }
    m_privilege.restore();
    return result;
}

bool CWin32ConnectivityProbe::isConnected() {
    DWORD flags = 0;
    return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

void CWin32ResultNotifier::Announce(HWND console) {
    m_hConsole.store(console);
    ::PostMessageA(console, UM_SERVICE_HELLO, 0, 0);
}

void CWin32ResultNotifier::notifyResult(int resultCode) {
    const HWND console = m_hConsole.load();
    if (console != nullptr) {
        ::PostMessageA(console, UM_SYNC_RESULT, static_cast<WPARAM>(resultCode), 0);
    }
}
