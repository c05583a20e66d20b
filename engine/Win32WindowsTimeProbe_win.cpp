#include "engine/Win32WindowsTimeProbe.h"

#include "common/WinHandle_win.h"

#include <string>

namespace {

constexpr const char* kParametersKey = "SYSTEM\\CurrentControlSet\\Services\\W32Time\\Parameters";

// A service counts as running from its start until it is asked to stop.
bool CountsAsRunning(DWORD state) {
    return state != SERVICE_STOPPED && state != SERVICE_STOP_PENDING;
}

// Parameters\Type; none when the key or the value is missing or is not text.
std::optional<std::string> ConfiguredType() {
    UniqueRegistryKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kParametersKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    char text[64] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof text - 1;  // room for a terminator the value may lack
    if (::RegQueryValueExA(key.get(), "Type", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    return std::string(text);
}

}  // namespace

WindowsTimeFacts CWin32WindowsTimeProbe::look() const {
    WindowsTimeFacts facts;
    const UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        facts.error = ::GetLastError();
        return facts;
    }
    const UniqueServiceHandle service(
        ::OpenServiceA(manager.get(), kWindowsTimeServiceName, SERVICE_QUERY_STATUS));
    if (!service) {
        const DWORD error = ::GetLastError();
        facts.error = error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : error;
        return facts;
    }
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(service.get(), &status)) {
        facts.error = ::GetLastError();
        return facts;
    }
    facts.bRunning = CountsAsRunning(status.dwCurrentState);
    facts.type = ConfiguredType();
    return facts;
}
