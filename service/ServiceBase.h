#pragma once
// A general Win32 service: connects the program to the service control manager, reports its
// state, answers control requests, writes to the Application event log under its own event
// source, installs, removes, starts and stops itself, and runs the same work as a plain or
// hidden process. A subclass supplies the work (RunService) and its stop (OnStop). Windows
// only; the decisions live in ServiceRules, CommandLine and HostMessages.
//
// Exactly one object exists at a time; the static callbacks reach it through the global
// instance.

#include "common/WinHandle.h"
#include "service/CommandLine.h"
#include "service/HostMessages.h"
#include "service/ServiceWait.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Whether the platform is NT (VER_PLATFORM_WIN32_NT) rather than Windows 9x.
bool QueryPlatformIsNt();

// Writes text to the standard output handle, seen only when the output is redirected (the
// program has no console of its own).
void WriteStandardOutput(const std::string& text);

class CServiceBase {
public:
    // reporter carries the command-line actions' messages; it must outlive the object.
    CServiceBase(const char* serviceName, const char* displayName, CHostReporter& reporter,
                 bool bIsNt = QueryPlatformIsNt());
    virtual ~CServiceBase();
    CServiceBase(const CServiceBase&) = delete;
    CServiceBase& operator=(const CServiceBase&) = delete;

    // The operations, in their slot order.
    virtual void RunService(int argc, char** argv) = 0;
    virtual void OnStop() = 0;
    virtual void OnPause() {}
    virtual void OnContinue() {}
    virtual void OnShutdown() {}
    // Runs the action chosen by the command line; returns when it (or the service) ended.
    virtual BOOL ParseCommandLine(int argc, char** argv);
    // Runs as a service; FALSE when the service control manager could not be reached.
    virtual BOOL StartDispatcher();
    virtual BOOL Install();
    virtual BOOL Remove();
    virtual BOOL StopRunning();
    virtual BOOL StartRunning();
    virtual BOOL RunAsProcess(int argc, char** argv, bool bFaceless);
    virtual LONG RegisterLogSource(const char* messageFile, DWORD typesSupported);
    virtual LONG UnregisterLogSource();
    virtual void ReportLogEvent(const char* text, WORD type, std::int32_t eventId);

    // Reports a state to the service control manager (skipped when not a service).
    BOOL SetStatus(DWORD state, DWORD waitHint, DWORD specificExitCode);

    const std::string& ServiceName() const { return m_strServiceName; }
    const std::string& DisplayName() const { return m_strDisplayName; }
    bool IsNt() const { return m_bIsNt; }
    bool IsNotService() const { return m_bNotService; }
    const std::vector<BYTE>& UserSid() const { return m_vecUserSid; }
    DWORD LastEventError() const { return m_dwLastError; }
    // The status record as last reported (or changed by a control request).
    SERVICE_STATUS Status() const;

    // The Application log's key, and the service's event-source key below it.
    static constexpr const char* kApplicationLogKey =
        "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
    // Windows 9x starts the programs named under this key with the system.
    static constexpr const char* kRunServicesKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";

protected:
    static void WINAPI ServiceMainProc(DWORD argc, LPSTR* argv);
    static void WINAPI ServiceCtrlHandler(DWORD control);
    static BOOL WINAPI ConsoleCtrlProc(DWORD type);
    static LRESULT CALLBACK FacelessWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void SetNotService() { m_bNotService = true; }
    const CHostReporter& Reporter() const { return m_reporter; }

private:
    static CServiceBase* Instance();
    static void ReportEscape(const char* where, const char* what) noexcept;

    void LookUpUserSid();
    void ServiceMain(DWORD argc, LPSTR* argv);
    void HandleControl(DWORD control);
    void ReportCurrentState();
    std::string EventSourceKey() const;
    // Sets or deletes this service's value under the RunServices key (Windows 9x).
    BOOL ChangeRunServicesEntry(const char* path);
    // Opens the manager and the service, reporting failures with the given messages.
    bool OpenService(UniqueServiceHandle& manager, UniqueServiceHandle& service, HostText managerFailed,
                     HostText serviceFailed) const;
    // Polls the service once a second while it stays in pendingState, bounded.
    static ServiceStateQuery WaitWhileServicePending(SC_HANDLE service, DWORD pendingState,
                                                     std::function<void()> stillPending = {});

    std::string m_strServiceName;
    std::string m_strDisplayName;
    DWORD m_dwCheckPoint = 0;
    DWORD m_dwLastError = 0;
    bool m_bNotService = false;
    mutable std::mutex m_statusLock;  // the control handler and the service thread share m_status
    SERVICE_STATUS m_status{};
    SERVICE_STATUS_HANDLE m_hStatus = nullptr;
    DWORD m_dwAcceptedControls;
    std::vector<BYTE> m_vecUserSid;
    bool m_bIsNt;
    DWORD m_dwDesiredAccess = SERVICE_ALL_ACCESS;
    DWORD m_dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
    DWORD m_dwStartType = SERVICE_AUTO_START;
    DWORD m_dwErrorControl = SERVICE_ERROR_NORMAL;
    // Empty means the local system account.
    std::optional<std::string> m_strAccount;
    std::optional<std::string> m_strPassword;
    CHostReporter& m_reporter;
};
