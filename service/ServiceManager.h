#pragma once
// The service control manager as the command-line actions use it: connect to it, create a
// service or open one, and stop, start, delete or query an opened one or change its start
// type. Each object closes what it holds when it goes. CWin32ServiceManager is the Win32 adapter.

#include "common/SystemResult.h"
#include "service/ServiceWait.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

// A platform object, or the error that kept it from being had.
template <typename T>
struct Opened {
    std::unique_ptr<T> object;
    std::uint32_t error = 0;
};

// Everything CreateService is given.
struct ServiceDefinition {
    std::string name;
    std::string displayName;
    std::string binaryPath;
    std::uint32_t desiredAccess = 0;
    std::uint32_t serviceType = 0;
    std::uint32_t startType = 0;
    std::uint32_t errorControl = 0;
    // Not given means the local system account.
    std::optional<std::string> account;
    std::optional<std::string> password;
};

// A service's start type (service_start), or the error that kept it from being read.
struct ServiceStartQuery {
    bool bSucceeded = false;
    std::uint32_t startType = 0;
    std::uint32_t error = 0;
};

class ManagedService {
public:
    virtual ~ManagedService() = default;
    // Sends the stop control; fails when the service does not accept it (not running, say).
    virtual SystemResult controlStop() = 0;
    virtual SystemResult start() = 0;
    // Marks the service for deletion.
    virtual SystemResult remove() = 0;
    virtual ServiceStateQuery queryState() = 0;
    virtual ServiceStartQuery queryStartType() = 0;
    virtual SystemResult changeStartType(std::uint32_t startType) = 0;
};

class ServiceManagerConnection {
public:
    virtual ~ServiceManagerConnection() = default;
    virtual SystemResult createService(const ServiceDefinition& definition) = 0;
    virtual Opened<ManagedService> openService(const std::string& name) = 0;
};

class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // Connects to the local computer's manager with full access.
    virtual Opened<ServiceManagerConnection> connect() = 0;
    // Waits one polling period of the bounded waits (1000 ms).
    virtual void pause() = 0;
    // The system's text for an error code, as the messages show it.
    virtual std::string errorText(std::uint32_t error) const = 0;
};

// The manager and a service opened in it; the service closes first. Without a service, error
// is that of the step that failed: connecting when there is no manager either, else opening.
struct OpenedService {
    std::unique_ptr<ServiceManagerConnection> manager;
    std::unique_ptr<ManagedService> service;
    std::uint32_t error = 0;
};

inline OpenedService OpenManagedService(ServiceManager& manager, const std::string& name) {
    OpenedService opened;
    Opened<ServiceManagerConnection> connection = manager.connect();
    if (!connection.object) {
        opened.error = connection.error;
        return opened;
    }
    Opened<ManagedService> service = connection.object->openService(name);
    opened.manager = std::move(connection.object);
    opened.service = std::move(service.object);
    opened.error = service.error;
    return opened;
}
