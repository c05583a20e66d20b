#include "service/ServiceBase.h"

#include "common/Firewall.h"
#include "common/Win32SystemError.h"
#include "service/ServiceRules.h"
#include "service/Win32Registry.h"

#include <atomic>
#include <utility>

namespace {

std::atomic<CServiceBase*> g_pInstance{nullptr};

constexpr DWORD kPollMilliseconds = 1000;
constexpr DWORD kUserNameCapacity = 256;
constexpr DWORD kSidCapacity = 4096;
constexpr DWORD kDomainCapacity = 256;
constexpr DWORD kModulePathCapacity = 1024;
constexpr DWORD kEventTypesSupported =
    EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
constexpr const char* kFacelessClassName = "HoraluxFacelessWndClass";

using RegisterServiceProcessFn = DWORD(WINAPI*)(DWORD, DWORD);

// Windows 9x hides a process from the task list and keeps it across a log-off this way;
// NT has no such call.
RegisterServiceProcessFn FindRegisterServiceProcess() {
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<RegisterServiceProcessFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "RegisterServiceProcess")));
}

// The program's own full path; false when it cannot be had in full.
bool ModulePath(std::string& path) {
    char buffer[kModulePathCapacity] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer, kModulePathCapacity - 1);
    if (length == 0 || length >= kModulePathCapacity - 1) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}

const char* OptionalText(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

// Reads the Application log's "Sources" (a missing value counts as an empty list), lets edit
// decide the new value for name and stores it with the type it had; no new value, no write.
using SourcesEdit = std::optional<RegistryBytes> (*)(const RegistryBytes& value, const std::string& name);

LONG EditEventSources(const std::string& name, SourcesEdit edit) {
    UniqueRegistryKey logKey;
    const LONG opened = OpenRegistryKey(HKEY_LOCAL_MACHINE, CServiceBase::kApplicationLogKey, logKey);
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    RegistryValue sources;
    if (ReadRegistryValue(logKey.get(), "Sources", sources) != ERROR_SUCCESS) {
        sources = RegistryValue{};
        sources.type = REG_MULTI_SZ;
    }
    if (const auto edited = edit(sources.bytes, name)) {
        return WriteRegistryValue(logKey.get(), "Sources", sources.type, *edited);
    }
    return ERROR_SUCCESS;
}

}  // namespace

void WriteStandardOutput(const std::string& text) {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    ::WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool QueryPlatformIsNt() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    return ::GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

CServiceBase::CServiceBase(const char* serviceName, const char* displayName, CHostReporter& reporter,
                           bool bIsNt)
    : m_strServiceName(serviceName),
      m_strDisplayName(displayName != nullptr && *displayName != '\0' ? displayName : serviceName),
      m_dwAcceptedControls(SERVICE_ACCEPT_STOP),
      m_bIsNt(bIsNt),
      m_reporter(reporter) {
    m_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    if (m_bIsNt) {
        LookUpUserSid();
    }
    g_pInstance = this;
}

CServiceBase::~CServiceBase() {
    CServiceBase* self = this;
    g_pInstance.compare_exchange_strong(self, nullptr);
}

CServiceBase* CServiceBase::Instance() {
    return g_pInstance.load();
}

void CServiceBase::LookUpUserSid() {
    char userName[kUserNameCapacity] = {};
    DWORD userLength = kUserNameCapacity;
    if (!::GetUserNameA(userName, &userLength)) {
        return;
    }
    std::vector<BYTE> sid(kSidCapacity);
    DWORD sidLength = kSidCapacity;
    char domain[kDomainCapacity] = {};
    DWORD domainLength = kDomainCapacity;
    SID_NAME_USE use{};
    if (::LookupAccountNameA(nullptr, userName, sid.data(), &sidLength, domain, &domainLength, &use) &&
        ::IsValidSid(sid.data())) {
        sid.resize(::GetLengthSid(sid.data()));
        m_vecUserSid = std::move(sid);
    }
}

SERVICE_STATUS CServiceBase::Status() const {
    const std::lock_guard<std::mutex> lock(m_statusLock);
    return m_status;
}

BOOL CServiceBase::SetStatus(DWORD state, DWORD waitHint, DWORD specificExitCode) {
    if (m_bNotService) {
        return TRUE;
    }
    BOOL bReported = FALSE;
    {
        const std::lock_guard<std::mutex> lock(m_statusLock);
        std::uint32_t checkpoint = m_dwCheckPoint;
        const StatusReport report =
            MakeStatusReport(state, waitHint, specificExitCode, m_dwAcceptedControls, checkpoint);
        m_dwCheckPoint = checkpoint;
        m_status.dwCurrentState = report.currentState;
        m_status.dwControlsAccepted = report.controlsAccepted;
        m_status.dwWin32ExitCode = report.win32ExitCode;
        m_status.dwServiceSpecificExitCode = report.serviceSpecificExitCode;
        m_status.dwCheckPoint = report.checkPoint;
        m_status.dwWaitHint = report.waitHint;
        bReported = ::SetServiceStatus(m_hStatus, &m_status);
    }
    if (!bReported) {
        ReportLogEvent(kEventSetStatusFailed, EVENTLOG_ERROR_TYPE, kEventIdFromType);
    }
    return bReported;
}

void CServiceBase::ReportLogEvent(const char* text, WORD type, std::int32_t eventId) {
    m_dwLastError = ::GetLastError();
    const UniqueEventSource source(::RegisterEventSourceA(nullptr, m_strServiceName.c_str()));
    if (!source) {
        return;
    }
    const char* strings[] = {text};
    ::ReportEventA(source.get(), type, 0, ChooseEventId(type, eventId),
                   m_vecUserSid.empty() ? nullptr : m_vecUserSid.data(), 1, 0, strings, nullptr);
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
    switch (ResolveHostAction(command.action, m_bIsNt)) {
        case HostAction::Install: return Install();
        case HostAction::Remove: return Remove();
        case HostAction::StartRunning: return StartRunning();
        case HostAction::StopRunning: return StopRunning();
        case HostAction::RunAsProcess: SetNotService(); return RunAsProcess(argc, argv, false);
        case HostAction::RunFaceless: SetNotService(); return RunAsProcess(argc, argv, true);
        case HostAction::Dispatch:
        case HostAction::None: break;
    }
    return StartDispatcher();
}

BOOL CServiceBase::StartDispatcher() {
    SERVICE_TABLE_ENTRYA table[] = {{m_strServiceName.data(), ServiceMainProc}, {nullptr, nullptr}};
    if (!::StartServiceCtrlDispatcherA(table)) {
        ReportLogEvent(LastErrorText().c_str(), EVENTLOG_ERROR_TYPE, kEventIdFromType);
        return FALSE;
    }
    return TRUE;
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
    m_hStatus = ::RegisterServiceCtrlHandlerA(m_strServiceName.c_str(), ServiceCtrlHandler);
    if (m_hStatus == nullptr) {
        return;
    }
    if (SetStatus(SERVICE_START_PENDING, kDefaultWaitHint, 0)) {
        // The stopped state is reported however the work ends.
        CallGuarded([&] { RunService(static_cast<int>(argc), argv); },
                    [](const char* what) { ReportEscape("RunService", what); });
    }
    SetStatus(SERVICE_STOPPED, kDefaultWaitHint, 0);
}

void WINAPI CServiceBase::ServiceCtrlHandler(DWORD control) {
    CallGuarded(
        [&] {
            if (CServiceBase* service = Instance()) {
                service->HandleControl(control);
            }
        },
        [](const char* what) { ReportEscape("ServiceCtrlHandler", what); });
}

void CServiceBase::HandleControl(DWORD control) {
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
        const std::lock_guard<std::mutex> lock(m_statusLock);
        m_status.dwCurrentState = rule.pendingState;
    }
    for (const OperationEntry& entry : kOperations) {
        if (entry.operation == rule.operation) {
            (this->*entry.handler)();
        }
    }
}

void CServiceBase::ReportCurrentState() {
    SetStatus(Status().dwCurrentState, kDefaultWaitHint, 0);
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
    if (!bFaceless) {
        ::SetConsoleCtrlHandler(ConsoleCtrlProc, TRUE);
    }
    UniqueWindowClass windowClass;
    UniqueWindow window;
    RegisterServiceProcessFn registerServiceProcess = nullptr;
    if (bFaceless) {
        WNDCLASSA record{};
        record.lpfnWndProc = FacelessWndProc;
        record.hInstance = ::GetModuleHandleA(nullptr);
        record.lpszClassName = kFacelessClassName;
        windowClass.reset(::RegisterClassA(&record));
        window.reset(::CreateWindowExA(0, kFacelessClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                       record.hInstance, nullptr));
        registerServiceProcess = FindRegisterServiceProcess();
        if (registerServiceProcess != nullptr) {
            registerServiceProcess(0, 1);
        }
    }
    RunService(argc, argv);
    if (registerServiceProcess != nullptr) {
        registerServiceProcess(0, 0);
    }
    if (!bFaceless) {
        ::SetConsoleCtrlHandler(ConsoleCtrlProc, FALSE);
    }
    return TRUE;
}

std::string CServiceBase::EventSourceKey() const {
    return kApplicationLogKey + m_strServiceName;
}

LONG CServiceBase::RegisterLogSource(const char* messageFile, DWORD typesSupported) {
    {
        UniqueRegistryKey sourceKey;
        if (CreateRegistryKey(HKEY_LOCAL_MACHINE, EventSourceKey(), sourceKey) == ERROR_SUCCESS) {
            WriteRegistryText(sourceKey.get(), "EventMessageFile", REG_EXPAND_SZ, messageFile);
            WriteRegistryDword(sourceKey.get(), "TypesSupported", typesSupported);
        }
    }
    return EditEventSources(m_strServiceName, AddEventSource);
}

LONG CServiceBase::UnregisterLogSource() {
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, EventSourceKey().c_str());
    return EditEventSources(m_strServiceName, RemoveEventSource);
}

BOOL CServiceBase::ChangeRunServicesEntry(const char* path) {
    UniqueRegistryKey key;
    if (CreateRegistryKey(HKEY_LOCAL_MACHINE, kRunServicesKey, key) != ERROR_SUCCESS) {
        return FALSE;
    }
    const LONG result = path != nullptr
                            ? WriteRegistryText(key.get(), m_strServiceName.c_str(), REG_EXPAND_SZ, path)
                            : ::RegDeleteValueA(key.get(), m_strServiceName.c_str());
    return result == ERROR_SUCCESS || (path == nullptr && result == ERROR_FILE_NOT_FOUND);
}

BOOL CServiceBase::Install() {
    std::string path;
    if (!ModulePath(path)) {
        m_reporter.report(HostText::InstallPathFailed, {m_strDisplayName, LastErrorText()});
        return FALSE;
    }
    if (!m_bIsNt) {
        return ChangeRunServicesEntry(path.c_str());
    }
    bool bCreated = false;
    {
        const UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) {
            m_reporter.report(HostText::ManagerFailed, {LastErrorText()});
            return FALSE;
        }
        const UniqueServiceHandle service(::CreateServiceA(
            manager.get(), m_strServiceName.c_str(), m_strDisplayName.c_str(), m_dwDesiredAccess,
            m_dwServiceType, m_dwStartType, m_dwErrorControl, path.c_str(), nullptr, nullptr, nullptr,
            OptionalText(m_strAccount), OptionalText(m_strPassword)));
        bCreated = service.isValid();
        if (bCreated) {
            m_reporter.report(HostText::Installed, {m_strDisplayName});
        } else {
            m_reporter.report(HostText::CreateFailed, {LastErrorText()});
        }
    }
    if (!bCreated) {
        return FALSE;
    }
    RegisterLogSource(path.c_str(), kEventTypesSupported);
    ReportLogEvent(kEventServiceInstalled, EVENTLOG_INFORMATION_TYPE, kEventIdFromType);
    return TRUE;
}

bool CServiceBase::OpenService(UniqueServiceHandle& manager, UniqueServiceHandle& service,
                               HostText managerFailed, HostText serviceFailed) const {
    manager.reset(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        m_reporter.report(managerFailed, {LastErrorText()});
        return false;
    }
    service.reset(::OpenServiceA(manager.get(), m_strServiceName.c_str(), SERVICE_ALL_ACCESS));
    if (!service) {
        m_reporter.report(serviceFailed, {LastErrorText()});
        manager.reset();
        return false;
    }
    return true;
}

ServiceStateQuery CServiceBase::WaitWhileServicePending(SC_HANDLE service, DWORD pendingState,
                                                        std::function<void()> stillPending) {
    ServiceWaitPort port;
    port.pause = [] { ::Sleep(kPollMilliseconds); };
    port.query = [service] {
        SERVICE_STATUS status{};
        const bool bSucceeded = ::QueryServiceStatus(service, &status) != FALSE;
        return ServiceStateQuery{bSucceeded, status.dwCurrentState};
    };
    port.stillPending = std::move(stillPending);
    return WaitWhilePending(port, pendingState);
}

BOOL CServiceBase::Remove() {
    if (!m_bIsNt) {
        return ChangeRunServicesEntry(nullptr);
    }
    bool bRemoved = false;
    {
        UniqueServiceHandle manager;
        UniqueServiceHandle service;
        if (!OpenService(manager, service, HostText::ManagerFailed, HostText::OpenServiceFailed)) {
            return FALSE;
        }
        SERVICE_STATUS status{};
        if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
            const ServiceStateQuery last = WaitWhileServicePending(service.get(), SERVICE_STOP_PENDING);
            if (last.bSucceeded && last.state == SERVICE_STOPPED) {
                m_reporter.report(HostText::RemoveStopped);
            } else {
                m_reporter.report(HostText::RemoveFailedToStop, {m_strDisplayName});
            }
        }
        bRemoved = ::DeleteService(service.get()) != FALSE;
        if (bRemoved) {
            m_reporter.report(HostText::Removed);
        } else {
            m_reporter.report(HostText::DeleteFailed, {LastErrorText()});
        }
    }
    if (bRemoved) {
        UnregisterLogSource();
    }
    return bRemoved ? TRUE : FALSE;
}

BOOL CServiceBase::StartRunning() {
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
    if (!OpenService(manager, service, HostText::ManagerFailedOut, HostText::OpenServiceFailedOut)) {
        return FALSE;
    }
    if (!::StartServiceA(service.get(), 0, nullptr)) {
        m_reporter.report(HostText::StartFailedOut, {m_strDisplayName, LastErrorText()});
        return FALSE;
    }
    const ServiceStateQuery last = WaitWhileServicePending(service.get(), SERVICE_START_PENDING);
    if (last.state != SERVICE_RUNNING) {
        m_reporter.report(HostText::StartNotRunning);
        return FALSE;
    }
    return TRUE;
}

BOOL CServiceBase::StopRunning() {
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
    if (!OpenService(manager, service, HostText::ManagerFailedOut, HostText::OpenServiceFailedOut)) {
        return FALSE;
    }
    SERVICE_STATUS status{};
    if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        return FALSE;
    }
    m_reporter.report(HostText::Stopping, {m_strDisplayName});
    const ServiceStateQuery last = WaitWhileServicePending(
        service.get(), SERVICE_STOP_PENDING, [this] { m_reporter.report(HostText::StoppingDot); });
    if (last.bSucceeded && last.state == SERVICE_STOPPED) {
        m_reporter.report(HostText::StoppedOut, {m_strDisplayName});
        return TRUE;
    }
    m_reporter.report(HostText::FailedToStopOut, {m_strDisplayName});
    return FALSE;
}
