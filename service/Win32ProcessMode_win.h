#pragma once
// The process modes and the Windows 9x start entry through the Win32 calls. Windows only.

#include "common/WinHandle_win.h"
#include "service/ProcessMode.h"

#include <string>
#include <utility>

class CWin32ProcessMode final : public ProcessModePort {
public:
    static constexpr const char* kFacelessClassName = "HoraluxFacelessWndClass";

    // consoleProc hears Ctrl+C, windowProc is the hidden window's procedure.
    CWin32ProcessMode(PHANDLER_ROUTINE consoleProc, WNDPROC windowProc);
    // Undoes whatever is still in place, also when the work ended by an exception.
    ~CWin32ProcessMode() override;
    CWin32ProcessMode(const CWin32ProcessMode&) = delete;
    CWin32ProcessMode& operator=(const CWin32ProcessMode&) = delete;

    void catchConsoleStop(bool bCatch) override;
    SystemResult registerSessionClass() override;
    SystemResult createSessionWindow() override;
    void destroySessionWindow() override;
    bool registerServiceProcess(bool bRegister) override;
    std::string errorText(std::uint32_t error) const override;

private:
    PHANDLER_ROUTINE m_pConsoleProc;
    WNDPROC m_pWindowProc;
    bool m_bConsoleCaught = false;
    bool m_bServiceProcess = false;
    UniqueWindowClass m_windowClass;
    UniqueWindow m_window;  // goes before its class
};

class CWin32StartEntry final : public StartEntry {
public:
    // Windows 9x starts the programs named under this key with the system.
    static constexpr const char* kRunServicesKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";

    explicit CWin32StartEntry(std::string serviceName) : m_strServiceName(std::move(serviceName)) {}

    SystemResult set(const std::string& programPath) override;
    SystemResult clear() override;

private:
    const std::string m_strServiceName;
};
