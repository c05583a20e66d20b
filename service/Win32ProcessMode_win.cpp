#include "service/Win32ProcessMode_win.h"

#include "common/OptionalFunctions_win.h"
#include "common/Win32SystemError_win.h"
#include "service/Win32Registry_win.h"

namespace {

constexpr DWORD kRegisterAsServiceProcess = 1;
constexpr DWORD kUnregisterServiceProcess = 0;

// Applies change to the RunServices key, which is made when missing.
template <typename Change>
SystemResult ChangeRunServices(Change change) {
    UniqueRegistryKey key;
    LONG result = CreateRegistryKey(HKEY_LOCAL_MACHINE, CWin32StartEntry::kRunServicesKey, key);
    if (result == ERROR_SUCCESS) {
        result = change(key.get());
    }
    return RegistryResult(result);
}

}  // namespace

CWin32ProcessMode::CWin32ProcessMode(PHANDLER_ROUTINE consoleProc, WNDPROC windowProc)
    : m_pConsoleProc(consoleProc), m_pWindowProc(windowProc) {}

CWin32ProcessMode::~CWin32ProcessMode() {
    if (m_bServiceProcess) {
        registerServiceProcess(false);
    }
    catchConsoleStop(false);
    destroySessionWindow();
}

void CWin32ProcessMode::catchConsoleStop(bool bCatch) {
    if (bCatch != m_bConsoleCaught) {
        ::SetConsoleCtrlHandler(m_pConsoleProc, bCatch ? TRUE : FALSE);
        m_bConsoleCaught = bCatch;
    }
}

SystemResult CWin32ProcessMode::registerSessionClass() {
    WNDCLASSA record{};
    record.lpfnWndProc = m_pWindowProc;
    record.hInstance = ::GetModuleHandleA(nullptr);
    record.lpszClassName = kFacelessClassName;
    m_windowClass.reset(::RegisterClassA(&record));
    return m_windowClass ? SystemResult::success() : SystemResult::failure(::GetLastError());
}

SystemResult CWin32ProcessMode::createSessionWindow() {
    m_window.reset(::CreateWindowExA(0, kFacelessClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                     ::GetModuleHandleA(nullptr), nullptr));
    return m_window ? SystemResult::success() : SystemResult::failure(::GetLastError());
}

void CWin32ProcessMode::destroySessionWindow() {
    m_window.reset();
    m_windowClass.reset();
}

bool CWin32ProcessMode::registerServiceProcess(bool bRegister) {
    // Windows 9x hides a process from the task list and keeps it across a log-off this way;
    // NT has no such call.
    const RegisterServiceProcessFn function = OptionalFunctions().registerServiceProcess;
    if (function == nullptr) {
        return false;
    }
    function(0, bRegister ? kRegisterAsServiceProcess : kUnregisterServiceProcess);
    m_bServiceProcess = bRegister;
    return true;
}

std::string CWin32ProcessMode::errorText(std::uint32_t error) const {
    return SystemErrorText(error);
}

SystemResult CWin32StartEntry::set(const std::string& programPath) {
    return ChangeRunServices([&](HKEY key) {
        return WriteRegistryText(key, m_strServiceName.c_str(), REG_EXPAND_SZ, programPath);
    });
}

SystemResult CWin32StartEntry::clear() {
    return ChangeRunServices([&](HKEY key) {
        const LONG deleted = ::RegDeleteValueA(key, m_strServiceName.c_str());
        return deleted == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : deleted;
    });
}
