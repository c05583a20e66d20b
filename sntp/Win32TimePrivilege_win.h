#pragma once
// SeSystemtimePrivilege of the process token, enabled for one clock setting and disabled after.
// The token calls go through a table so that tests can play a system without access tokens or
// a failing look-up.

#include <windows.h>

#include "common/WinHandle_win.h"
#include "sntp/SystemClock.h"

struct TokenApi {
    BOOL(WINAPI* openProcessToken)(HANDLE process, DWORD access, PHANDLE token);
    BOOL(WINAPI* lookupPrivilegeValue)(LPCSTR systemName, LPCSTR name, PLUID luid);
    BOOL(WINAPI* adjustTokenPrivileges)
    (HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
     PTOKEN_PRIVILEGES previousState, PDWORD returnLength);
};

// The real advapi32 functions.
const TokenApi& win32TokenApi();

class CWin32TimePrivilege : public TimePrivilege {
public:
    explicit CWin32TimePrivilege(const TokenApi& api = win32TokenApi());

    SystemResult enable() override;
    void restore() override;

private:
    SystemResult adjust();

    const TokenApi& m_api;
    UniqueTokenHandle m_hToken;
    TOKEN_PRIVILEGES m_privileges{};
    bool m_bEnabled = false;
};
