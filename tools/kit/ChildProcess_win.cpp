#include "tools/kit/ChildProcess_win.h"

#include <vector>

bool CChildProcess::start(const std::string& commandLine, const std::string& folder,
                          const std::string& desktop) {
    terminate();
    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');
    std::vector<char> desktopName(desktop.begin(), desktop.end());
    desktopName.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop.empty() ? nullptr : desktopName.data();
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    m_hProcess.reset(process.hProcess);
    m_nPid = process.dwProcessId;
    return true;
}

bool CChildProcess::running() const {
    return m_hProcess && ::WaitForSingleObject(m_hProcess.get(), 0) == WAIT_TIMEOUT;
}

bool CChildProcess::waitForExit(std::chrono::milliseconds timeout, DWORD* exitCode) const {
    if (!m_hProcess ||
        ::WaitForSingleObject(m_hProcess.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        return false;
    }
    if (exitCode != nullptr) {
        ::GetExitCodeProcess(m_hProcess.get(), exitCode);
    }
    return true;
}

void CChildProcess::terminate() {
    if (running()) {
        ::TerminateProcess(m_hProcess.get(), 1);
        ::WaitForSingleObject(m_hProcess.get(), 10000);
    }
    m_hProcess.reset();
    m_nPid = 0;
}
