#include "service/Win32ServiceManager.h"

#include "common/Win32SystemError_win.h"
#include "common/WinHandle_win.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kPollMilliseconds = 1000;

// Reads the error at once, before anything else can change it.
SystemResult ResultOf(BOOL bSucceeded) {
    return bSucceeded ? SystemResult::success() : SystemResult::failure(::GetLastError());
}

const char* OptionalText(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

class CWin32ManagedService final : public ManagedService {
public:
    explicit CWin32ManagedService(UniqueServiceHandle service) : m_service(std::move(service)) {}

    SystemResult controlStop() override {
        SERVICE_STATUS status{};
        return ResultOf(::ControlService(m_service.get(), SERVICE_CONTROL_STOP, &status));
    }
    SystemResult start() override { return ResultOf(::StartServiceA(m_service.get(), 0, nullptr)); }
    SystemResult remove() override { return ResultOf(::DeleteService(m_service.get())); }
    ServiceStateQuery queryState() override {
        SERVICE_STATUS status{};
        const bool bSucceeded = ::QueryServiceStatus(m_service.get(), &status) != FALSE;
        return ServiceStateQuery{bSucceeded, status.dwCurrentState};
    }
    ServiceStartQuery queryStartType() override {
        // The configuration's size first, then the configuration with its strings.
        DWORD size = 0;
        if (!::QueryServiceConfigA(m_service.get(), nullptr, 0, &size) &&
            ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return {false, 0, ::GetLastError()};
        }
        std::vector<BYTE> buffer(std::max<DWORD>(size, sizeof(QUERY_SERVICE_CONFIGA)));
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
        if (!::QueryServiceConfigA(m_service.get(), config, static_cast<DWORD>(buffer.size()), &size)) {
            return {false, 0, ::GetLastError()};
        }
        return {true, config->dwStartType, 0};
    }
    SystemResult changeStartType(std::uint32_t startType) override {
        return ResultOf(::ChangeServiceConfigA(m_service.get(), SERVICE_NO_CHANGE, startType,
                                               SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                               nullptr, nullptr));
    }

private:
    UniqueServiceHandle m_service;
};

class CWin32ManagerConnection final : public ServiceManagerConnection {
public:
    explicit CWin32ManagerConnection(UniqueServiceHandle manager) : m_manager(std::move(manager)) {}

    SystemResult createService(const ServiceDefinition& definition) override {
        const UniqueServiceHandle service(
            ::CreateServiceA(m_manager.get(), definition.name.c_str(), definition.displayName.c_str(),
                             definition.desiredAccess, definition.serviceType, definition.startType,
                             definition.errorControl, definition.binaryPath.c_str(), nullptr, nullptr,
                             nullptr, OptionalText(definition.account), OptionalText(definition.password)));
        return ResultOf(service.isValid());
    }

    Opened<ManagedService> openService(const std::string& name) override {
        UniqueServiceHandle service(::OpenServiceA(m_manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
        if (!service) {
            return {nullptr, ::GetLastError()};
        }
        return {std::make_unique<CWin32ManagedService>(std::move(service)), 0};
    }

private:
    UniqueServiceHandle m_manager;
};

}  // namespace

Opened<ServiceManagerConnection> CWin32ServiceManager::connect() {
    UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        return {nullptr, ::GetLastError()};
    }
    return {std::make_unique<CWin32ManagerConnection>(std::move(manager)), 0};
}

void CWin32ServiceManager::pause() {
    ::Sleep(kPollMilliseconds);
}

std::string CWin32ServiceManager::errorText(std::uint32_t error) const {
    return SystemErrorText(error);
}
