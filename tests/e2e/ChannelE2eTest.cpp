// HoraluxCons.exe on another desktop than the installed HoraluxServ.exe, as every console stands
// to a service on current Windows (the service in session 0): it cannot see the service's
// window, and reaches the service over the channel. Synchronising against a local chrony,
// breaking a run against a silent server, the reload after Options, the stop that closes the
// channel, two consoles on two desktops hearing one result; a console beside the service (-d)
// that finds the channel full, or held by another program, and works through the window as
// before; and a console started with an action's argument going straight into it.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/ChannelProtocol.h"
#include "common/ProductFacts.h"
#include "common/WinHandle_win.h"
#include "common/WindowMessages.h"
#include "console/Win32ChannelClient_win.h"
#include "console/resource.h"
#include "tests/e2e/ConsoleSession_win.h"
#include "tests/e2e/LocalChrony.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"
#include "tools/kit/WaitUntil.h"

namespace {

using namespace ui_driver;
using namespace std::chrono_literals;

constexpr const char* kConsoleTitle = "Horalux Clock Service Console";
constexpr const char* kStartLine = "] Horalux Clock Service v. " HORALUX_VERSION_TEXT " is started.";

std::string ChronySettings() {
    return "[Servers]\r\nServers_Counter=1\r\nServers 0=Loopback chrony~127.0.0.1~1\r\n[Options]\r\n"
           "nLogFileLen=100\r\nnSynPeriod=3\r\nnOffset=0\r\nnMaxAttempts=1\r\nnTimeOut=5\r\nnStartingServ="
           "0\r\n"
           "bOnlySuccLog=0\r\n";
}

// The installed service; each console on a desktop of its own.
class CrossDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteText(ini, ChronySettings());
        ::DeleteFileA(log.c_str());
    }

    void TearDown() override {
        for (CChildProcess& console : consoles) {
            console.terminate();
        }
        RunAction(ServiceExePath(), "-u");  // whatever happened, leave no service behind
        m_userDesktops.clear();
        ::DeleteFileA(log.c_str());
        ::DeleteFileA(WindowsFile("zHoraluxServ.bin").c_str());
    }

    std::unique_ptr<CTestDesktop> makeDesktop(const std::string& role) {
        static int s_nDesktops = 0;
        return std::make_unique<CTestDesktop>("horalux-" + role + "-" +
                                              std::to_string(::GetCurrentProcessId()) + "-" +
                                              std::to_string(++s_nDesktops));
    }

    // HoraluxServ installed and started by the service manager, once it has logged its start. A
    // console on another desktop trusts the channel only when the service manager names the
    // pipe's server: HoraluxServ -d there would be a stranger to it.
    bool startService() {
        return RunAction(ServiceExePath(), "-i") == ActionOutcome{"", 0} &&
               RunAction(ServiceExePath(), "-s") == ActionOutcome{"", 0} && WaitForFileText(log, kStartLine);
    }

    // Console number index on a fresh desktop of its own, where the calling thread stays.
    HWND startConsole(std::size_t index, const std::string& arguments = "") {
        m_userDesktops.push_back(makeDesktop("user"));
        if (!m_userDesktops.back()->ready() ||
            !m_userDesktops.back()->start(consoles[index], "\"" + ConsoleExePath() + "\" " + arguments)) {
            return nullptr;
        }
        return waitForWindow(kConsoleTitle, consoles[index].pid());
    }

    // Back onto the desktop of console number index.
    bool enterConsoleDesktop(std::size_t index) const { return m_userDesktops.at(index)->enter(); }

    bool noErrorBox(std::size_t index) const {
        return waitForMessageBox("Error", consoles[index].pid(), 0ms) == nullptr;
    }

    // The first console, as in another session: the service's window is out of its reach.
    HWND startConsoleOutOfReach() {
        HWND dialog = startConsole(0);
        EXPECT_EQ(::FindWindowA(kExecWindowClass, kExecWindowTitle), nullptr);
        return dialog;
    }

    // "Synchronize now" against chrony: the first press works, since the channel's hello was
    // answered before the console decided.
    void expectSynchronized(HWND dialog) {
        clickAsync(dialog, IDC_SYNCHRONIZE_NOW);
        EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Successful Synchronization."));
        EXPECT_TRUE(noErrorBox(0));
        EXPECT_NE(text(dialog, IDC_LOG).find("Manualy. Successful. Server: Loopback chrony."),
                  std::string::npos)
            << text(dialog, IDC_LOG);
    }

    // "Break" during a run against a server fallen silent.
    void expectBreakHeard(HWND dialog, CLocalChrony& chrony) {
        chrony.stop();
        clickAsync(dialog, IDC_SYNCHRONIZE_NOW);
        EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Synchronization Failed."));
        EXPECT_TRUE(WaitUntil([&] { return progressPosition(dialog, IDC_PROGRESS) > 0; }, kWait));
        click(dialog, IDC_BREAK);
        EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Synchronization is broken by the user."));
        EXPECT_EQ(progressPosition(dialog, IDC_PROGRESS), 0);
    }

    // Options closed with OK: the service reloads and the console hears it.
    void expectReloadHeard(HWND dialog) {
        clickAsync(dialog, IDC_OPTIONS);
        HWND options = waitForWindow("Options", consoles[0].pid());
        ASSERT_NE(options, nullptr);
        click(options, IDOK);
        EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Log File is updated."));
        EXPECT_NE(text(dialog, IDC_LOG).find("] Options are updated."), std::string::npos)
            << text(dialog, IDC_LOG);
        EXPECT_TRUE(noErrorBox(0));
    }

    // "Synchronize now" of the first console, answered by the box that says there is no service.
    void expectServiceMissing(HWND dialog) {
        clickAsync(dialog, IDC_SYNCHRONIZE_NOW);
        HWND box = waitForMessageBox("Error", consoles[0].pid());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(messageBoxText(box), "\nHoralux Service does not work now!");
        EXPECT_TRUE(dismiss(box));
    }

    const std::string ini = WindowsFile("zHoraluxServ.ini");
    const std::string log = WindowsFile("zHoraluxServ.log");
    CChildProcess consoles[2];

private:
    std::vector<std::unique_ptr<CTestDesktop>> m_userDesktops;
};

TEST_F(CrossDesktopTest, TwoConsolesOnTwoDesktopsBothHearOneResult) {
    CLocalChrony chrony;
    ASSERT_TRUE(chrony.start("127.0.0.1")) << chrony.error();
    ASSERT_TRUE(startService());
    HWND first = startConsole(0);
    ASSERT_NE(first, nullptr);
    HWND second = startConsole(1);
    ASSERT_NE(second, nullptr);

    clickAsync(second, IDC_SYNCHRONIZE_NOW);
    EXPECT_TRUE(waitForText(second, IDC_RESULT, "Successful Synchronization."));
    EXPECT_TRUE(noErrorBox(1));
    ASSERT_TRUE(enterConsoleDesktop(0));
    EXPECT_TRUE(waitForText(first, IDC_RESULT, "Successful Synchronization."));
    EXPECT_NE(text(first, IDC_LOG).find("Manualy. Successful. Server: Loopback chrony."), std::string::npos);
}

TEST_F(CrossDesktopTest,
       AConsoleOnAnotherDesktopSynchronisesHearsTheReloadBreaksAndLosesTheChannelAtTheStop) {
    CLocalChrony chrony;
    ASSERT_TRUE(chrony.start("127.0.0.1")) << chrony.error();
    ASSERT_TRUE(startService());
    HWND dialog = startConsoleOutOfReach();
    ASSERT_NE(dialog, nullptr);
    expectSynchronized(dialog);
    EXPECT_EQ(progressPosition(dialog, IDC_PROGRESS), 0);
    expectReloadHeard(dialog);
    expectBreakHeard(dialog, chrony);

    // With the console still connected, the stop ends well inside its wait hint, the channel
    // with it; the console then finds no service.
    const auto stopBegin = std::chrono::steady_clock::now();
    const ActionOutcome stopped = RunAction(ServiceExePath(), "-e");
    const double stopMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopBegin).count();
    EXPECT_EQ(stopped.exitCode, 0u) << stopped.output;
    EXPECT_LT(stopMs, 11000.0);
    const UniqueFileHandle pipe(
        ::CreateFileA(channel::kPipeName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(pipe.isValid());
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    expectServiceMissing(dialog);
    std::printf("[ measured ] -e with a console connected: %.0f ms\n", stopMs);
}

// --- beside the service, through the window ----------------------------------------------------

class SameDesktopTest : public CConsoleSession {};

// Every place of the channel is held by a console that said hello, so HoraluxCons on the
// service's desktop is turned away there and uses the control window, as the window protocol
// has it: it synchronises and hears the reload after Options.
TEST_F(SameDesktopTest, AConsoleTurnedAwayByAFullChannelWorksThroughTheWindow) {
    CLocalChrony chrony;
    ASSERT_TRUE(chrony.start("127.0.0.1")) << chrony.error();
    WriteText(ini, ChronySettings());
    ASSERT_TRUE(startService());
    std::vector<std::unique_ptr<CConsoleStandIn>> holderWindows;
    std::vector<std::unique_ptr<CWin32ChannelClient>> holders;
    for (std::size_t i = 0; i < channel::kMaxClients; ++i) {
        holderWindows.push_back(std::make_unique<CConsoleStandIn>());
        holders.push_back(std::make_unique<CWin32ChannelClient>());
        holders.back()->attach(holderWindows.back()->get());
        ASSERT_EQ(holders.back()->open(channel::kHelloWaitMs), ChannelOpening::Answered) << i;
    }
    CWin32ChannelClient turnedAway;
    EXPECT_EQ(turnedAway.open(channel::kHelloWaitMs), ChannelOpening::NotAnswered);

    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    bool bAccepted = false;
    for (int press = 0; press < 2 && !bAccepted;
         ++press) {  // the window protocol's first press may only introduce
        clickAsync(dialog, IDC_SYNCHRONIZE_NOW);
        HWND box = waitForMessageBox("Error", console.pid(), 2s);
        bAccepted = box == nullptr;
        EXPECT_TRUE(bAccepted || dismiss(box));
    }
    ASSERT_TRUE(bAccepted);
    EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Successful Synchronization."));
    clickAsync(dialog, IDC_OPTIONS);
    HWND options = waitForWindow("Options", console.pid());
    ASSERT_NE(options, nullptr);
    click(options, IDOK);
    EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Log File is updated."));
    EXPECT_NE(text(dialog, IDC_LOG).find("] Options are updated."), std::string::npos)
        << text(dialog, IDC_LOG);
    // The places stayed with their holders: the console never had one.
    for (std::size_t i = 0; i < holders.size(); ++i) {
        EXPECT_TRUE(holders[i]->send(ChannelKind::ConsoleHello)) << i;
    }
}

// The tests' stand-in for a program that takes the channel's pipe first, beside the test program.
std::string SquatterExePath() {
    const std::string service = ServiceExePath();
    return service.substr(0, service.rfind("\\service\\")) + "\\tests\\horalux_channel_squatter.exe";
}

// A file in the temporary folder, removed when the test ends however it ends.
struct CTempFile {
    explicit CTempFile(const char* name) {
        char folder[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, folder);
        path = std::string(folder) + name;
    }
    ~CTempFile() { ::DeleteFileA(path.c_str()); }
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    std::string path;
};

// Another program made the channel's pipe before HoraluxServ -d started beside the console. The
// service says so in its log and serves its window; the console neither believes the other
// program's "success" nor tells it anything, says once what happened and works through the
// window. Once the other program has gone the service has its pipe within a minute, and the
// console takes it again.
TEST_F(SameDesktopTest, AChannelTakenFirstByAnotherProgramIsRefusedUntilTheServiceHasItBack) {
    const CTempFile report("horalux-squatter.txt");
    const std::string& heard = report.path;
    CChildProcess squatter;  // ended before its report is removed
    ASSERT_TRUE(squatter.start("\"" + SquatterExePath() + "\" \"" + heard + "\""));
    ASSERT_TRUE(WaitForFileText(heard, "holding")) << ReadWholeFile(heard);
    WriteText(ini, ChronySettings());  // no server answers: a run lasts until the break
    ASSERT_TRUE(startService());
    EXPECT_TRUE(WaitForFileText(log,
                                "] Another program holds the console channel \\\\.\\pipe\\"
                                "HoraluxClockServiceChannel: consoles in other sessions cannot reach "
                                "the service. Trying again every minute."))
        << ReadWholeFile(log);

    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Another program holds the service's channel.", 10s))
        << text(dialog, IDC_RESULT);
    const auto breakRun = [&] {
        clickAsync(dialog, IDC_SYNCHRONIZE_NOW);
        EXPECT_EQ(waitForMessageBox("Error", console.pid(), 2s), nullptr);
        click(dialog, IDC_BREAK);
        EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Synchronization is broken by the user."))
            << text(dialog, IDC_RESULT);
    };
    breakRun();  // through the window
    const std::string squatterHeard = ReadWholeFile(heard);
    EXPECT_NE(squatterHeard.find("connected"), std::string::npos) << "the console never tried the pipe";
    EXPECT_EQ(squatterHeard.find("heard"), std::string::npos) << squatterHeard;
    EXPECT_EQ(text(dialog, IDC_LOG).find("Successful"), std::string::npos);

    squatter.terminate();
    const auto freed = std::chrono::steady_clock::now();
    EXPECT_TRUE(
        WaitForFileText(log, "] The console channel \\\\.\\pipe\\HoraluxClockServiceChannel is open", 75s))
        << ReadWholeFile(log);
    std::printf("[ measured ] the service had its pipe back %.1f s after the other program ended\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - freed).count());
    breakRun();  // through the channel again: the console holds one of its places
    std::vector<std::unique_ptr<CConsoleStandIn>> holderWindows;
    std::vector<std::unique_ptr<CWin32ChannelClient>> holders;
    for (std::size_t i = 0; i <= channel::kMaxClients; ++i) {
        holderWindows.push_back(std::make_unique<CConsoleStandIn>());
        holders.push_back(std::make_unique<CWin32ChannelClient>());
        holders.back()->attach(holderWindows.back()->get());
        if (holders.back()->open(channel::kHelloWaitMs) != ChannelOpening::Answered) {
            break;
        }
    }
    EXPECT_EQ(holders.size(), channel::kMaxClients) << "places taken besides the console's";
}

// --- action arguments --------------------------------------------------------------------------

class ConsoleStartActionTest : public CConsoleSession {};

TEST_F(ConsoleStartActionTest, AConsoleStartedWithAnActionGoesStraightIntoIt) {
    HWND dialog = startConsole("/options");
    ASSERT_NE(dialog, nullptr);
    HWND options = waitForWindow("Options", console.pid());
    ASSERT_NE(options, nullptr);
    ASSERT_TRUE(dismiss(options));  // OK; no service runs, so the console says so
    HWND box = waitForMessageBox("Error", console.pid());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageBoxText(box), "\nHoralux Service does not work now!");
    EXPECT_TRUE(dismiss(box));
    console.terminate();

    dialog = startConsole("/SERVERS");
    ASSERT_NE(dialog, nullptr);
    HWND servers = waitForWindow("Time Servers", console.pid());
    ASSERT_NE(servers, nullptr);
    click(servers, IDCANCEL);
    EXPECT_TRUE(waitForWindowGone(servers));
    console.terminate();

    WriteText(log, "one\r\ntwo\r\n");
    dialog = startConsole("/clearlog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(log); }, kWait));
    EXPECT_TRUE(waitForText(dialog, IDC_LOG, ""));
    EXPECT_TRUE(console.running());
}

}  // namespace
