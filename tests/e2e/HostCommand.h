#pragma once
// Runs a shell command of the host (Linux) from a test program under Wine. Wine starts a
// Unix program given to CreateProcess, but its process handle cannot be waited on, so the
// command reports its end by moving a status file into place, and the caller waits for that
// file with a bound. Windows only, under Wine only.

#include <chrono>
#include <string>

struct HostCommandResult {
    bool bEnded = false;  // false: not started, or not ended within the limit
    int exitCode = -1;
    std::string output;  // standard output and error together
};

// Runs script with /bin/sh in HORALUX_E2E_WORK_DIR (a host folder of the build tree).
HostCommandResult RunHostCommand(const std::string& script,
                                 std::chrono::milliseconds limit = std::chrono::seconds(30));

// The host path of the source tree, for its tools/ scripts.
std::string SourceDirOnHost();

// True when this test runs inside a test session's private network namespace (only there
// may the namespace's routes be changed or the public default server list be loaded).
bool InPrivateNetworkNamespace();

// Gives this test session's namespace a default gateway that leads nowhere ("up"), or takes it
// away ("down"): Wine reports an internet connection, which the service's schedule waits for,
// only while one exists (tests/e2e/namespace-gateway.sh).
HostCommandResult NamespaceGateway(const char* action);
