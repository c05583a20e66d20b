#include "settings/WorkingDirectory.h"

#include "common/SystemErrorText.h"

bool EnterWindowsDirectory(const std::function<SystemResult()>& enter,
                           const std::function<void(const std::string&)>& tell) {
    const SystemResult entered = enter();
    if (!entered) {
        tell("The Windows directory could not be made the current directory - " +
             ErrorCodeText(static_cast<int>(entered.nError)) + " (error " + std::to_string(entered.nError) +
             "). The settings and the log lie there; nothing was done.");
    }
    return entered.bSucceeded;
}
