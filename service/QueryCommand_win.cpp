#include "service/QueryCommand.h"

#include <windows.h>

#include <memory>

#include "common/Win32SystemError_win.h"
#include "engine/ServerQuery.h"
#include "engine/Win32EnginePorts_win.h"
#include "service/HostPlatform_win.h"
#include "settings/Win32PolicySource.h"
#include "settings/Win32ProfileStore.h"
#include "sntp/NameLookup.h"
#include "sntp/SocketTransport.h"
#include "sntp/SteadyClock.h"
#include "sntp/Win32SystemClock_win.h"

int RunQueryCommand(const ServiceCommand& command) {
    const CWin32ProfileStore store;
    const CWin32PolicySource policy;
    const CWin32SystemClock clock;
    const CWin32LocalClock localClock;
    CSteadyClock steady;
    CSocketTransport sockets(steady);
    CHostResolver resolver(std::make_shared<CSystemNameLookup>(), steady);
    CServerQuery query(QueryPorts{clock, localClock, steady, sockets, resolver,
                                  [](const std::string& line) { WriteStandardOutput(line + "\r\n"); },
                                  [](int code) { return SystemErrorText(static_cast<DWORD>(code)); }});
    return query.RunCommand(command.queryServer, command.sampleCount, store, &policy);
}
