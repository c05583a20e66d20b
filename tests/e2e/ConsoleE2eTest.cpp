// HoraluxCons.exe as a user runs it, driven through its windows: start-up, the log
// display, the notices and message boxes, Clear Log File, the About box, closing; with
// HoraluxServ.exe running as a process beside it, synchronisation against a local
// chrony and against a silent server, Break, and the log coming back after a clear.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string>

#include "common/ProductFacts.h"
#include "console/resource.h"
#include "tests/e2e/ConsoleSession_win.h"
#include "tests/e2e/LocalChrony.h"
#include "tools/kit/FakeSntpServer.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"
#include "tools/kit/WaitUntil.h"

namespace {

using namespace ui_driver;
using namespace std::chrono_literals;

const std::string kNoRights = "You have not rights to change options. Please call the System Administrator.";

// Settings with one loopback server; the service never synchronises by itself.
std::string LoopbackSettings(const std::string& title, const std::string& address, int logLines = 100) {
    return "[Servers]\r\nServers_Counter=1\r\nServers 0=" + title + "~" + address +
           "~1\r\n[Options]\r\nnLogFileLen=" + std::to_string(logLines) +
           "\r\nnSynPeriod=3\r\nnOffset=0\r\nnMaxAttempts=1\r\n"
           "nTimeOut=5\r\nnStartingServ=0\r\nbOnlySuccLog=0\r\n";
}

class ConsoleE2eTest : public CConsoleSession {
protected:
    void SetUp() override {
        WriteText(ini, LoopbackSettings("Loopback one", "127.0.0.1"));
        CConsoleSession::SetUp();
    }

    // Presses "Synchronize now" until no "Error" box answers; returns the number of presses.
    int pressSynchronizeUntilAccepted(HWND dialog) {
        for (int press = 1; press <= 5; ++press) {
            clickAsync(dialog, IDC_SYNCHRONIZE_NOW);
            HWND box = waitForMessageBox("Error", console.pid(), 2s);
            if (box == nullptr) {
                return press;
            }
            EXPECT_EQ(messageBoxText(box), "\nHoralux Service does not work now!");
            EXPECT_TRUE(dismiss(box));
        }
        ADD_FAILURE() << "the console never reached the service";
        return 0;
    }
};

// --- the console alone ---------------------------------------------------------------------

TEST_F(ConsoleE2eTest, StartsWithItsTitleTheStartingServerAndTheLayoutOfItsTemplate) {
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);

    EXPECT_EQ(text(dialog, IDC_SERVER_TITLE), "Loopback one");
    EXPECT_EQ(text(dialog, IDC_RESULT), "");
    EXPECT_EQ(text(dialog, IDC_LOG), "");
    EXPECT_EQ(progressPosition(dialog, IDC_PROGRESS), 0);
    const std::pair<int, const char*> captions[] = {
        {IDC_CLEAR_LOG, "Clear Log File"},
        {IDC_SERVER, "Server"},
        {IDC_SYNCHRONIZE_NOW, "Synchronize now"},
        {IDC_BREAK, "Break"},
        {IDC_OPTIONS, "Options"},
        {IDC_ABOUT, "About"},
        {IDC_HELP_BUTTON, "Help"},
    };
    for (const auto& [id, caption] : captions)
        EXPECT_EQ(text(dialog, id), caption) << id;

    // The template lines controls up on the left at 5 and on the right at 414 dialog units.
    auto rect = [dialog](int id) {
        RECT r{};
        ::GetWindowRect(control(dialog, id), &r);
        return r;
    };
    for (int id : {IDC_LOG, IDC_SERVER, IDC_SYNCHRONIZE_NOW, IDC_PROGRESS})
        EXPECT_EQ(rect(id).left, rect(IDC_CLEAR_LOG).left) << id;
    for (int id : {IDC_SERVER_TITLE, IDC_RESULT, IDC_HELP_BUTTON})
        EXPECT_EQ(rect(id).right, rect(IDC_LOG).right) << id;
    waitForPaint(dialog);
    EXPECT_TRUE(screenshot(ScreenshotPath("console-main.png")));
}

TEST_F(ConsoleE2eTest, AboutShowsTheVersionAndClosesWithOk) {
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    clickAsync(dialog, IDC_ABOUT);
    HWND about = waitForWindow("About", console.pid());
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(text(about, IDC_ABOUT_VERSION), HORALUX_ABOUT_TEXT);
    EXPECT_NE(control(about, IDC_ABOUT_PICTURE), nullptr);
    waitForPaint(about);
    EXPECT_TRUE(screenshot(ScreenshotPath("console-about.png")));
    EXPECT_TRUE(dismiss(about));
    EXPECT_TRUE(console.running());
}

struct LogCase {
    const char* name;
    std::string file;
    std::string shown;
};

void PrintTo(const LogCase& logCase, std::ostream* out) {
    *out << logCase.name;
}

class ConsoleLogDisplayE2eTest : public ConsoleE2eTest, public ::testing::WithParamInterface<LogCase> {};

TEST_P(ConsoleLogDisplayE2eTest, ShowsTheLogFileAsTheUserReadsIt) {
    WriteText(log, GetParam().file);
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text(dialog, IDC_LOG), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConsoleLogDisplayE2eTest,
    ::testing::Values(LogCase{"ThreeCrLfLines", "one\r\ntwo\r\nthree\r\n", "one\r\ntwo\r\nthree\r\n"},
                      LogCase{"LastLineWithoutLf", "one\r\ntwo", "one\r\ntwo\r\n"},
                      LogCase{"EmptyLine", "one\r\n\r\nthree\r\n", "one\r\n\r\nthree\r\n"},
                      LogCase{"LineOf600EndsTheDisplay", "one\r\n" + std::string(600, 'x') + "\r\nthree\r\n",
                              "one\r\n"},
                      LogCase{"LineOf511IsWhole", "one\r\n" + std::string(511, 'y') + "\r\nthree\r\n",
                              "one\r\n" + std::string(511, 'y') + "\r\nthree\r\n"}),
    [](const ::testing::TestParamInfo<LogCase>& param) { return std::string(param.param.name); });

TEST_F(ConsoleE2eTest, SynchronizeWithoutServiceSaysItDoesNotWork) {
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    expectBox(dialog, IDC_SYNCHRONIZE_NOW, "Error", "\nHoralux Service does not work now!");
    EXPECT_EQ(progressPosition(dialog, IDC_PROGRESS), 0);
    EXPECT_EQ(text(dialog, IDC_RESULT), "");
}

TEST_F(ConsoleE2eTest, ClearLogWithoutLogFileReportsItNotFound) {
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    expectBox(dialog, IDC_CLEAR_LOG, "HoraluxCons", "zHoraluxServ.log was not found.");
    EXPECT_EQ(text(dialog, IDC_LOG), "");
}

TEST_F(ConsoleE2eTest, ClearLogWithUnwritableSettingsWarnsAndDeletesNothing) {
    WriteText(log, "kept\r\n");
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    // Tests run as root, whom a read-only attribute does not stop; a file held open without
    // sharing refuses every writer.
    const UniqueFileHandle locked(
        ::CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(locked);
    expectBox(dialog, IDC_CLEAR_LOG, "Warning", kNoRights);
    EXPECT_TRUE(FileExists(log));
    EXPECT_EQ(text(dialog, IDC_LOG), "kept\r\n");
}

TEST_F(ConsoleE2eTest, ClearLogDeletesTheFileAndEmptiesTheDisplay) {
    WriteText(log, "one\r\ntwo\r\n");
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    click(dialog, IDC_CLEAR_LOG);
    EXPECT_FALSE(FileExists(log));
    EXPECT_EQ(text(dialog, IDC_LOG), "");
}

TEST_F(ConsoleE2eTest, HelpWithoutHelpFileShowsNothing) {
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    click(dialog, IDC_HELP_BUTTON);  // returns once the handler has run
    EXPECT_EQ(waitForMessageBox("HoraluxCons", console.pid(), 0ms), nullptr);
    EXPECT_TRUE(console.running());
}

TEST_F(ConsoleE2eTest, EscapeAndTheCloseCommandEndTheProgram) {
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    ::PostMessageA(control(dialog, IDC_SYNCHRONIZE_NOW), WM_KEYDOWN, VK_ESCAPE, 0);
    DWORD exitCode = 99;
    ASSERT_TRUE(console.waitForExit(kWait, &exitCode));
    EXPECT_EQ(exitCode, 0u);

    dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(console.waitForExit(kWait, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

// --- with the service --------------------------------------------------------------------

TEST_F(ConsoleE2eTest, ServiceStartedAfterTheConsoleAnswersTheSecondPressAndSynchronizes) {
    CLocalChrony chrony;
    ASSERT_TRUE(chrony.start("127.0.0.1")) << chrony.error();
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    expectBox(dialog, IDC_SYNCHRONIZE_NOW, "Error", "\nHoralux Service does not work now!");

    ASSERT_TRUE(startService());
    // The first press announces the console; it works at once only when the reply beat it.
    EXPECT_LE(pressSynchronizeUntilAccepted(dialog), 2);

    EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Successful Synchronization."));
    EXPECT_EQ(progressPosition(dialog, IDC_PROGRESS), 0);
    EXPECT_NE(text(dialog, IDC_LOG).find("Successful. Server: Loopback one."), std::string::npos)
        << text(dialog, IDC_LOG);
    EXPECT_EQ(waitForMessageBox("Error", console.pid(), 0ms), nullptr);
}

TEST_F(ConsoleE2eTest, SilentServerFailsWithTheBarMovingUntilBreak) {
    CFakeSntpServer silent;
    ASSERT_TRUE(silent.start("127.0.0.1"));  // Wine binds only 127.0.0.1 of the loopback net
    silent.answerWith(FakeReply::silent());
    WriteText(ini, LoopbackSettings("Silent", silent.address()));
    ASSERT_TRUE(startService());
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    pressSynchronizeUntilAccepted(dialog);

    EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Synchronization Failed."));
    const int before = progressPosition(dialog, IDC_PROGRESS);
    EXPECT_TRUE(WaitUntil([&] { return progressPosition(dialog, IDC_PROGRESS) != before; }, 5s));

    click(dialog, IDC_BREAK);
    EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Synchronization is broken by the user."));
    EXPECT_EQ(progressPosition(dialog, IDC_PROGRESS), 0);
    EXPECT_NE(text(dialog, IDC_LOG).find("Synchronization is broken by the user."), std::string::npos);
}

TEST_F(ConsoleE2eTest, ClearLogWhileTheServiceRunsAndItsNextLineStartsANewLog) {
    ASSERT_TRUE(startService());
    ASSERT_TRUE(WaitUntil([&] { return FileExists(log); }, kWait));  // its start line
    HWND dialog = startConsole();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(text(dialog, IDC_LOG).find("is started."), std::string::npos);

    click(dialog, IDC_CLEAR_LOG);
    EXPECT_FALSE(FileExists(log));
    EXPECT_EQ(text(dialog, IDC_LOG), "");

    click(dialog, IDC_BREAK);  // the service logs the break in a new file
    EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Synchronization is broken by the user."));
    const std::string after = text(dialog, IDC_LOG);
    EXPECT_EQ(after.find("is started."), std::string::npos) << after;
    EXPECT_EQ(after.find("\r\n"), after.size() - 2) << "one line: " << after;
    EXPECT_NE(after.find("] Synchronization is broken by the user."), std::string::npos) << after;
    EXPECT_TRUE(FileExists(log));
}

// Wine does not report another process's processor time (GetProcessTimes gives a small
// fraction of it), so it is read from the Unix process behind the Windows one, found by a
// word on its command line, through drive Z:.
int UnixPidOf(const std::string& word) {
    WIN32_FIND_DATAA entry{};
    const HANDLE search = ::FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int found = 0;
    do {
        const int pid = std::atoi(entry.cFileName);
        if (pid > 0 &&
            ReadWholeFile("Z:\\proc\\" + std::to_string(pid) + "\\cmdline").find(word) != std::string::npos) {
            found = pid;
        }
    } while (found == 0 && ::FindNextFileA(search, &entry));
    ::FindClose(search);
    return found;
}

// User and system time of a Unix process, in milliseconds (/proc/PID/stat counts 1/100 s).
double UnixProcessorMs(int pid) {
    const std::string stat = ReadWholeFile("Z:\\proc\\" + std::to_string(pid) + "\\stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14)
            ticks += std::atof(field.c_str());
    }
    return ticks * 10.0;
}

// The console's processor time while the bar runs over a long log: with the log field
// written only when it changed, the ticks cost next to nothing. Written at every tick, the
// 2.5 MB field takes most of a processor, so a few seconds tell the two apart
// (HORALUX_CPU_SECONDS measures longer).
TEST_F(ConsoleE2eTest, TheProgressBarOverALongLogCostsLittleProcessorTime) {
    CFakeSntpServer silent;
    ASSERT_TRUE(silent.start("127.0.0.1"));
    silent.answerWith(FakeReply::silent());
    WriteText(ini, LoopbackSettings("Silent", "127.0.0.1", 30000));
    std::string lines;
    for (int i = 0; i < 30000; ++i) {
        lines += "08.12.2025 01:23:45 Manualy. Successful. Server: Loopback one. Round Trip Delay: " +
                 std::to_string(i % 97) + " ms\r\n";
    }
    WriteText(log, lines);
    ASSERT_TRUE(startService());
    const std::string probe = "cpu-probe-" + std::to_string(::GetCurrentProcessId());
    HWND dialog = startConsole(probe);
    ASSERT_NE(dialog, nullptr);
    pressSynchronizeUntilAccepted(dialog);
    ASSERT_TRUE(WaitUntil([&] { return progressPosition(dialog, IDC_PROGRESS) > 0; }, kWait));
    // The failure notice reloads the log once; the ticks after it are what is measured.
    ASSERT_TRUE(waitForText(dialog, IDC_RESULT, "Synchronization Failed."));
    ASSERT_GT(text(dialog, IDC_LOG).size(), 2500000u);

    char given[16] = "";
    const int seconds =
        ::GetEnvironmentVariableA("HORALUX_CPU_SECONDS", given, sizeof given) > 0 ? std::atoi(given) : 5;
    const int unixPid = UnixPidOf(probe);
    ASSERT_NE(unixPid, 0) << "the console's Unix process was not found";
    auto processorTime = [unixPid] { return UnixProcessorMs(unixPid); };
    const double before = processorTime();
    const ULONGLONG start = ::GetTickCount64();
    ::Sleep(static_cast<DWORD>(seconds) * 1000);  // the measuring period itself
    const double used = processorTime() - before;
    const double elapsed = static_cast<double>(::GetTickCount64() - start);
    std::printf("console processor time over %.1f s of progress with a 30000-line log: %.0f ms (%.1f %%)\n",
                elapsed / 1000.0, used, 100.0 * used / elapsed);
    EXPECT_NE(progressPosition(dialog, IDC_PROGRESS), 0);
    EXPECT_LT(used / elapsed, 0.10);  // Unix ticks of 10 ms: 5 s allow 50 of them
    click(dialog, IDC_BREAK);
    EXPECT_TRUE(waitForText(dialog, IDC_RESULT, "Synchronization is broken by the user."));
}

}  // namespace
