#pragma once
// What the installation packages put on the machine, as the tests of both packages (the NSIS
// installer and the Windows Installer package) look at it, use it and clean it up.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "common/WinHandle_win.h"
#include "console/resource.h"
#include "tools/kit/ChildProcess_win.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"
#include "tools/kit/WaitUntil.h"

// A host path of the build as Wine shows it (the host's root is drive Z:).
inline std::string OnDriveZ(std::string path) {
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return "Z:" + path;
}

inline std::string Expand(const char* text) {
    char expanded[MAX_PATH] = {};
    ::ExpandEnvironmentStringsA(text, expanded, MAX_PATH);
    return expanded;
}

inline std::string InstallFolder() {
    return Expand("%ProgramFiles%\\Horalux");
}
inline std::string Installed(const char* name) {
    return InstallFolder() + "\\" + name;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool bWritten = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && bWritten;
}

// Runs a program to its end within the limit; false when it did not end.
inline bool RunToEnd(const std::string& commandLine, std::chrono::milliseconds limit, DWORD* exitCode) {
    CChildProcess process;
    return process.start(commandLine) && process.waitForExit(limit, exitCode);
}

// The installed service as both packages register it: its own process, started with the
// system, under the local system account, from the installed program; and running.
inline void ExpectInstalledServiceRunning() {
    const std::optional<ServiceConfig> config = QueryServiceConfiguration();
    ASSERT_TRUE(config.has_value()) << "the service is not registered";
    EXPECT_EQ(config->serviceType,
              static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));
    EXPECT_EQ(config->startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(::lstrcmpiA(config->binaryPath.c_str(), Installed("HoraluxServ.exe").c_str()), 0)
        << config->binaryPath;
    EXPECT_EQ(config->startName, "LocalSystem");
    EXPECT_EQ(config->displayName, "Horalux Clock Service");
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
}

// Removes what an installation left when the uninstaller did not: the service (stopped and
// deleted through the service manager) and the program files.
inline void RemoveLeftovers() {
    using namespace std::chrono_literals;
    const UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const UniqueServiceHandle service(
        manager ? ::OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS) : nullptr);
    if (service) {
        SERVICE_STATUS status{};
        ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        WaitUntil(
            [&] {
                return ::QueryServiceStatus(service.get(), &status) &&
                       status.dwCurrentState == SERVICE_STOPPED;
            },
            20s);
        ::DeleteService(service.get());
    }
    for (const char* name : {"HoraluxServ.exe", "HoraluxCons.exe", "zHoraluxHelp.chm", "Uninstall.exe"}) {
        ::DeleteFileA(Installed(name).c_str());
    }
    ::RemoveDirectoryA(InstallFolder().c_str());
}

// Presses "Synchronize now" in the console's main window until the result reads "Successful
// Synchronization.". The console announced itself at start; a press before the service's
// answer arrived is refused with the "Error" box (*refused tells), and the next one goes through.
inline bool SynchroniseFromConsole(HWND window, DWORD consolePid, bool* refused) {
    using namespace std::chrono_literals;
    ui_driver::clickAsync(window, IDC_SYNCHRONIZE_NOW);
    *refused = false;
    return WaitUntil(
        [&] {
            if (ui_driver::text(window, IDC_RESULT) == "Successful Synchronization.") {
                return true;
            }
            const HWND box = ui_driver::findWindow("Error", consolePid);
            if (box != nullptr && !*refused) {
                EXPECT_EQ(ui_driver::messageBoxText(box), "\nHoralux Service does not work now!");
                ui_driver::dismiss(box);
                *refused = true;
                ui_driver::clickAsync(window, IDC_SYNCHRONIZE_NOW);
            }
            return false;
        },
        60s);
}
