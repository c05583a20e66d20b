// The packages the build makes, used as a Windows user uses them: the installer run
// silently registers and starts the service and installs the console, its Start-menu entry
// and the help file, every program signed (the uninstaller it writes too); the console finds
// the service, synchronises against a local chrony and opens the help; the silent uninstaller
// stops and removes the service and the programs and keeps the settings; a second
// installation replaces a running one; the zip holds the programs and the help file.
//
// The settings file names only 127.0.0.1 and is written before the installer starts the
// service, so that no Horalux program ever sees the public default server list.

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/ProductFacts.h"
#include "common/WinHandle_win.h"
#include "common/WindowMessages.h"
#include "console/resource.h"
#include "engine/WindowsTimeWatch.h"
#include "tests/e2e/HostCommand.h"
#include "tests/e2e/InstalledProduct_win.h"
#include "tests/e2e/LocalChrony.h"
#include "tests/support/WindowsTimeStandIn_win.h"
#include "tools/kit/ChildProcess_win.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"
#include "tools/kit/WaitUntil.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kConsoleTitle = "Horalux Clock Service Console";
// The title the help project gives its viewer window.
constexpr const char* kHelpTitle = "Horalux Clock Service Help";
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Horalux";

// Never synchronises by itself; one server, the local chrony.
constexpr const char* kSettings =
    "[Options]\r\nnSynPeriod=3\r\nnMaxAttempts=2\r\nbOnlySuccLog=0\r\nnStartingServ=0\r\n"
    "[Servers]\r\nServers_Counter=1\r\nServers 0=Loopback chrony~127.0.0.1~1\r\n";

std::string StartMenuFolder() {
    return Expand("%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs\\Horalux Clock Service");
}

// The first visible top-level window whose title begins with prefix (of class className,
// when given) and for which accept holds.
template <typename Accept>
HWND FindTopLevel(const std::string& prefix, const char* className, Accept accept) {
    struct Search {
        const std::string& prefix;
        const char* className;
        Accept& accept;
        HWND found;
    } search{prefix, className, accept, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& wanted = *reinterpret_cast<Search*>(context);
            char title[256] = {};
            char kind[64] = {};
            ::GetWindowTextA(window, title, static_cast<int>(std::size(title)));
            ::GetClassNameA(window, kind, static_cast<int>(std::size(kind)));
            if (::IsWindowVisible(window) && std::string(title).rfind(wanted.prefix, 0) == 0 &&
                (wanted.className == nullptr || std::string(kind) == wanted.className) &&
                wanted.accept(window)) {
                wanted.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Closes a window that a test opened through another program (a help viewer, the copy an
// uninstaller makes of itself) and, when it does not close, ends its process by its id.
void CloseWindowAndItsProcess(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == 0 || !::IsWindow(window)) {
        return;
    }
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitUntil([&] { return !::IsWindow(window); }, 10s)) {
        return;
    }
    const UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (process) {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 10000);
    }
}

// The same when the test ends, however it ends.
class CWindowProcessGuard {
public:
    explicit CWindowProcessGuard(HWND window) : m_hWindow(window) {}
    ~CWindowProcessGuard() { CloseWindowAndItsProcess(m_hWindow); }
    CWindowProcessGuard(const CWindowProcessGuard&) = delete;
    CWindowProcessGuard& operator=(const CWindowProcessGuard&) = delete;

private:
    HWND m_hWindow;
};

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ServiceState(), 0u) << "a Horalux service is left over from an earlier test";
        ASSERT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), nullptr)
            << "a control window is left over";
        ASSERT_TRUE(WriteBytes(WindowsFile("zHoraluxServ.ini"), kSettings));
        ::DeleteFileA(WindowsFile("zHoraluxServ.log").c_str());
        ::DeleteFileA(WindowsFile("zHoraluxServ.bin").c_str());
        Install();
    }

    void TearDown() override {
        if (FileExists(Installed("Uninstall.exe"))) {
            Uninstall();
        }
        RemoveLeftovers();
        WaitForNoExecWindow(10s);
        for (const char* name :
             {"zHoraluxServ.ini", "zHoraluxServ.log", "zHoraluxServ.bin", "zHoraluxHelp.chm"}) {
            ::DeleteFileA(WindowsFile(name).c_str());
        }
    }

    // The installer, silently; it ends once the service has been installed and started.
    void Install(const std::string& options = "") {
        const auto begin = Clock::now();
        DWORD exitCode = 1;
        ASSERT_TRUE(RunToEnd("\"" + OnDriveZ(HORALUX_INSTALLER) + "\" /S " + options, 120s, &exitCode));
        m_installMs = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        ASSERT_EQ(exitCode, 0u);
    }

    // Whether the uninstaller's copy of itself still runs: Debian's NSIS 3.08 names it Un.exe,
    // other releases Un_*.exe or Au_.exe.
    static bool UninstallerCopyRuns() {
        const UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
             more = ::Process32Next(snapshot.get(), &entry)) {
            const std::string name = entry.szExeFile;
            if (name == "Un.exe" || name.rfind("Un_", 0) == 0 || name == "Au_.exe") {
                return true;
            }
        }
        return false;
    }

    // The uninstaller, silently. It copies itself to the temporary folder, starts the copy and
    // ends at once; the copy removes the folder first and the shortcuts and keys after it, so
    // the removal is done when the folder has gone and the copy has ended.
    bool Uninstall() {
        const auto begin = Clock::now();
        DWORD exitCode = 1;
        const bool bStarted =
            RunToEnd("\"" + Installed("Uninstall.exe") + "\" /S", 60s, &exitCode) && exitCode == 0;
        const bool bDone =
            bStarted && WaitUntil([] { return !FileExists(InstallFolder()) && !UninstallerCopyRuns(); }, 60s);
        m_uninstallMs = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        return bDone;
    }

    double m_installMs = 0.0;
    double m_uninstallMs = 0.0;
};

constexpr const char* kStartLine = "] Horalux Clock Service v. " HORALUX_VERSION_TEXT " is started.\r\n";

// The log once it holds the service's start line count times (or after the bound): the service
// shows its control window a moment before it writes that line.
std::string LogWithStartLines(size_t count) {
    std::string log;
    WaitUntil(
        [&] {
            log = ReadWholeFile(WindowsFile("zHoraluxServ.log"));
            size_t found = 0;
            for (size_t at = log.find(kStartLine); at != std::string::npos;
                 at = log.find(kStartLine, at + 1)) {
                ++found;
            }
            return found >= count;
        },
        10s);
    return log;
}

// The build's signature check (tests/signing/verify-signatures.sh with its tool and root) over
// copies of installed files; nothing when the build signs nothing.
void ExpectSignedAsBuilt(const std::vector<std::string>& names) {
    const std::string check = HORALUX_SIGNATURE_CHECK;
    if (check.empty()) {
        return;
    }
    std::string command = check;
    std::vector<std::string> copies;
    for (const std::string& name : names) {
        copies.push_back(std::string(HORALUX_E2E_WORK_DIR) + "/installed-" + name);
        ASSERT_TRUE(::CopyFileA(Installed(name.c_str()).c_str(), OnDriveZ(copies.back()).c_str(), FALSE))
            << name;
        command += " '" + copies.back() + "'";
    }
    const HostCommandResult result = RunHostCommand(command, 60s);
    for (const std::string& copy : copies) {
        ::DeleteFileA(OnDriveZ(copy).c_str());
    }
    ASSERT_TRUE(result.bEnded);
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

TEST_F(InstallerTest, InstallsTheProgramsAndRegistersAndStartsTheService) {
    ExpectInstalledServiceRunning();
    EXPECT_NE(WaitForExecWindow(10s), nullptr) << "the running service shows no control window";

    // The service read the settings written before it: nothing rebuilt the server list.
    EXPECT_EQ(ReadWholeFile(WindowsFile("zHoraluxServ.ini")), kSettings);
    const std::string log = LogWithStartLines(1);
    EXPECT_NE(log.find("] Horalux Clock Service installed.\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(kStartLine), std::string::npos) << log;

    for (const char* name : {"HoraluxServ.exe", "HoraluxCons.exe", "Uninstall.exe"}) {
        EXPECT_TRUE(FileExists(Installed(name))) << name;
    }
    // Signed as the build signs what it ships, the uninstaller too, which the installer wrote.
    ExpectSignedAsBuilt({"HoraluxServ.exe", "HoraluxCons.exe", "Uninstall.exe"});
    // The help file lies where the console opens it, and only there.
    EXPECT_TRUE(FileExists(WindowsFile("zHoraluxHelp.chm")));
    EXPECT_FALSE(FileExists(Installed("zHoraluxHelp.chm")));
    EXPECT_TRUE(FileExists(StartMenuFolder() + "\\Horalux Clock Service Console.lnk"));
    EXPECT_TRUE(FileExists(StartMenuFolder() + "\\Uninstall.lnk"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    std::printf("[ measured ] silent installation %.0f ms\n", m_installMs);
}

TEST_F(InstallerTest, TheInstalledConsoleSynchronisesThroughTheServiceAndOpensTheHelp) {
    CLocalChrony chrony;
    ASSERT_TRUE(chrony.start("127.0.0.1")) << chrony.error();
    ASSERT_NE(WaitForExecWindow(10s), nullptr);

    CChildProcess console;
    ASSERT_TRUE(console.start("\"" + Installed("HoraluxCons.exe") + "\"", InstallFolder()));
    const HWND window = ui_driver::waitForWindow(kConsoleTitle, console.pid());
    ASSERT_NE(window, nullptr);

    bool bRefused = false;
    ASSERT_TRUE(SynchroniseFromConsole(window, console.pid(), &bRefused))
        << "result: \"" << ui_driver::text(window, IDC_RESULT) << "\"";
    const std::string log = ReadWholeFile(WindowsFile("zHoraluxServ.log"));
    EXPECT_NE(log.find("] Manualy. Successful. Server: Loopback chrony. Round Trip Delay: "),
              std::string::npos)
        << log;
    EXPECT_NE(ui_driver::text(window, IDC_LOG).find("Manualy. Successful. Server: Loopback chrony."),
              std::string::npos);

    // "Help" opens the installed help file in the Windows directory with the shell's viewer.
    const auto helpBegin = Clock::now();
    ui_driver::clickAsync(window, IDC_HELP_BUTTON);
    HWND viewer = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (viewer = ::FindWindowA(nullptr, kHelpTitle)) != nullptr; }, 30s))
        << "no help viewer window appeared";
    std::printf("[ measured ] first \"Synchronize now\" %s; help viewer window after %.0f ms\n",
                bRefused ? "refused before the service's answer" : "accepted",
                std::chrono::duration<double, std::milli>(Clock::now() - helpBegin).count());
    if (viewer != nullptr) {
        CloseWindowAndItsProcess(viewer);
    }
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(console.waitForExit(30s));
}

TEST_F(InstallerTest, TheUninstallerRemovesTheServiceAndTheProgramsAndKeepsTheSettings) {
    ASSERT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
    ASSERT_TRUE(Uninstall()) << "the installation folder is still there";

    EXPECT_EQ(ServiceState(), 0u) << "the service is still registered";
    EXPECT_TRUE(WaitForNoExecWindow(10s)) << "the service still runs";
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_FALSE(FileExists(WindowsFile("zHoraluxHelp.chm")));
    EXPECT_FALSE(FileExists(StartMenuFolder()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));

    // Silent removal keeps the settings and the log, which tells the service's end.
    EXPECT_EQ(ReadWholeFile(WindowsFile("zHoraluxServ.ini")), kSettings);
    const std::string log = ReadWholeFile(WindowsFile("zHoraluxServ.log"));
    EXPECT_NE(log.find("] Is closed\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] The Service is removed.\r\n"), std::string::npos) << log;
    std::printf("[ measured ] silent installation %.0f ms, silent removal %.0f ms\n", m_installMs,
                m_uninstallMs);
}

TEST_F(InstallerTest, TheUninstallerAsksAndRemovesTheSettingsWhenTheUserSaysYes) {
    const std::string settingsFiles[] = {WindowsFile("zHoraluxServ.ini"), WindowsFile("zHoraluxServ.log"),
                                         WindowsFile("zHoraluxServ.bin"), WindowsFile(kDriftFileName)};
    ASSERT_TRUE(WriteBytes(settingsFiles[2], std::string(12, '\0')));
    ASSERT_TRUE(WriteBytes(settingsFiles[3], "learned"));
    CChildProcess uninstaller;
    ASSERT_TRUE(uninstaller.start("\"" + Installed("Uninstall.exe") + "\""));

    // The uninstaller runs as a copy of itself, so its windows are looked for by title.
    const std::string caption = "Horalux Clock Service Uninstall";
    HWND wizard = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (wizard = FindTopLevel(caption, nullptr, [](HWND) { return true; })) != nullptr; },
        60s));
    // Whatever happens, the copy this test started does not outlive the test.
    const CWindowProcessGuard wizardProcess(wizard);
    ui_driver::clickAsync(wizard, IDOK);  // "Uninstall" on the confirmation page

    const auto isQuestion = [](HWND box) {
        return ui_driver::messageBoxText(box).rfind("Delete the settings, the log, the record", 0) == 0;
    };
    HWND question = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (question = FindTopLevel(caption, "#32770", isQuestion)) != nullptr; }, 60s))
        << "the uninstaller asked nothing";
    // The service is gone before the question comes.
    EXPECT_EQ(ServiceState(), 0u);
    const std::string text = ui_driver::messageBoxText(question);
    for (const std::string& file : settingsFiles) {
        EXPECT_NE(text.find(file), std::string::npos) << file << " is not named in:\n" << text;
    }
    ui_driver::clickAsync(question, IDYES);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return std::none_of(std::begin(settingsFiles), std::end(settingsFiles), FileExists) &&
                   !FileExists(InstallFolder());
        },
        60s));
    // "Close" on the last page, once the removal has ended and enabled it.
    EXPECT_TRUE(WaitUntil(
        [&] {
            const HWND button = ui_driver::control(wizard, IDOK);
            return ::IsWindowEnabled(button) && ui_driver::text(button).find("Close") != std::string::npos;
        },
        60s));
    ui_driver::clickAsync(wizard, IDOK);
    EXPECT_TRUE(ui_driver::waitForWindowGone(wizard, 30s));
}

TEST_F(InstallerTest, ASecondInstallationReplacesTheRunningOne) {
    ASSERT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
    const HWND first = WaitForExecWindow(10s);
    ASSERT_NE(first, nullptr);

    // The running service holds its program file; the installer removes the old installation
    // first (silently, so the settings stay) and starts the new service.
    ASSERT_NO_FATAL_FAILURE(Install());
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(::IsWindow(first)) << "the first service was not stopped";
    EXPECT_NE(WaitForExecWindow(10s), nullptr);
    EXPECT_TRUE(FileExists(Installed("HoraluxServ.exe")));
    EXPECT_TRUE(FileExists(WindowsFile("zHoraluxHelp.chm")));
    EXPECT_EQ(ReadWholeFile(WindowsFile("zHoraluxServ.ini")), kSettings);
    const std::string log = LogWithStartLines(2);
    EXPECT_NE(log.find("] The Service is removed.\r\n"), std::string::npos) << log;
    EXPECT_NE(log.rfind(kStartLine), log.find(kStartLine)) << log;
}

// Beside the Windows Time service: the service says that it keeps to steps while that one runs;
// /W32TIME=disable stops and disables it for as long as Horalux stays installed.
TEST_F(InstallerTest, W32TimeDisableStopsTheWindowsTimeServiceUntilTheRemoval) {
    const std::string logFile = WindowsFile("zHoraluxServ.log");
    const auto timesLogged = [&](const std::string& line) {
        const std::string log = ReadWholeFile(logFile);
        int count = 0;
        for (std::size_t at = log.find("] " + line + "\r\n"); at != std::string::npos;
             at = log.find("] " + line + "\r\n", at + 1)) {
            ++count;
        }
        return count;
    };
    const auto restart = [] {
        DWORD exitCode = 1;
        for (const char* action : {" -e", " -s"}) {
            ASSERT_TRUE(RunToEnd("\"" + Installed("HoraluxServ.exe") + "\"" + action, 60s, &exitCode));
        }
    };
    CWindowsTimeStandIn windowsTime;
    ASSERT_TRUE(windowsTime.start());
    // Restarted, the service looks at it at once (running, within five minutes).
    ASSERT_TRUE(windowsTime.setSource("NTP"));
    ASSERT_NO_FATAL_FAILURE(restart());
    const std::string keeping = CWindowsTimeWatch::kKeepingLine;
    EXPECT_TRUE(WaitUntil([&] { return timesLogged(keeping) == 1; }, 10s)) << ReadWholeFile(logFile);
    // Configured to synchronise with nothing, it is no rival (the count below stays at 1).
    ASSERT_TRUE(windowsTime.setSource("NoSync"));
    ASSERT_NO_FATAL_FAILURE(restart());

    // A second installation disables it before its service starts; a third one, not asked to,
    // replaces the second and leaves it disabled.
    ASSERT_NO_FATAL_FAILURE(Install("/W32TIME=disable"));
    EXPECT_EQ(windowsTime.state(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(windowsTime.startType(), static_cast<DWORD>(SERVICE_DISABLED));
    EXPECT_EQ(timesLogged("The Windows Time service is stopped and disabled."), 1);
    ASSERT_NO_FATAL_FAILURE(Install());
    EXPECT_EQ(windowsTime.startType(), static_cast<DWORD>(SERVICE_DISABLED));
    ASSERT_NE(WaitForExecWindow(10s), nullptr);
    EXPECT_EQ(timesLogged(keeping), 1) << ReadWholeFile(logFile);

    // The removal gives it back its automatic start, and starts it.
    ASSERT_TRUE(Uninstall());
    EXPECT_EQ(windowsTime.startType(), static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_TRUE(WaitUntil([&] { return windowsTime.state() == SERVICE_RUNNING; }, 20s));
    EXPECT_EQ(timesLogged("The Windows Time service starts as it did before Horalux."), 1);
}

TEST(PackagesTest, TheZipHoldsBothProgramsAndTheHelpFile) {
    const HostCommandResult listing = RunHostCommand("cmake -E tar tf '" + std::string(HORALUX_ZIP) + "'");
    ASSERT_TRUE(listing.bEnded);
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    for (const char* name : {"HoraluxServ.exe", "HoraluxCons.exe", "zHoraluxHelp.chm"}) {
        EXPECT_NE(listing.output.find(std::string("Horalux-" HORALUX_VERSION_TEXT "-win64/") + name + "\n"),
                  std::string::npos)
            << name << " is missing:\n"
            << listing.output;
    }
}

}  // namespace
