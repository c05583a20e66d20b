#pragma once
// A stand-in for the Windows Time service, which Wine does not have: a service named W32Time,
// started automatically, whose program is Wine's own service that only waits for its stop, with
// the source its configuration names. It goes when the object goes, however the test ends, and
// with it the start type that an installation kept for the removal.

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

#include "common/WinHandle_win.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/WaitUntil.h"

class CWindowsTimeStandIn {
public:
    static constexpr const char* kName = "W32Time";
    static constexpr const char* kParametersKey = "SYSTEM\\CurrentControlSet\\Services\\W32Time\\Parameters";

    CWindowsTimeStandIn() = default;
    CWindowsTimeStandIn(const CWindowsTimeStandIn&) = delete;
    CWindowsTimeStandIn& operator=(const CWindowsTimeStandIn&) = delete;

    ~CWindowsTimeStandIn() {
        const UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        const UniqueServiceHandle service(manager ? ::OpenServiceA(manager.get(), kName, SERVICE_ALL_ACCESS)
                                                  : nullptr);
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kParametersKey);
        if (service) {
            SERVICE_STATUS status{};
            ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
            WaitUntil([] { return state() == SERVICE_STOPPED; }, std::chrono::seconds(20));
            ::DeleteService(service.get());
        }
        UniqueRegistryKey key;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Horalux", 0, KEY_SET_VALUE, key.put()) ==
            ERROR_SUCCESS) {
            ::RegDeleteValueA(key.get(), "W32TimeStartType");
        }
    }

    // Registers and starts it; true once it runs.
    bool start() {
        char system[MAX_PATH] = {};
        ::GetSystemDirectoryA(system, MAX_PATH);
        const std::string program = std::string(system) + "\\wuauserv.exe";
        const UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        const UniqueServiceHandle service(
            manager ? ::CreateServiceA(manager.get(), kName, "Windows Time", SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                       program.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr)
                    : nullptr);
        return service && ::StartServiceA(service.get(), 0, nullptr) &&
               WaitUntil([] { return state() == SERVICE_RUNNING; }, std::chrono::seconds(20));
    }

    // Parameters\Type, the source it synchronises with ("NoSync": none).
    static bool setSource(const std::string& type) {
        UniqueRegistryKey key;
        return ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                 key.put(), nullptr) == ERROR_SUCCESS &&
               ::RegSetValueExA(key.get(), "Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(type.c_str()),
                                static_cast<DWORD>(type.size() + 1)) == ERROR_SUCCESS;
    }

    static DWORD state() { return ServiceState(kName); }
    static DWORD startType() {
        const std::optional<ServiceConfig> config = QueryServiceConfiguration(kName);
        return config ? config->startType : 0;
    }
};
