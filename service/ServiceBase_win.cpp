#include "service/ServiceBase_win.h"

#include "common/ExceptionBarrier.h"
#include "common/Win32SystemError_win.h"
#include "service/CommandLine.h"
#include "service/ProcessMode.h"
#include "service/ServiceRules.h"
#include "service/Win32Registry_win.h"

#include <utility>

namespace {

std::atomic<CServiceBase*> g_pInstance{nullptr};

constexpr DWORD kEventTypesSupported =
    EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

SERVICE_STATUS ToServiceStatus(const StatusReport& status) {
    return SERVICE_STATUS{
        SERVICE_WIN32_OWN_PROCESS,      status.currentState, status.controlsAccepted, status.win32ExitCode,
        status.serviceSpecificExitCode, status.checkPoint,   status.waitHint};
}

// The status handle the control handler's registration gave, used only while the service
// main routine runs.
class CWin32StatusSink final : public StatusSink {
public:
    explicit CWin32StatusSink(SERVICE_STATUS_HANDLE handle) : m_hStatus(handle) {}

    bool report(const StatusReport& status) override {
        SERVICE_STATUS record = ToServiceStatus(status);
        return ::SetServiceStatus(m_hStatus, &record) != FALSE;
    }

private:
    const SERVICE_STATUS_HANDLE m_hStatus;
};

}  // namespace

CServiceBase::CServiceBase(const char* serviceName, const char* displayName, CHostReporter& reporter,
                           HostFamily family)
    : m_strServiceName(serviceName),
      m_strDisplayName(displayName != nullptr && *displayName != '\0' ? displayName : serviceName),
      m_platform(family),
      m_reporter(reporter),
      m_status(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_POWEREVENT),
      m_eventLog(m_strServiceName, m_platform.ReportsUser()),
      m_startEntry(m_strServiceName),
      m_client({m_strServiceName, m_strDisplayName}, m_manager, m_startEntry, MakeEventSourceHooks(),
               reporter, m_platform) {
    g_pInstance = this;
}

CServiceBase::~CServiceBase() {
    CServiceBase* self = this;
    g_pInstance.compare_exchange_strong(self, nullptr);
}

CServiceBase* CServiceBase::Instance() {
    return g_pInstance.load();
}

SERVICE_STATUS CServiceBase::Status() const {
    return ToServiceStatus(m_status.Current());
}

BOOL CServiceBase::SetStatus(DWORD state, DWORD waitHint, DWORD specificExitCode) {
    if (m_status.Set(state, waitHint, specificExitCode)) {
        return TRUE;
    }
    ReportLogEvent(kEventSetStatusFailed, EVENTLOG_ERROR_TYPE, kEventIdFromType);
    return FALSE;
}

void CServiceBase::ReportLogEvent(const char* text, WORD type, std::int32_t eventId) {
    m_eventLog.Report(text, type, eventId);
}

void CServiceBase::ReportEscape(const char* where, const char* what) noexcept {
    CallGuarded(
        [&] {
            const std::string text = std::string(where) + ": " + what;
            if (CServiceBase* service = Instance()) {
                service->ReportLogEvent(text.c_str(), EVENTLOG_ERROR_TYPE, kEventIdFromType);
            } else {
                ::OutputDebugStringA(text.c_str());
            }
        },
        [](const char*) {});
}

BOOL CServiceBase::ParseCommandLine(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    const ServiceCommand command = ParseServiceArguments(args);
    if (command.account) {
        m_strAccount = command.account;
    }
    if (command.password) {
        m_strPassword = command.password;
    }
    switch (m_platform.ResolveAction(command.action)) {
        case HostAction::Install: return Install();
        case HostAction::Remove: return Remove();
        case HostAction::StartRunning: return StartRunning();
        case HostAction::StopRunning: return StopRunning();
        case HostAction::Write: return WriteSettings(command.settingArgs);
        case HostAction::WindowsTime: return ChangeWindowsTime(command.windowsTimeChoice.value_or(""));
        case HostAction::RunAsProcess: SetNotService(); return RunAsProcess(argc, argv, false);
        case HostAction::RunFaceless: SetNotService(); return RunAsProcess(argc, argv, true);
        case HostAction::Query:  // the program answers -q and -status itself, without a service object
        case HostAction::Status: return FALSE;
        case HostAction::Dispatch:
        case HostAction::None: break;
    }
    return StartDispatcher();
}

BOOL CServiceBase::StartDispatcher() {
    SERVICE_TABLE_ENTRYA table[] = {{m_strServiceName.data(), ServiceMainProc}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherA(table)) {
        return TRUE;
    }
    const DWORD error = ::GetLastError();
    ReportLogEvent(SystemErrorText(error).c_str(), EVENTLOG_ERROR_TYPE, kEventIdFromType);
    // Started by a person, not by the service manager: say how the program is used.
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
        m_reporter.report(HostText::Usage);
    }
    return FALSE;
}

void WINAPI CServiceBase::ServiceMainProc(DWORD argc, LPSTR* argv) {
    CallGuarded(
        [&] {
            if (CServiceBase* service = Instance()) {
                service->ServiceMain(argc, argv);
            }
        },
        [](const char* what) { ReportEscape("ServiceMainProc", what); });
}

void CServiceBase::ServiceMain(DWORD argc, LPSTR* argv) {
    // The extended handler: only it hears the power events.
    const SERVICE_STATUS_HANDLE handle =
        ::RegisterServiceCtrlHandlerExA(m_strServiceName.c_str(), ServiceCtrlHandler, nullptr);
    if (handle == nullptr) {
        return;
    }
    // The control handler reports through the same sink from the dispatcher's thread.
    CWin32StatusSink sink(handle);
    m_status.Connect(&sink);
    if (SetStatus(SERVICE_START_PENDING, kDefaultWaitHint, 0)) {
        // The stopped state is reported however the work ends.
        CallGuarded([&] { RunService(static_cast<int>(argc), argv); },
                    [](const char* what) { ReportEscape("RunService", what); });
    }
    SetStatus(SERVICE_STOPPED, kDefaultWaitHint, 0);
    m_status.Connect(nullptr);
}

DWORD WINAPI CServiceBase::ServiceCtrlHandler(DWORD control, DWORD eventType, LPVOID, LPVOID) {
    DWORD result = ERROR_CALL_NOT_IMPLEMENTED;
    CallGuarded(
        [&] {
            if (CServiceBase* service = Instance()) {
                result = service->HandleControl(control, eventType) ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
            }
        },
        [](const char* what) { ReportEscape("ServiceCtrlHandler", what); });
    return result;
}

// A power event other than a wake (a suspend asked for among them) is granted unheard.
bool CServiceBase::HandleControl(DWORD control, DWORD eventType) {
    struct OperationEntry {
        ControlOperation operation;
        void (CServiceBase::*handler)();
    };
    static constexpr OperationEntry kOperations[] = {
        {ControlOperation::Stop, &CServiceBase::OnStop},
        {ControlOperation::Pause, &CServiceBase::OnPause},
        {ControlOperation::Continue, &CServiceBase::OnContinue},
        {ControlOperation::Interrogate, &CServiceBase::ReportCurrentState},
        {ControlOperation::Shutdown, &CServiceBase::OnShutdown},
    };
    const ControlRule& rule = ControlRuleFor(control);
    if (rule.pendingState != 0) {
        m_status.MarkState(rule.pendingState);
    }
    for (const OperationEntry& entry : kOperations) {
        if (entry.operation == rule.operation) {
            (this->*entry.handler)();
        }
    }
    if (rule.operation == ControlOperation::PowerEvent && IsWakeEvent(eventType)) {
        OnWake();
    }
    return rule.operation != ControlOperation::None;
}

void CServiceBase::ReportCurrentState() {
    SetStatus(m_status.Current().currentState, kDefaultWaitHint, 0);
}

BOOL WINAPI CServiceBase::ConsoleCtrlProc(DWORD type) {
    BOOL bHandled = FALSE;
    CallGuarded(
        [&] {
            if (!ConsoleEventStopsService(type)) {
                return;
            }
            if (CServiceBase* service = Instance()) {
                service->OnStop();
            }
            bHandled = TRUE;
        },
        [](const char* what) { ReportEscape("ConsoleCtrlProc", what); });
    return bHandled;
}

LRESULT CALLBACK CServiceBase::FacelessWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    const bool bCompleted = CallGuarded(
        [&] {
            if (RespondToSessionMessage(message, lParam) != SessionResponse::StopService) {
                result = ::DefWindowProcA(window, message, wParam, lParam);
                return;
            }
            ::DestroyWindow(window);
            if (CServiceBase* service = Instance()) {
                service->OnStop();
            }
            result = 1;
        },
        [](const char* what) { ReportEscape("FacelessWndProc", what); });
    return bCompleted ? result : 0;
}

BOOL CServiceBase::RunAsProcess(int argc, char** argv, bool bFaceless) {
    CWin32ProcessMode mode(ConsoleCtrlProc, FacelessWndProc);
    m_bWorkFailed.store(false);
    const bool bRan = RunInProcessMode(mode, m_reporter, bFaceless, [&] {
        RunService(argc, argv);
        return !m_bWorkFailed.load();
    });
    return bRan ? TRUE : FALSE;
}

LONG CServiceBase::RegisterLogSource(const char* messageFile, DWORD typesSupported) {
    return m_eventLog.Register(messageFile, typesSupported);
}

LONG CServiceBase::UnregisterLogSource() {
    return m_eventLog.Unregister();
}

EventSourceHooks CServiceBase::MakeEventSourceHooks() {
    return EventSourceHooks{
        [this](const std::string& messageFile) {
            return RegistryResult(RegisterLogSource(messageFile.c_str(), kEventTypesSupported));
        },
        [this] { return RegistryResult(UnregisterLogSource()); },
        [this] { ReportLogEvent(kEventServiceInstalled, EVENTLOG_INFORMATION_TYPE, kEventIdFromType); },
    };
}

ServiceDefinition CServiceBase::MakeServiceDefinition() const {
    ServiceDefinition definition;
    definition.desiredAccess = m_dwDesiredAccess;
    definition.serviceType = m_dwServiceType;
    definition.startType = m_dwStartType;
    definition.errorControl = m_dwErrorControl;
    definition.account = m_strAccount;
    definition.password = m_strPassword;
    return definition;
}

BOOL CServiceBase::Install() {
    return m_client.Install(QueryModulePath(), MakeServiceDefinition()) ? TRUE : FALSE;
}

BOOL CServiceBase::Remove() {
    return m_client.Remove() ? TRUE : FALSE;
}

BOOL CServiceBase::StartRunning() {
    return m_client.StartRunning() ? TRUE : FALSE;
}

BOOL CServiceBase::StopRunning() {
    return m_client.StopRunning() ? TRUE : FALSE;
}
