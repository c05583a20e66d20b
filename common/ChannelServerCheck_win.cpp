#include "common/ChannelServerCheck_win.h"

#include "common/ProductFacts.h"
#include "common/WinHandle_win.h"
#include "common/WindowMessages.h"

namespace {

std::optional<std::uint32_t> PipeServerProcess(HANDLE pipe) {
    ULONG process = 0;
    if (!::GetNamedPipeServerProcessId(pipe, &process)) {
        return std::nullopt;
    }
    return process;
}

// SERVICE_QUERY_STATUS is granted to every user. A stopped service has no process (0).
std::optional<std::uint32_t> ServiceProcess() {
    const UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(
        manager ? ::OpenServiceA(manager.get(), kServiceName, SERVICE_QUERY_STATUS) : nullptr);
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!service ||
        !::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                sizeof status, &needed) ||
        status.dwProcessId == 0) {
        return std::nullopt;
    }
    return status.dwProcessId;
}

// The window the console would fall back to: the first with the title, whatever its case.
std::optional<std::uint32_t> ControlWindowProcess() {
    const HWND window = ::FindWindowA(nullptr, kExecWindowTitle);
    DWORD process = 0;
    if (window == nullptr || ::GetWindowThreadProcessId(window, &process) == 0) {
        return std::nullopt;
    }
    return process;
}

}  // namespace

ChannelServerFacts GatherChannelServerFacts(HANDLE pipe) {
    return {PipeServerProcess(pipe), ServiceProcess(), ControlWindowProcess()};
}

ChannelServerVerdict CheckChannelServer(HANDLE pipe) {
    return JudgeChannelServer(GatherChannelServerFacts(pipe));
}
