#pragma once
// Port through which the console's logic reaches the service over the channel that crosses
// sessions (common/ChannelProtocol.h). The service's answers do not come back through it: the
// adapter posts them to the main window as the window messages they stand for
// (UM_SERVICE_HELLO, UM_SYNC_RESULT), so they are handled exactly as the window's are. The
// Win32 adapter is CWin32ChannelClient; tests use a fake. Nothing here throws or waits
// unbounded.

#include "common/ChannelProtocol.h"

// How an attempt to open the channel ended.
enum class ChannelOpening {
    Answered,       // the service answered the hello within the wait
    NotAnswered,    // no pipe, every place taken, no answer in time, or a server that could not
                    // be shown to be the service
    HeldByAnother,  // another program serves the pipe in the service's stead: closed unused
};

class ChannelClient {
public:
    virtual ~ChannelClient() = default;

    // Connects afresh and, once the pipe's server has been shown to be the service, says hello.
    // Answered once the service has answered within waitMs; any other outcome at once when no
    // service serves the channel, or all its places are taken.
    virtual ChannelOpening open(unsigned waitMs) = 0;
    // Connected, and not broken since.
    virtual bool isOpen() const = 0;
    // One request; false when the channel is not open or broke on the way.
    virtual bool send(ChannelKind kind) = 0;
};
