// HoraluxServ.exe as an installed service under Wine's service control manager: install,
// start, stop and remove from its command line, with the messages where they belong (a long
// log keeps its newest lines) and an exit code that says whether the action succeeded; the
// dispatcher refusing a start from a shell, and the usage then printed; the Windows 9x start entry under a
// Windows 98 version setting; and the program's resources.

#include "common/ProductFacts.h"
#include "tools/kit/ServiceProgram_win.h"

#include "common/Win32SystemError_win.h"
#include "common/WinHandle_win.h"
#include "common/WindowMessages.h"
#include "tools/kit/WaitUntil.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr const char* kEventSourceKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QN_HoraluxService";

// Settings that never start a run by themselves and name only an unused loopback address.
constexpr const char* kQuietSettings =
    "[Options]\nnSynPeriod=3\n[Servers]\nServers_Counter=1\nServers 0=Nobody~127.0.0.254~1\n";

int CountProcesses(const char* name) {
    const UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
         more = ::Process32Next(snapshot.get(), &entry)) {
        count += ::lstrcmpiA(entry.szExeFile, name) == 0;
    }
    return count;
}

class InstalledServiceTest : public ::testing::Test {
protected:
    void TearDown() override {
        // Whatever happened, leave no service behind.
        RunAction(ServiceExePath(), "-u");
    }
};

TEST_F(InstalledServiceTest, InstallStartStopRemove) {
    ASSERT_EQ(CountProcesses("services.exe"), 1)
        << "this Wine session runs more than one service manager, so its answers contradict each other";
    PrepareServiceFiles(kQuietSettings);
    const std::string log = WindowsFile("zHoraluxServ.log");

    EXPECT_EQ(RunAction(ServiceExePath(), "-i"), (ActionOutcome{"", 0}));
    EXPECT_NE(ReadWholeFile(log).find("] Horalux Clock Service installed."), std::string::npos);
    const std::optional<ServiceConfig> config = QueryServiceConfiguration();
    ASSERT_TRUE(config.has_value());
    EXPECT_EQ(config->serviceType,
              static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));
    EXPECT_EQ(config->startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(config->binaryPath, ServiceExePath());
    EXPECT_EQ(config->startName, "LocalSystem");
    EXPECT_EQ(config->displayName, "Horalux Clock Service");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEventSourceKey));

    const auto startBegin = std::chrono::steady_clock::now();
    EXPECT_EQ(RunAction(ServiceExePath(), "-s"), (ActionOutcome{"", 0}));
    const double startMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - startBegin).count();
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(WaitForFileText(log, "] Horalux Clock Service v. " HORALUX_VERSION_TEXT " is started.", 10s));
    const bool bWindowSeen = WaitForExecWindow(10s) != nullptr;

    const auto stopBegin = std::chrono::steady_clock::now();
    const ActionOutcome stopAction = RunAction(ServiceExePath(), "-e");
    const std::string& stopped = stopAction.output;
    const double stopMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopBegin).count();
    EXPECT_EQ(stopped.rfind("Stopping Horalux Clock Service.", 0), 0u) << stopped;
    EXPECT_NE(stopped.find("\nHoralux Clock Service is stopped.\n"), std::string::npos) << stopped;
    EXPECT_EQ(stopAction.exitCode, 0u);
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_NE(ReadWholeFile(log).find("] Is closed"), std::string::npos);

    EXPECT_EQ(RunAction(ServiceExePath(), "-u"), (ActionOutcome{"", 0}));
    EXPECT_EQ(ServiceState(), 0u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEventSourceKey));
    const std::string lines = ReadWholeFile(log);
    // The log keeps every earlier line.
    EXPECT_LT(lines.find("installed."), lines.find("is started."));
    EXPECT_LT(lines.find("is started."), lines.find("The Service is removed."));
    std::printf("[ measured ] -s %.0f ms, -e %.0f ms; control window of the service %s from the test\n",
                startMs, stopMs, bWindowSeen ? "visible" : "not visible");
}

// Windows refuses an interactive service under any account but the local system.
TEST_F(InstalledServiceTest, AnInstallUnderAnotherAccountIsNotInteractive) {
    PrepareServiceFiles(kQuietSettings);
    EXPECT_EQ(RunAction(ServiceExePath(), "-i -l .\\horalux -p secret"), (ActionOutcome{"", 0}));
    const std::optional<ServiceConfig> config = QueryServiceConfiguration();
    ASSERT_TRUE(config.has_value());
    EXPECT_EQ(config->serviceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config->startName, ".\\horalux");
}

// The command-line instance obeys the log's limit from the settings and keeps the newest
// lines, as the installer's and uninstaller's calls find a long log.
TEST_F(InstalledServiceTest, RemoveKeepsTheNewestLinesOfALongLog) {
    PrepareServiceFiles(
        "[Options]\nnSynPeriod=3\nnLogFileLen=5000\n[Servers]\nServers_Counter=1\nServers "
        "0=Nobody~127.0.0.254~1\n");
    const std::string log = WindowsFile("zHoraluxServ.log");
    {
        std::ofstream file(log, std::ios::binary);
        for (int i = 0; i < 5000; ++i) {
            file << "[ 01/01/2005 00:00:00 ] old " << i << "\r\n";
        }
    }
    EXPECT_EQ(RunAction(ServiceExePath(), "-u"), (ActionOutcome{"", 1})) << "nothing to remove";
    std::vector<std::string> lines;
    std::istringstream text(ReadWholeFile(log));
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 5000u);
    EXPECT_EQ(lines.front(), "[ 01/01/2005 00:00:00 ] old 1\r");
    EXPECT_EQ(lines[4998], "[ 01/01/2005 00:00:00 ] old 4999\r");
    EXPECT_NE(lines.back().find("] Open Service failed - "), std::string::npos) << lines.back();
}

// A switch it does not know is no switch: the program tries to run as the service, which the
// service manager refuses, and then says how it is used.
TEST_F(InstalledServiceTest, StartedFromAShellWithoutAKnownSwitchTheProgramPrintsItsUsageAndEnds) {
    PrepareServiceFiles(kQuietSettings);
    const ActionOutcome outcome = RunAction(ServiceExePath(), "-?", 60s);
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(outcome.output.rfind("Usage: HoraluxServ [switch ...]\n", 0), 0u) << outcome.output;
    EXPECT_NE(outcome.output.find("\n  -q [server[:port]]  "), std::string::npos) << outcome.output;
    EXPECT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), nullptr);
    EXPECT_FALSE(FileExists(WindowsFile("zHoraluxServ.log")));
}

TEST_F(InstalledServiceTest, FailedActionsSaySoAndEndWithExitCode1) {
    PrepareServiceFiles(kQuietSettings);
    const std::string log = WindowsFile("zHoraluxServ.log");
    const std::string missing = SystemErrorText(ERROR_SERVICE_DOES_NOT_EXIST);
    ASSERT_EQ(ServiceState(), 0u);
    EXPECT_EQ(RunAction(ServiceExePath(), "-e"),
              (ActionOutcome{"OpenService failed - " + missing + "\n", 1}));
    EXPECT_EQ(RunAction(ServiceExePath(), "-s"),
              (ActionOutcome{"OpenService failed - " + missing + "\n", 1}));
    EXPECT_EQ(RunAction(ServiceExePath(), "-u"), (ActionOutcome{"", 1}));
    EXPECT_NE(ReadWholeFile(log).find("] Open Service failed - " + missing), std::string::npos);

    ASSERT_EQ(RunAction(ServiceExePath(), "-i"), (ActionOutcome{"", 0}));
    EXPECT_EQ(RunAction(ServiceExePath(), "-i"), (ActionOutcome{"", 1}));
    EXPECT_NE(ReadWholeFile(log).find("] CreateService failed - " + SystemErrorText(ERROR_SERVICE_EXISTS)),
              std::string::npos);
    // Installed but not running: the refused stop is said, no longer swallowed.
    EXPECT_EQ(
        RunAction(ServiceExePath(), "-e"),
        (ActionOutcome{"ControlService failed - " + SystemErrorText(ERROR_SERVICE_NOT_ACTIVE) + "\n", 1}));
    EXPECT_EQ(RunAction(ServiceExePath(), "-u"), (ActionOutcome{"", 0}));
}

// Wine reports Windows 98 for a program named in AppDefaults with that version.
class CWindows98Copy {
public:
    CWindows98Copy() {
        char folder[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, folder);
        m_strPath = std::string(folder) + kName;
        m_bReady = ::CopyFileA(ServiceExePath().c_str(), m_strPath.c_str(), FALSE) &&
                   ::RegSetKeyValueA(HKEY_CURRENT_USER, kAppDefaults, "Version", REG_SZ, "win98", 6) ==
                       ERROR_SUCCESS;
    }
    ~CWindows98Copy() {
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults);
        ::DeleteFileA(m_strPath.c_str());
    }
    bool ready() const { return m_bReady; }
    const std::string& path() const { return m_strPath; }

private:
    static constexpr const char* kName = "HoraluxServ9x.exe";
    static constexpr const char* kAppDefaults = "Software\\Wine\\AppDefaults\\HoraluxServ9x.exe";
    std::string m_strPath;
    bool m_bReady = false;
};

std::string RunServicesValue() {
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    const LONG result =
        ::RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
                       kServiceName, RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value, &size);
    return result == ERROR_SUCCESS ? value : "<none>";
}

TEST_F(InstalledServiceTest, OnWindows98TheProgramStartsWithTheSystemInstead) {
    PrepareServiceFiles(kQuietSettings);
    const CWindows98Copy copy;
    ASSERT_TRUE(copy.ready());
    EXPECT_EQ(RunAction(copy.path(), "-i"), (ActionOutcome{"", 0}));
    EXPECT_EQ(RunServicesValue(), copy.path());
    EXPECT_FALSE(FileExists(WindowsFile("zHoraluxServ.log")));  // nothing to log on 9x

    // Without switches it runs as a hidden process at once.
    {
        CChildProcess hidden;
        ASSERT_TRUE(hidden.start("\"" + copy.path() + "\""));
        EXPECT_NE(WaitForExecWindow(30s), nullptr);
        hidden.terminate();
    }
    WaitForNoExecWindow(10s);

    EXPECT_EQ(RunAction(copy.path(), "-u"), (ActionOutcome{"", 0}));
    EXPECT_EQ(RunServicesValue(), "<none>");
}

// The version resource is checked with those of every shipped file (VersionResourcesTest).
TEST(ServiceResources, EventMessages) {
    const std::string exe = ServiceExePath();
    const HMODULE module = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    for (DWORD id : {0x00000003u, 0x40000000u, 0x80000001u, 0xC0000002u}) {
        char insert[] = "the reported text";
        DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(insert)};
        char text[256] = {};
        const DWORD length =
            ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, id, 0, text,
                             sizeof text, reinterpret_cast<va_list*>(inserts));
        EXPECT_STREQ(text, "the reported text\r\n") << std::hex << id;
        EXPECT_EQ(length, 19u);
    }
    ::FreeLibrary(module);
}

}  // namespace
