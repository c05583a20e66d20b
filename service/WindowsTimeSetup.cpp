#include "service/WindowsTimeSetup.h"

#include "engine/WindowsTimeProbe.h"
#include "service/ServiceRules.h"
#include "service/ServiceWait.h"
#include "settings/SetupProperties.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

constexpr const char* kRestoreWord = "restore";

bool IsRestore(std::string choice) {
    std::transform(choice.begin(), choice.end(), choice.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return choice == kRestoreWord;
}

}  // namespace

CWindowsTimeSetup::CWindowsTimeSetup(ServiceManager& manager, StartTypeRecord& record,
                                     const CHostReporter& reporter)
    : m_manager(manager), m_record(record), m_reporter(reporter) {}

bool CWindowsTimeSetup::Run(const std::string& choice) {
    if (IsRestore(choice))
        return Restore();
    const WindowsTimeCheck check = CheckWindowsTimeProperty(choice);
    if (!check.choice) {
        m_reporter.report(HostText::WindowsTimeRefused, {check.message});
        m_reporter.report(HostText::WindowsTimeRefusedOut, {check.message});
        return false;
    }
    return *check.choice == WindowsTimeChoice::Keep || Disable();
}

OpenedService CWindowsTimeSetup::OpenWindowsTime() {
    OpenedService opened = OpenManagedService(m_manager, kWindowsTimeServiceName);
    if (opened.manager && !opened.service && opened.error == kErrorServiceDoesNotExist) {
        opened.error = 0;
    }
    return opened;
}

bool CWindowsTimeSetup::Disable() {
    const OpenedService opened = OpenWindowsTime();
    if (!opened.service && opened.error == 0) {
        m_reporter.report(HostText::WindowsTimeAbsent);
        return true;
    }
    if (!opened.service) {
        m_reporter.report(HostText::WindowsTimeNotDisabled, {ErrorText(opened.error)});
        return false;
    }
    ManagedService& service = *opened.service;
    // Without the start type kept, the removal could not give it back: nothing is changed then.
    if (!m_record.recall()) {
        const ServiceStartQuery start = service.queryStartType();
        const SystemResult kept =
            start.bSucceeded ? m_record.keep(start.startType) : SystemResult::failure(start.error);
        if (!kept) {
            m_reporter.report(HostText::WindowsTimeNotDisabled, {ErrorText(kept.nError)});
            return false;
        }
    }
    StopAndWait(service);
    if (const SystemResult disabled = service.changeStartType(service_start::kDisabled); !disabled) {
        m_reporter.report(HostText::WindowsTimeNotDisabled, {ErrorText(disabled.nError)});
        return false;
    }
    m_reporter.report(HostText::WindowsTimeDisabled);
    return true;
}

void CWindowsTimeSetup::StopAndWait(ManagedService& service) {
    // A service that is not running refuses the control: there is nothing to wait for.
    if (!service.controlStop())
        return;
    ServiceWaitPort port;
    port.pause = [this] { m_manager.pause(); };
    port.query = [&service] { return service.queryState(); };
    WaitWhilePending(port, service_state::kStopPending);
}

bool CWindowsTimeSetup::Restore() {
    const std::optional<std::uint32_t> startType = m_record.recall();
    if (!startType)
        return true;  // this installation never disabled it
    const OpenedService opened = OpenWindowsTime();
    if (opened.error != 0) {
        m_reporter.report(HostText::WindowsTimeNotRestored, {ErrorText(opened.error)});
        return false;
    }
    if (opened.service) {
        if (const SystemResult changed = opened.service->changeStartType(*startType); !changed) {
            m_reporter.report(HostText::WindowsTimeNotRestored, {ErrorText(changed.nError)});
            return false;  // the record stays for another attempt
        }
        if (*startType == service_start::kAuto) {
            const SystemResult started = opened.service->start();
            if (!started && started.nError != kErrorServiceAlreadyRunning)
                m_reporter.report(HostText::WindowsTimeNotStarted, {ErrorText(started.nError)});
        }
    }
    // A record that stays behind is harmless: it holds the same start type.
    static_cast<void>(m_record.forget());
    m_reporter.report(opened.service ? HostText::WindowsTimeRestored : HostText::WindowsTimeAbsent);
    return true;
}
