#pragma once
// HoraluxServ -w: what the installers do to the Windows Time service, which would drive the
// clock beside Horalux. "-w disable" (an installation given W32TIME=disable) stops and
// disables it and keeps the start type it had; "-w restore" (the removal) gives that start
// type back; "-w keep" changes nothing. The start type kept is the one from before the first
// disabling, so a second installation never makes "disabled" the one to restore.

#include "common/SystemResult.h"
#include "service/HostTexts.h"
#include "service/ServiceManager.h"

#include <cstdint>
#include <optional>
#include <string>

// Where the start type waits for the removal; the Win32 adapter keeps it in the registry.
class StartTypeRecord {
public:
    virtual ~StartTypeRecord() = default;
    virtual std::optional<std::uint32_t> recall() const = 0;
    virtual SystemResult keep(std::uint32_t startType) = 0;
    virtual SystemResult forget() = 0;
};

class CWindowsTimeSetup {
public:
    // Everything given must outlive the object.
    CWindowsTimeSetup(ServiceManager& manager, StartTypeRecord& record, const CHostReporter& reporter);

    // choice is -w's argument: "disable", "keep" or "restore", in any case. False, with a
    // message, when it is none of them or the change failed; a service that is not installed
    // is nothing to change.
    [[nodiscard]] bool Run(const std::string& choice);

    [[nodiscard]] bool Disable();
    // Without a start type kept, nothing is touched. An automatic start type starts the
    // service again at once; the others leave its start to Windows.
    [[nodiscard]] bool Restore();

private:
    // Its error is 0 also when the service is not installed.
    OpenedService OpenWindowsTime();
    void StopAndWait(ManagedService& service);
    std::string ErrorText(std::uint32_t error) const { return m_manager.errorText(error); }

    ServiceManager& m_manager;
    StartTypeRecord& m_record;
    const CHostReporter& m_reporter;
};
