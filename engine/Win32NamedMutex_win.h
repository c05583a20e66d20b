#pragma once
// The cross-process lock as a named mutex. The name lives in the Global\ namespace, so the
// service in session 0 and an administrator's command-line instance in a user session
// share one mutex; its security descriptor admits only SYSTEM and Administrators (creating
// a Global\ object needs a privilege that standard users lack, so nobody else can take the
// name first). Windows only.

#include <windows.h>

#include "common/WinHandle_win.h"
#include "engine/CrossProcessLock.h"

#include <string>

class CWin32NamedMutex final : public CrossProcessLock {
public:
    // The access list given to the mutex, in the security descriptor language.
    static constexpr const char* kSecurity = "D:(A;;GA;;;SY)(A;;GA;;;BA)";

    // name: "Global\\..." in the product. Nothing is opened until the first acquire.
    explicit CWin32NamedMutex(std::string name) : m_strName(std::move(name)) {}

    // Opens (or creates) the mutex on first use and waits for it; an abandoned mutex is
    // taken over. False when it could not be opened or had in time.
    bool acquire(std::chrono::milliseconds timeout) override;
    void release() override;

    // The mutex once opened, for inspection; null before.
    HANDLE Handle() const { return m_hMutex.get(); }

private:
    bool open();

    const std::string m_strName;
    UniqueKernelHandle m_hMutex;
};
