#pragma once
// A program started by a test, ended by its own handle when the test is done with it (also
// when the test fails), never by name. Include only from Windows-only files.

#include <windows.h>

#include <chrono>
#include <string>

#include "common/WinHandle_win.h"

class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess() { terminate(); }
    CChildProcess(CChildProcess&&) = default;
    CChildProcess& operator=(CChildProcess&&) = default;

    // Starts commandLine (program and arguments) in folder ("" = ours) on desktop ("" = ours).
    bool start(const std::string& commandLine, const std::string& folder = "",
               const std::string& desktop = "");
    bool running() const;
    DWORD pid() const { return m_nPid; }
    HANDLE handle() const { return m_hProcess.get(); }
    // True when the program ended within the time; its exit code then in exitCode.
    bool waitForExit(std::chrono::milliseconds timeout, DWORD* exitCode = nullptr) const;
    // Ends the program if it still runs and waits until it has gone.
    void terminate();

private:
    UniqueKernelHandle m_hProcess;
    DWORD m_nPid = 0;
};
