#include "service/Win32EnginePorts.h"

#include "common/Messages.h"

#include <wininet.h>

namespace {

SYSTEMTIME ToSystemTime(const CalendarTime& time) {
    SYSTEMTIME out{};
    out.wYear = time.wYear;
    out.wMonth = time.wMonth;
    out.wDayOfWeek = time.wDayOfWeek;
    out.wDay = time.wDay;
    out.wHour = time.wHour;
    out.wMinute = time.wMinute;
    out.wSecond = time.wSecond;
    out.wMilliseconds = time.wMilliseconds;
    return out;
}

CalendarTime FromSystemTime(const SYSTEMTIME& time) {
    CalendarTime out;
    out.wYear = time.wYear;
    out.wMonth = time.wMonth;
    out.wDayOfWeek = time.wDayOfWeek;
    out.wDay = time.wDay;
    out.wHour = time.wHour;
    out.wMinute = time.wMinute;
    out.wSecond = time.wSecond;
    out.wMilliseconds = time.wMilliseconds;
    return out;
}

}  // namespace

CalendarTime CWin32LocalClock::nowLocal() const {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return FromSystemTime(now);
}

bool CWin32LocalClock::setLocal(const CalendarTime& local) {
    const SYSTEMTIME time = ToSystemTime(local);
    return ::SetLocalTime(&time) != FALSE;
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
