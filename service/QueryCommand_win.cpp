#include "service/QueryCommand.h"

#include <windows.h>

#include <memory>

#include "common/Win32SystemError.h"
#include "engine/ServerQuery.h"
#include "engine/Win32EnginePorts.h"
#include "service/HostPlatform.h"
#include "settings/Win32PolicySource.h"
#include "settings/Win32ProfileStore.h"
#include "sntp/NameLookup.h"
#include "sntp/SteadyClock.h"
#include "sntp/Win32SystemClock.h"

int RunQueryCommand(const ServiceCommand& command) {
    const CWin32ProfileStore store;
    const CWin32PolicySource policy;
    const CWin32SystemClock clock;
    const CWin32LocalClock localClock;
    CSteadyClock steady;
    CHostResolver resolver(std::make_shared<CSystemNameLookup>());
    CServerQuery query(QueryPorts{clock, localClock, steady, resolver,
                                  [](const std::string& line) { WriteStandardOutput(line + "\r\n"); },
                                  [](int code) { return SystemErrorText(static_cast<DWORD>(code)); }});
    return query.RunCommand(command.queryServer, command.sampleCount, store, &policy);
}
