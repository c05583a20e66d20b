#pragma once
// Win32 adapters of the engine's ports: the local clock, the internet connection test and
// the notices to the console's window. Windows only.

#include <windows.h>

#include "engine/ConnectivityProbe.h"
#include "engine/LocalClock.h"
#include "engine/ResultNotifier.h"

#include <atomic>

// GetLocalTime and GetTimeZoneInformation.
class CWin32LocalClock final : public LocalClock {
public:
    CalendarTime nowLocal() const override;
    int utcBiasMinutes() const override;
};

// InternetGetConnectedState.
class CWin32ConnectivityProbe final : public ConnectivityProbe {
public:
    bool isConnected() override;
};

// Holds the window of the console that announced itself last, answers its hello and posts
// it the result of every announced log line. Safe from any thread: the window is atomic and
// posting never blocks.
class CWin32ResultNotifier final : public ResultNotifier {
public:
    // A console announced itself: it replaces any earlier one and gets UM_SERVICE_HELLO.
    void Announce(HWND console);
    // Posts UM_SYNC_RESULT; nothing when no console has announced itself. A console that has
    // ended makes the post fail without effect.
    void notifyResult(int resultCode) override;

    HWND Console() const { return m_hConsole.load(); }

private:
    std::atomic<HWND> m_hConsole{nullptr};
};
