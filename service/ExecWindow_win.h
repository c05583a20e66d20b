#pragma once
// The service's hidden control window "Horalux Clock Service Executer": it owns the
// one-second timer and receives the console's messages, and turns each into a call on the
// engine; so too the PC's news: a wake from sleep (WM_POWERBROADCAST, or the service's power
// event posted as one), a clock set (WM_TIMECHANGE) and an address that came or went.
// Windows only.

#include <windows.h>

#include "common/LogSink.h"
#include "engine/SyncEngine.h"
#include "engine/Win32EnginePorts_win.h"
#include "service/NetworkWatch_win.h"

#include <atomic>
#include <functional>

class CExecWindow {
public:
    // Everything given must outlive the window. log receives what the exception barrier catches.
    CExecWindow(CSyncEngine& engine, CWin32ResultNotifier& notifier, LogSink& log);
    CExecWindow(const CExecWindow&) = delete;
    CExecWindow& operator=(const CExecWindow&) = delete;

    // Registers the class, creates the window and runs this thread's message loop until
    // the quit message; then closes the engine. A window that cannot be created is shown
    // in a message box. Returns whether the window was created.
    bool RunExecWindow();

    // Ends the message loop; callable from any thread, also before the window exists (the
    // loop then ends as soon as it would start).
    void RequestQuit();

    // The PC woke up (the service's power event); callable from any thread.
    void PostWake();
    // Called on the window's thread when another program set the clock; before the window runs.
    void SetClockChangeReport(std::function<void()> report) { m_clockChangeReport = std::move(report); }

    // The control window; null before it is created and after the loop ended.
    HWND Window() const { return m_hWindow.load(); }

    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kTimerPeriodMs = 1000;
    // The network watch's news, posted by the window to itself.
    static constexpr UINT kNetworkChangedMessage = WM_APP + 1;

private:
    static ATOM RegisterExecWndClass();
    static LRESULT CALLBACK ExecWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void RunMessageLoop();

    LRESULT OnCreate(HWND window, WPARAM wParam);
    LRESULT OnDestroy(HWND window, WPARAM wParam);
    LRESULT OnTimer(HWND window, WPARAM wParam);
    LRESULT OnConsoleHello(HWND window, WPARAM wParam);
    LRESULT OnOptionsUpdated(HWND window, WPARAM wParam);
    LRESULT OnSyncNow(HWND window, WPARAM wParam);
    LRESULT OnSyncBreak(HWND window, WPARAM wParam);
    LRESULT OnPowerBroadcast(HWND window, WPARAM wParam);
    LRESULT OnTimeChange(HWND window, WPARAM wParam);
    LRESULT OnNetworkChanged(HWND window, WPARAM wParam);
    void WatchNetwork(HWND window);

    CSyncEngine& m_engine;
    CWin32ResultNotifier& m_notifier;
    LogSink& m_log;
    std::atomic<HWND> m_hWindow{nullptr};
    std::atomic<bool> m_bQuitRequested{false};
    UINT_PTR m_nTimerId = 0;
    std::function<void()> m_clockChangeReport;
    CNetworkWatch m_networkWatch;
};
