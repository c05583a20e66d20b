#pragma once
// A general Win32 service: connects the program to the service control manager, reports its
// state and answers control requests; a subclass supplies the work (RunService) and its stop
// (OnStop). Its other operations hand over to one piece each: the command-line actions to
// CServiceManagerClient, the event log to CEventLogSource, the plain and hidden process to
// RunInProcessMode. Windows only; the decisions live in the portable pieces.
//
// Exactly one object exists at a time; the static callbacks reach it through the global
// instance.

#include "common/WinHandle_win.h"
#include "service/EventLogSource_win.h"
#include "service/HostPlatform_win.h"
#include "service/HostTexts.h"
#include "service/ServiceManagerClient.h"
#include "service/ServiceStatus.h"
#include "service/Win32ProcessMode_win.h"
#include "service/Win32ServiceManager.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CServiceBase {
public:
    // reporter carries the command-line actions' messages; it must outlive the object.
    CServiceBase(const char* serviceName, const char* displayName, CHostReporter& reporter,
                 HostFamily family = QueryHostFamily());
    virtual ~CServiceBase();
    CServiceBase(const CServiceBase&) = delete;
    CServiceBase& operator=(const CServiceBase&) = delete;

    // The operations, in their slot order. Those returning BOOL give TRUE on success.
    virtual void RunService(int argc, char** argv) = 0;
    virtual void OnStop() = 0;
    virtual void OnPause() {}
    virtual void OnContinue() {}
    virtual void OnShutdown() {}
    // The PC woke from sleep or hibernation (a power event); called on the dispatcher's thread.
    virtual void OnWake() {}
    // Runs the action chosen by the command line; returns when it (or the service) ended.
    [[nodiscard]] virtual BOOL ParseCommandLine(int argc, char** argv);
    // Runs as a service; FALSE when the service control manager could not be reached.
    [[nodiscard]] virtual BOOL StartDispatcher();
    [[nodiscard]] virtual BOOL Install();
    [[nodiscard]] virtual BOOL Remove();
    [[nodiscard]] virtual BOOL StopRunning();
    [[nodiscard]] virtual BOOL StartRunning();
    // -c: writes the NAME=VALUE arguments into the service's settings; none by default.
    [[nodiscard]] virtual BOOL WriteSettings(const std::vector<std::string>& /*args*/) { return FALSE; }
    // -w: changes the Windows Time service as choice says; nothing by default.
    [[nodiscard]] virtual BOOL ChangeWindowsTime(const std::string& /*choice*/) { return FALSE; }
    // FALSE when the hidden process's window could not be made or the work failed.
    [[nodiscard]] virtual BOOL RunAsProcess(int argc, char** argv, bool bFaceless);
    // The platform's error code of the first step that failed, ERROR_SUCCESS otherwise.
    [[nodiscard]] virtual LONG RegisterLogSource(const char* messageFile, DWORD typesSupported);
    [[nodiscard]] virtual LONG UnregisterLogSource();
    virtual void ReportLogEvent(const char* text, WORD type, std::int32_t eventId);

    // Reports a state to the service control manager (skipped when not a service); a
    // failure is reported to the event log.
    BOOL SetStatus(DWORD state, DWORD waitHint, DWORD specificExitCode);

    const std::string& ServiceName() const { return m_strServiceName; }
    const std::string& DisplayName() const { return m_strDisplayName; }
    const CHostPlatform& Platform() const { return m_platform; }
    bool IsNotService() const { return m_status.IsNotService(); }
    const std::vector<BYTE>& UserSid() const { return m_eventLog.UserSid(); }
    DWORD LastEventError() const { return m_eventLog.LastError(); }
    // The status record as last reported (or changed by a control request).
    SERVICE_STATUS Status() const;

protected:
    static void WINAPI ServiceMainProc(DWORD argc, LPSTR* argv);
    static DWORD WINAPI ServiceCtrlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context);
    static BOOL WINAPI ConsoleCtrlProc(DWORD type);
    static LRESULT CALLBACK FacelessWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void SetNotService() { m_status.SetNotService(); }
    // Called by RunService when its work could not run as it should: a run as a process
    // then ends with a failure.
    void SetWorkFailed() { m_bWorkFailed.store(true); }
    const CHostReporter& Reporter() const { return m_reporter; }

private:
    static CServiceBase* Instance();
    static void ReportEscape(const char* where, const char* what) noexcept;

    void ServiceMain(DWORD argc, LPSTR* argv);
    // True when the control is one the service knows.
    bool HandleControl(DWORD control, DWORD eventType);
    void ReportCurrentState();
    EventSourceHooks MakeEventSourceHooks();
    ServiceDefinition MakeServiceDefinition() const;

    std::string m_strServiceName;
    std::string m_strDisplayName;
    const CHostPlatform m_platform;
    CHostReporter& m_reporter;
    CServiceStatus m_status;
    CEventLogSource m_eventLog;
    std::atomic<bool> m_bWorkFailed{false};
    DWORD m_dwDesiredAccess = SERVICE_ALL_ACCESS;
    DWORD m_dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
    DWORD m_dwStartType = SERVICE_AUTO_START;
    DWORD m_dwErrorControl = SERVICE_ERROR_NORMAL;
    // Empty means the local system account.
    std::optional<std::string> m_strAccount;
    std::optional<std::string> m_strPassword;
    CWin32ServiceManager m_manager;
    CWin32StartEntry m_startEntry;
    CServiceManagerClient m_client;
};
