#pragma once
// The installer's public properties, with which an administrator gives a PC its first
// configuration: SERVERS, STARTINGSERVER, MODE, OFFSET, ATTEMPTS, ONLYSUCCESSLOG, LOGLENGTH.
// The installer checks them before it installs anything (a bad one stops the installation
// with a message naming it) and, once the programs are installed, has HoraluxServ write them
// into the settings file: each given property sets its setting, and the file keeps every
// setting that no property names.

#include "common/SystemResult.h"
#include "settings/Settings.h"
#include "settings/TimeServer.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct SetupValue {
    std::string name;
    std::string value;
};

// The settings the properties set.
struct SetupSettings {
    std::vector<std::pair<int CSettings::*, int>> numbers;
    std::optional<std::vector<CTimeServer>> servers;
};

struct SetupCheck {
    std::optional<SetupSettings> settings;  // none when a property is bad
    std::string property;                   // the bad one
    std::string message;                    // names it, for the installer's log and screen
};

// The property names in the order the installer passes them on.
extern const char* const kSetupPropertyNames[7];

// How an empty value counts: as not given, as the installer treats an empty property, or as a
// value like any other, where a person typed NAME= (HoraluxServ -c).
enum class EmptyValue { NotGiven, Checked };

// Checks the given properties; an unknown name is bad. SERVERS is "title~address" entries separated by ';'
// (each becomes a server the console shows as the user's), STARTINGSERVER the row (from 0) of the list to
// start with, MODE daily, onstart, hourly, demand or continuous, OFFSET seconds from -659 to 659, ATTEMPTS
// 1 to 10, ONLYSUCCESSLOG 0 or 1, LOGLENGTH 10 to 30000 lines.
SetupCheck CheckSetupProperties(const std::vector<SetupValue>& given,
                                EmptyValue empty = EmptyValue::NotGiven);

// W32TIME (the NSIS installer's /W32TIME=): what the installation does to the Windows Time
// service, which would drive the clock beside Horalux.
enum class WindowsTimeChoice { Keep, Disable };
inline constexpr const char* kWindowsTimeProperty = "W32TIME";

struct WindowsTimeCheck {
    std::optional<WindowsTimeChoice> choice;  // none when the value is bad
    std::string message;                      // names the property
};

// "keep" or "disable" in any case; empty means keep, as when not given.
WindowsTimeCheck CheckWindowsTimeProperty(const std::string& value);

// Sets the settings in memory and writes exactly their keys (and the list when SERVERS is
// given); stops at the first write that fails.
[[nodiscard]] SystemResult ApplySetupSettings(CSettings& settings, const SetupSettings& setup);

// "NAME=VALUE" arguments; nothing, and *bad set to the argument, when one has no "=".
std::optional<std::vector<SetupValue>> ParseSetupArguments(const std::vector<std::string>& args,
                                                           std::string* bad);

// The arguments of HoraluxServ's settings action for the given (non-empty) properties,
// each quoted so that the program's argument vector gets the values exactly: -c "NAME=VALUE" ...
// Empty when no property is given.
std::string SetupCommandLine(const std::vector<SetupValue>& given);

// text as one argument of a Windows command line, in quotes, with the backslash and quote
// escapes that the C runtime's parser undoes.
std::string QuoteArgument(const std::string& text);
