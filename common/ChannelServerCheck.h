#pragma once
// Who may serve the console channel. Its pipe name is fixed and public, so any program that a
// user starts before the service can create it first; a client then asks the system which
// process serves the pipe it reached and uses the pipe only when that is the service's. The
// console and every other client of the channel judge alike; the facts come from the
// platform (ChannelServerCheck_win.h).

#include <cstdint>
#include <optional>

// What the client could learn; each fact is missing when the platform could not tell it.
struct ChannelServerFacts {
    // The process that serves the pipe this client reached.
    std::optional<std::uint32_t> pipeServer;
    // The service manager's process for the service, while the service runs.
    std::optional<std::uint32_t> service;
    // The owner of the control window on this client's desktop: the service run as a plain
    // process beside the client.
    std::optional<std::uint32_t> controlWindow;
};

enum class ChannelServerVerdict {
    Service,     // the service serves the pipe: use it
    Unverified,  // no service runs that this client can see, or the pipe would not say who
                 // serves it: do not use the pipe, and say nothing
    Impostor,    // another program holds the pipe in the service's stead: do not use it, and
                 // say so
};

// The service manager's word comes first: while the service runs, only its process may serve
// the pipe, whatever window claims the service's title. Without a running service, the owner
// of the control window on this desktop may.
ChannelServerVerdict JudgeChannelServer(const ChannelServerFacts& facts);
