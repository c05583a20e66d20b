#include "service/ProcessMode.h"

namespace {

bool MakeSessionWindow(ProcessModePort& port, const CHostReporter& reporter) {
    if (const SystemResult registered = port.registerSessionClass(); !registered) {
        reporter.report(HostText::RegisterClassFailed, {port.errorText(registered.nError)});
        return false;
    }
    if (const SystemResult created = port.createSessionWindow(); !created) {
        reporter.report(HostText::CreateWindowFailed, {port.errorText(created.nError)});
        return false;
    }
    return true;
}

bool RunHidden(ProcessModePort& port, const CHostReporter& reporter, const std::function<bool()>& work) {
    const bool bWindow = MakeSessionWindow(port, reporter);
    const bool bRegistered = port.registerServiceProcess(true);
    const bool bWorked = work();
    if (bRegistered) {
        port.registerServiceProcess(false);
    }
    port.destroySessionWindow();
    return bWindow && bWorked;
}

}  // namespace

bool RunInProcessMode(ProcessModePort& port, const CHostReporter& reporter, bool bFaceless,
                      const std::function<bool()>& work) {
    if (bFaceless) {
        return RunHidden(port, reporter, work);
    }
    port.catchConsoleStop(true);
    const bool bWorked = work();
    port.catchConsoleStop(false);
    return bWorked;
}
