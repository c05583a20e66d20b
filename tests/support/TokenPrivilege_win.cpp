#include "tests/support/TokenPrivilege.h"

#include <windows.h>

#include "common/WinHandle_win.h"

#include <gtest/gtest.h>

#include <vector>

bool SystemTimePrivilegeEnabled() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        ADD_FAILURE() << "OpenProcessToken " << ::GetLastError();
        return false;
    }
    const UniqueTokenHandle token(raw);
    LUID luid{};
    ::LookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege", &luid);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size)) {
        ADD_FAILURE() << "GetTokenInformation " << ::GetLastError();
        return false;
    }
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart) {
            return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    return false;
}
