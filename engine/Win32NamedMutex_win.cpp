#include "engine/Win32NamedMutex_win.h"

#include <sddl.h>

bool CWin32NamedMutex::open() {
    UniqueLocalMemory descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(
            kSecurity, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()), nullptr)) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = descriptor.get();
    m_hMutex.reset(::CreateMutexA(&attributes, FALSE, m_strName.c_str()));
    return static_cast<bool>(m_hMutex);
}

bool CWin32NamedMutex::acquire(std::chrono::milliseconds timeout) {
    if (!m_hMutex && !open()) {
        return false;  // tried again at the next write
    }
    const DWORD result = ::WaitForSingleObject(m_hMutex.get(), static_cast<DWORD>(timeout.count()));
    // Abandoned: its holder ended inside a write. The file was replaced whole or not at all,
    // so it is sound and the lock is ours.
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void CWin32NamedMutex::release() {
    ::ReleaseMutex(m_hMutex.get());
}
