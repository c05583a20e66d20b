// Files damaged from outside, as a person or another program leaves them, against the real
// programs: what the console shows and leaves behind (it starts alone first), what the service
// leaves behind and logs, and that a manual synchronisation then asks the user's own server
// (a fake one on loopback) and is heard by a console. Nothing the user wrote is lost: a
// settings file that the service writes over is kept beside it first.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/LogResult.h"
#include "common/WindowMessages.h"
#include "console/resource.h"
#include "tests/e2e/ConsoleSession_win.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/FakeSntpServer.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"

namespace {

using namespace std::chrono_literals;

// "%S" stands for the fake server's address.
const std::string kOptions = "[Options]\r\nnSynPeriod=3\r\nnMaxAttempts=1\r\nbOnlySuccLog=0\r\n";
const std::string kOneServer = "[Servers]\r\nServers_Counter=1\r\nServers 0=My LAN A~%S~1\r\n";

std::string Lines(const char* text, int count, const char* end) {
    std::string lines;
    for (int i = 0; i < count; ++i) {
        lines += text + std::to_string(i) + end;
    }
    return lines;
}

struct DamageCase {
    const char* name;
    // The files as written: settings, log and record ("" for none); the log may be a folder.
    std::string settings;
    std::string log;
    std::string record;
    bool bLogIsFolder;
    // What the console shows as the starting server; it leaves every file as written.
    const char* consoleServer;
    // What the service leaves in the settings file, whether it kept the file as written beside
    // it, and what it logs.
    std::vector<std::string> settingsAfter;
    bool bKept;
    std::vector<std::string> logged;
};

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.name;
}

const DamageCase kCases[] = {
    {"ACounterBeyondTheEntries",
     kOptions + "[Servers]\r\nServers_Counter=3\r\nServers 0=My LAN A~%S~1\r\nServers 1=My LAN B~%S~1\r\n",
     "",
     "",
     false,
     "My LAN A",
     {"Servers_Counter=2\r\nServers 0=My LAN A~%S~1\r\nServers 1=My LAN B~%S~1\r\n"},
     true,
     {"] The server list is damaged; skipped: Servers_Counter=3 counts 1 missing entry; 2 entries are kept. "
      "The list is written back; the file as it was is kept as zHoraluxServ-damaged.ini.\r\n"}},
    {"EntriesThatAreNoServerAndNoCounter",
     kOptions + "[Servers]\r\nServers_Counter=-1\r\nServers 0=no tilde\r\nServers 1=~~~~\r\n" +
         "Servers 2=My LAN A~%S~1\r\nServers 3=" + std::string(2000, 'T') + "~x~1\r\n",
     "",
     "",
     false,
     "My LAN A",
     {"Servers_Counter=1\r\n", "Servers 0=My LAN A~%S~1\r\n"},
     true,
     {"] The server list is damaged; skipped: Servers_Counter=-1, Servers 0=no tilde, Servers 1=~~~~, "
      "Servers 3=" +
      std::string(40, 'T') + "...; 1 entry is kept. The list is written back"}},
    {"OptionsOutOfRangeBesideALongLog",
     "[Options]\r\nnSynPeriod=3\r\nnMaxAttempts=abc\r\nnOffset=99999999999\r\nnLogFileLen=-5\r\n"
     "bOnlySuccLog=0\r\n" +
         kOneServer,
     Lines("old ", 150, "\r\n"),
     "",
     false,
     "My LAN A",
     {},
     false,
     {"old 149\r\n",
      "] Setting nLogFileLen=-5 is ignored: it is not a whole number from 10 to 30000; 100 is used.",
      "] Setting nOffset=99999999999 is ignored: it is not a whole number from -659 to 659; 0 is used.",
      "] Setting nMaxAttempts=abc is ignored: it is not a whole number from 1 to 10; 5 is used."}},
    {"ALogWithCarriageReturnsAlone",
     kOptions + kOneServer,
     Lines("old ", 300, "\r"),
     "",
     false,
     "My LAN A",
     {},
     false,
     {"old 299\r\n"}},
    {"ARecordThatIsNoDate",
     kOptions + kOneServer,
     "",
     std::string(12, '\xFF'),
     false,
     "My LAN A",
     {},
     false,
     {"] Error. Faild loading the last synchonization date and time.\r\n"}},
    {"ALogThatIsAFolder",
     kOptions + kOneServer,
     "",
     "",
     true,
     "My LAN A",
     {},
     false,
     {"] Horalux Clock Service v. 2.5 is started.\r\n", "] Manualy. Successful. Server: My LAN A. ",
      "] Options are updated.\r\n"}},
};

std::string WithServer(std::string text, const std::string& address) {
    for (std::size_t at; (at = text.find("%S")) != std::string::npos;) {
        text.replace(at, 2, address);
    }
    return text;
}

class DamagedFilesE2eTest : public CConsoleSession, public ::testing::WithParamInterface<DamageCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.startOnFreeLoopbackAddress()) << "port 123 is taken";
        CConsoleSession::SetUp();
    }

    void TearDown() override {
        CConsoleSession::TearDown();
        ::RemoveDirectoryA(log.c_str());
        ::DeleteFileA(copy.c_str());
    }

    // Writes a case's files; the settings with the fake server's address.
    void writeFiles(const DamageCase& c, const std::string& settings) {
        ::DeleteFileA(copy.c_str());
        WriteText(ini, settings);
        if (c.bLogIsFolder) {
            ASSERT_TRUE(::CreateDirectoryA(log.c_str(), nullptr));
        } else if (!c.log.empty()) {
            WriteText(log, c.log);
        }
        if (!c.record.empty()) {
            WriteText(WindowsFile(kRecordFileName), c.record);
        }
    }

    int nextResult(CConsoleStandIn& standIn) {
        WPARAM code = 0;
        return standIn.waitFor(UM_SYNC_RESULT, code, 30s) ? static_cast<int>(code) : -100;
    }

    const std::string copy = WindowsFile(kDamagedSettingsFileName);
    CFakeSntpServer m_server;
};

TEST_P(DamagedFilesE2eTest, NothingWrittenIsLostAndTheUsersServerIsAsked) {
    const DamageCase& c = GetParam();
    const std::string settings = WithServer(c.settings, m_server.address());
    writeFiles(c, settings);

    HWND main = startConsole();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ui_driver::text(main, IDC_SERVER_TITLE), c.consoleServer);
    console.terminate();
    EXPECT_EQ(ReadWholeFile(ini), settings) << "the console wrote the settings file";
    EXPECT_FALSE(FileExists(copy));

    ASSERT_TRUE(startService());
    CConsoleStandIn standIn;
    WPARAM unused = 0;
    const HWND window = WaitForExecWindow();
    ASSERT_TRUE(::PostMessageA(window, UM_CONSOLE_HELLO, reinterpret_cast<WPARAM>(standIn.get()), 0));
    ASSERT_TRUE(standIn.waitFor(UM_SERVICE_HELLO, unused));
    ASSERT_TRUE(::PostMessageA(window, UM_SYNC_NOW, 0, 0));
    EXPECT_EQ(nextResult(standIn), LOG_SUCCEEDED);
    EXPECT_EQ(m_server.requestCount(), 1u) << "the user's server was not asked";
    if (c.bLogIsFolder) {
        // Said once, with the first result; the lines wait for the file.
        EXPECT_EQ(nextResult(standIn), LOG_UNWRITTEN);
        ASSERT_TRUE(::RemoveDirectoryA(log.c_str()));
        ASSERT_TRUE(::PostMessageA(window, UM_OPTIONS_UPDATED, 0, 0));
        EXPECT_EQ(nextResult(standIn), LOG_RELOADED);
    }

    const std::string after = ReadWholeFile(ini);
    for (const std::string& part : c.settingsAfter) {
        EXPECT_NE(after.find(WithServer(part, m_server.address())), std::string::npos) << part << "\n"
                                                                                       << after;
    }
    if (c.settingsAfter.empty()) {
        EXPECT_EQ(after, settings);
    }
    EXPECT_EQ(c.bKept ? ReadWholeFile(copy) : std::string(), c.bKept ? settings : std::string());
    EXPECT_EQ(FileExists(copy), c.bKept);

    const std::string logged = ReadWholeFile(log);
    for (const std::string& line : c.logged) {
        EXPECT_NE(logged.find(line), std::string::npos) << line << "\n" << logged;
    }
    // Whatever ended the lines before, every line now ends in CR LF, and a long log keeps its
    // newest 100.
    const auto lines = std::count(logged.begin(), logged.end(), '\n');
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\r'), lines);
    EXPECT_EQ(logged.find("\r\r"), std::string::npos);
    if (!c.log.empty()) {
        EXPECT_EQ(lines, 100);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedFilesE2eTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DamageCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
