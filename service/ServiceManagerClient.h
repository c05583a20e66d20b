#pragma once
// The four command-line actions against the service control manager: install, remove, start
// and stop the service, each with its messages and, where it waits for the service, a bounded
// wait. Where there is no manager (CHostPlatform), installing and removing set and clear the
// start entry instead, and say nothing.

#include "service/HostPlatform.h"
#include "service/HostTexts.h"
#include "service/ProcessMode.h"
#include "service/ServiceManager.h"

#include <functional>
#include <optional>
#include <string>

// The program's own full path, or the error that kept it from being had.
struct ProgramPath {
    std::optional<std::string> path;
    std::uint32_t error = 0;
};

// The service's event source, which installing registers and removing takes away.
struct EventSourceHooks {
    std::function<SystemResult(const std::string& messageFile)> registerSource;
    std::function<SystemResult()> unregisterSource;
    // Reports "Service installed" through the new source.
    std::function<void()> reportInstalled;
};

class CServiceManagerClient {
public:
    struct Identity {
        std::string name;
        std::string displayName;
    };

    // Everything given by reference must outlive the client.
    CServiceManagerClient(Identity identity, ServiceManager& manager, StartEntry& startEntry,
                          EventSourceHooks hooks, const CHostReporter& reporter, CHostPlatform platform);

    // Creates the service as described (its names are the client's, its binary the program)
    // and registers its event source; false when either failed.
    [[nodiscard]] bool Install(const ProgramPath& program, ServiceDefinition definition);
    // Stops the service if it runs, deletes it and takes its event source away.
    [[nodiscard]] bool Remove();
    // True once the service runs.
    [[nodiscard]] bool StartRunning();
    // True once the service has stopped.
    [[nodiscard]] bool StopRunning();

private:
    bool CreateService(const ServiceDefinition& definition);
    bool RegisterEventSource(const std::string& messageFile);
    bool DeleteService();
    void StopBeforeRemoval(ManagedService& service);
    OpenedService OpenService(HostText managerFailed, HostText serviceFailed);
    ServiceStateQuery WaitWhile(ManagedService& service, std::uint32_t pendingState,
                                std::function<void()> stillPending = {});
    std::string ErrorText(std::uint32_t error) const { return m_manager.errorText(error); }

    const Identity m_identity;
    ServiceManager& m_manager;
    StartEntry& m_startEntry;
    const EventSourceHooks m_hooks;
    const CHostReporter& m_reporter;
    const CHostPlatform m_platform;
};
