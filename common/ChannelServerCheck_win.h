#pragma once
// The platform's side of the channel's server check (common/ChannelServerCheck.h): which process
// serves a pipe, which one the service manager runs the service in, which one owns the control
// window on the caller's desktop. Every question needs only what any user may ask, and none
// goes to the pipe's server. Include only from Windows-only files.

#include <windows.h>

#include "common/ChannelServerCheck.h"

// The facts about a pipe the caller has just opened, and their verdict.
ChannelServerFacts GatherChannelServerFacts(HANDLE pipe);
ChannelServerVerdict CheckChannelServer(HANDLE pipe);
