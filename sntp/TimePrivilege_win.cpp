#include "sntp/Win32TimePrivilege_win.h"

namespace {

constexpr char kSystemTimePrivilege[] = "SeSystemtimePrivilege";

SystemResult lastErrorFailure() {
    return SystemResult::failure(::GetLastError());
}

}  // namespace

const TokenApi& win32TokenApi() {
    static const TokenApi api{::OpenProcessToken, ::LookupPrivilegeValueA, ::AdjustTokenPrivileges};
    return api;
}

CWin32TimePrivilege::CWin32TimePrivilege(const TokenApi& api) : m_api(api) {}

SystemResult CWin32TimePrivilege::enable() {
    m_bEnabled = false;
    if (!m_api.openProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                m_hToken.put())) {
        if (::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) {
            return lastErrorFailure();
        }
        // Windows 9x has no access tokens: anyone may set the clock.
        ::SetLastError(0);
        return {true, 0};
    }
    m_privileges = TOKEN_PRIVILEGES{};
    if (!m_api.lookupPrivilegeValue(nullptr, kSystemTimePrivilege, &m_privileges.Privileges[0].Luid)) {
        return lastErrorFailure();
    }
    m_privileges.PrivilegeCount = 1;
    m_privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    m_bEnabled = true;
    // Succeeds even when the token lacks the privilege; the setting itself then fails with 1314.
    return adjust();
}

void CWin32TimePrivilege::restore() {
    // The caller reports the error of the setting; keep it for them.
    const DWORD error = ::GetLastError();
    if (m_bEnabled) {
        m_privileges.Privileges[0].Attributes &= ~static_cast<DWORD>(SE_PRIVILEGE_ENABLED);
        // Nobody to tell: the privilege goes with the token, which is closed just below.
        static_cast<void>(adjust());
        m_bEnabled = false;
    }
    m_hToken.reset();
    ::SetLastError(error);
}

SystemResult CWin32TimePrivilege::adjust() {
    if (m_api.adjustTokenPrivileges(m_hToken.get(), FALSE, &m_privileges, 0, nullptr, nullptr)) {
        return {true, 0};
    }
    return lastErrorFailure();
}

std::unique_ptr<TimePrivilege> makeTimePrivilege() {
    return std::make_unique<CWin32TimePrivilege>();
}
