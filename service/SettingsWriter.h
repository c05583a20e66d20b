#pragma once
// HoraluxServ -c NAME=VALUE ...: the installer hands the properties an administrator gave it
// to the installed program, which writes them into the settings file before the service
// starts. The same checks as the installer's run again here, so the action is safe to run by
// hand as well.

#include "service/HostTexts.h"
#include "settings/ProfileStore.h"

#include <string>
#include <vector>

struct SettingsWriteOutcome {
    bool bWritten;
    std::string text;  // what was written, or why nothing was
};

// Checks the arguments and writes them into the settings file of store: nothing at all when
// one is bad. No argument is bad: there is nothing to write; so is an empty value (NAME=), which
// sets nothing.
SettingsWriteOutcome WriteSetupArguments(const std::vector<std::string>& args, ProfileStore& store);

// The same on the settings file in the Windows directory, changed in one step: the settings
// are written into a copy beside it, which then replaces it. Reports the outcome to the log
// (and a refusal to the standard output too); returns whether the settings were written.
bool WriteSettingsFile(const std::vector<std::string>& args, const CHostReporter& reporter);
