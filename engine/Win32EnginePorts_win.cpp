#include "engine/Win32EnginePorts_win.h"

#include "common/WindowMessages.h"
#include "sntp/Win32CalendarTime_win.h"

#include <wininet.h>

CalendarTime CWin32LocalClock::nowLocal() const {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return FromWin32Time(now);
}

// Windows counts the bias the other way round: UTC minus local time.
int CWin32LocalClock::utcBiasMinutes() const {
    TIME_ZONE_INFORMATION zone{};
    const DWORD which = ::GetTimeZoneInformation(&zone);
    const LONG seasonal = which == TIME_ZONE_ID_DAYLIGHT   ? zone.DaylightBias
                          : which == TIME_ZONE_ID_STANDARD ? zone.StandardBias
                                                           : 0;
    return which == TIME_ZONE_ID_INVALID ? 0 : -static_cast<int>(zone.Bias + seasonal);
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
