#pragma once
// The command line of HoraluxServ: which action to take and the account the installed
// service runs under.

#include <optional>
#include <string>
#include <vector>

enum class HostAction {
    None,          // no action switch: behave as without arguments
    Dispatch,      // run as a service under the service control manager
    RunAsProcess,  // -d: run the service's work as a process with a console control handler
    RunFaceless,   // -f: run it as a hidden process
    Install,       // -i
    Remove,        // -u
    StartRunning,  // -s
    StopRunning,   // -e
    Query,         // -q: ask a time server and print what it answers; changes nothing
    // -c NAME=VALUE ...: the installer's properties into the settings file
    Write,
    // -w disable|keep|restore: the installers' change to the Windows Time service
    WindowsTime,
    Status,  // -status: ask the running service how it keeps the clock
};

struct ServiceCommand {
    HostAction action = HostAction::None;
    // Account and password for Install; empty means the local system account.
    std::optional<std::string> account;
    std::optional<std::string> password;
    // For Query: the server (none: the starting server of the settings file) and the number of
    // samples as typed (none: the default).
    std::optional<std::string> queryServer;
    std::optional<std::string> sampleCount;
    // The arguments after -c.
    std::vector<std::string> settingArgs;
    // What -w is to do, as typed.
    std::optional<std::string> windowsTimeChoice;
};

// args are the arguments after the program name. "-status", written out in full, is the status
// switch; any other switch is an argument beginning with
// '-', chosen by its (case-sensitive) second character; anything else is ignored. The last
// action switch counts; -d, -f and -c act at once, so what follows them is not looked at as
// switches (-c takes it as its NAME=VALUE arguments). -l, -p and -n take the rest of their
// argument or, when that is empty, the next argument; -q and -w likewise take theirs, but not
// from a next argument that is a switch.
ServiceCommand ParseServiceArguments(const std::vector<std::string>& args);
