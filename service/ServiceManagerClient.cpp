#include "service/ServiceManagerClient.h"

#include "service/ServiceRules.h"

#include <utility>

CServiceManagerClient::CServiceManagerClient(Identity identity, ServiceManager& manager,
                                             StartEntry& startEntry, EventSourceHooks hooks,
                                             const CHostReporter& reporter, CHostPlatform platform)
    : m_identity(std::move(identity)),
      m_manager(manager),
      m_startEntry(startEntry),
      m_hooks(std::move(hooks)),
      m_reporter(reporter),
      m_platform(platform) {}

bool CServiceManagerClient::Install(const ProgramPath& program, ServiceDefinition definition) {
    if (!program.path) {
        m_reporter.report(HostText::InstallPathFailed, {m_identity.displayName, ErrorText(program.error)});
        return false;
    }
    if (!m_platform.HasServiceManager()) {
        return m_startEntry.set(*program.path).bSucceeded;
    }
    definition.name = m_identity.name;
    definition.displayName = m_identity.displayName;
    definition.binaryPath = *program.path;
    definition.serviceType = ServiceTypeForAccount(definition.serviceType, definition.account);
    // The manager's handles are closed before the event source is registered.
    return CreateService(definition) && RegisterEventSource(*program.path);
}

bool CServiceManagerClient::CreateService(const ServiceDefinition& definition) {
    const Opened<ServiceManagerConnection> manager = m_manager.connect();
    if (!manager.object) {
        m_reporter.report(HostText::ManagerFailed, {ErrorText(manager.error)});
        return false;
    }
    const SystemResult created = manager.object->createService(definition);
    if (!created) {
        m_reporter.report(HostText::CreateFailed, {ErrorText(created.nError)});
        return false;
    }
    m_reporter.report(HostText::Installed, {definition.displayName});
    return true;
}

bool CServiceManagerClient::RegisterEventSource(const std::string& messageFile) {
    const SystemResult registered = m_hooks.registerSource(messageFile);
    if (!registered) {
        m_reporter.report(HostText::RegisterSourceFailed, {ErrorText(registered.nError)});
    }
    m_hooks.reportInstalled();
    return registered.bSucceeded;
}

bool CServiceManagerClient::Remove() {
    if (!m_platform.HasServiceManager()) {
        return m_startEntry.clear().bSucceeded;
    }
    if (!DeleteService()) {
        return false;
    }
    const SystemResult unregistered = m_hooks.unregisterSource();
    if (!unregistered) {
        m_reporter.report(HostText::UnregisterSourceFailed, {ErrorText(unregistered.nError)});
    }
    return unregistered.bSucceeded;
}

bool CServiceManagerClient::DeleteService() {
    const OpenedService opened = OpenService(HostText::ManagerFailed, HostText::OpenServiceFailed);
    if (!opened.service) {
        return false;
    }
    StopBeforeRemoval(*opened.service);
    const SystemResult deleted = opened.service->remove();
    if (!deleted) {
        m_reporter.report(HostText::DeleteFailed, {ErrorText(deleted.nError)});
        return false;
    }
    m_reporter.report(HostText::Removed);
    return true;
}

void CServiceManagerClient::StopBeforeRemoval(ManagedService& service) {
    // A service that is not running refuses the control; that is no failure of the removal.
    if (!service.controlStop()) {
        return;
    }
    const ServiceStateQuery last = WaitWhile(service, service_state::kStopPending);
    if (last.bSucceeded && last.state == service_state::kStopped) {
        m_reporter.report(HostText::RemoveStopped);
    } else {
        m_reporter.report(HostText::RemoveFailedToStop, {m_identity.displayName});
    }
}

bool CServiceManagerClient::StartRunning() {
    const OpenedService opened = OpenService(HostText::ManagerFailedOut, HostText::OpenServiceFailedOut);
    if (!opened.service) {
        return false;
    }
    if (const SystemResult started = opened.service->start(); !started) {
        m_reporter.report(HostText::StartFailedOut, {m_identity.displayName, ErrorText(started.nError)});
        return false;
    }
    if (WaitWhile(*opened.service, service_state::kStartPending).state != service_state::kRunning) {
        m_reporter.report(HostText::StartNotRunning);
        return false;
    }
    return true;
}

bool CServiceManagerClient::StopRunning() {
    const OpenedService opened = OpenService(HostText::ManagerFailedOut, HostText::OpenServiceFailedOut);
    if (!opened.service) {
        return false;
    }
    if (const SystemResult stopping = opened.service->controlStop(); !stopping) {
        m_reporter.report(HostText::StopRefusedOut, {ErrorText(stopping.nError)});
        return false;
    }
    m_reporter.report(HostText::Stopping, {m_identity.displayName});
    const ServiceStateQuery last = WaitWhile(*opened.service, service_state::kStopPending,
                                             [this] { m_reporter.report(HostText::StoppingDot); });
    if (last.bSucceeded && last.state == service_state::kStopped) {
        m_reporter.report(HostText::StoppedOut, {m_identity.displayName});
        return true;
    }
    m_reporter.report(HostText::FailedToStopOut, {m_identity.displayName});
    return false;
}

OpenedService CServiceManagerClient::OpenService(HostText managerFailed, HostText serviceFailed) {
    OpenedService opened = OpenManagedService(m_manager, m_identity.name);
    if (!opened.service) {
        m_reporter.report(opened.manager ? serviceFailed : managerFailed, {ErrorText(opened.error)});
    }
    return opened;
}

ServiceStateQuery CServiceManagerClient::WaitWhile(ManagedService& service, std::uint32_t pendingState,
                                                   std::function<void()> stillPending) {
    ServiceWaitPort port;
    port.pause = [this] { m_manager.pause(); };
    port.query = [&service] { return service.queryState(); };
    port.stillPending = std::move(stillPending);
    return WaitWhilePending(port, pendingState);
}
