// The organisation's policy as a managed PC lives with it: values under
// HKLM\Software\Policies\Horalux override the settings file; the console greys out what the
// policy sets and never writes it into the file, the service takes the policy's server list at
// the reload the console's OK asks for, and a bad value is ignored with a log line naming it
// (at each reload).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/WinHandle_win.h"
#include "console/resource.h"
#include "settings/PolicyTable.h"
#include "tests/e2e/ConsoleSession_win.h"
#include "tests/e2e/InstalledProduct_win.h"
#include "tests/e2e/LocalChrony.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"
#include "tools/kit/WaitUntil.h"

namespace {

using namespace ui_driver;
using namespace std::chrono_literals;

// On demand only, three servers of the user's; the policy replaces both.
const std::string kFileSettings =
    "[Servers]\r\nServers_Counter=2\r\nServers 0=File one~127.0.0.1~1\r\nServers 1=File two~127.0.0.1~1\r\n"
    "[Options]\r\nnLogFileLen=100\r\nnSynPeriod=3\r\nnOffset=0\r\nnMaxAttempts=1\r\nnTimeOut=5\r\n"
    "nStartingServ=0\r\nbOnlySuccLog=0\r\n";

bool SetPolicyValue(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueRegistryKey owned(key);
    return ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool IsEnabled(HWND dialog, int id) {
    return ::IsWindowEnabled(control(dialog, id)) != FALSE;
}
bool IsShown(HWND dialog, int id) {
    return ::IsWindowVisible(control(dialog, id)) != FALSE;
}

class PolicyE2eTest : public CConsoleSession {
protected:
    void SetUp() override {
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPolicyKey);
        ::DeleteFileA(WindowsFile(kRecordFileName).c_str());
        WriteText(ini, kFileSettings);
        CConsoleSession::SetUp();
    }

    void TearDown() override {
        CConsoleSession::TearDown();
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPolicyKey);
        WriteText(ini, kFileSettings);
    }

    HWND openDialog(HWND main, int button, const std::string& caption) {
        clickAsync(main, button);
        return waitForWindow(caption, console.pid());
    }
};

TEST_F(PolicyE2eTest, PolicyModeAndServersOverrideTheFileAreGreyedOutAndNeverWritten) {
    CLocalChrony chrony;
    ASSERT_TRUE(chrony.start("127.0.0.1")) << chrony.error();
    ASSERT_TRUE(startService());
    ASSERT_TRUE(WaitForFileText(log, "is started."));

    // The administrator sets hourly synchronisation, a list of one server, and a number of
    // attempts out of range.
    const DWORD hourly = 2;
    const DWORD tooMany = 99;
    const char servers[] = "Policy chrony~127.0.0.1\0";
    ASSERT_TRUE(SetPolicyValue("nSynPeriod", REG_DWORD, &hourly, sizeof hourly));
    ASSERT_TRUE(SetPolicyValue("nMaxAttempts", REG_DWORD, &tooMany, sizeof tooMany));
    ASSERT_TRUE(SetPolicyValue(kPolicyServersValue, REG_MULTI_SZ, servers, sizeof servers));

    HWND main = startConsole();
    ASSERT_NE(main, nullptr);
    HWND options = openDialog(main, IDC_OPTIONS, "Options");
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(isChecked(options, IDC_MODE_HOURLY));
    for (const int id :
         {IDC_MODE_DAILY, IDC_MODE_ON_START, IDC_MODE_HOURLY, IDC_MODE_ON_DEMAND, IDC_MODE_CONTINUOUS}) {
        EXPECT_FALSE(IsEnabled(options, id)) << id;
    }
    EXPECT_TRUE(IsShown(options, IDC_POLICY_NOTE));
    EXPECT_EQ(text(options, IDC_POLICY_NOTE), "Greyed settings are set by your organisation's policy.");
    // The bad value does not count: the file's applies, and the user may change it.
    EXPECT_TRUE(IsEnabled(options, IDC_ATTEMPTS));
    EXPECT_EQ(text(options, IDC_ATTEMPTS), "1");
    setText(control(options, IDC_ATTEMPTS), "2");
    clickAsync(options, IDOK);
    ASSERT_TRUE(waitForWindowGone(options));

    // OK kept the file's mode and told the service, which reloaded with the policy.
    std::string saved = ReadWholeFile(ini);
    EXPECT_NE(saved.find("nSynPeriod=3\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("nMaxAttempts=2\r\n"), std::string::npos) << saved;
    EXPECT_TRUE(WaitForFileText(log, "Options are updated.\r\n"));
    EXPECT_TRUE(
        WaitForFileText(log, "Policy value nMaxAttempts is ignored: 99 is not a whole number from 1 to 10."));
    // The service synchronises with the policy's server.
    bool bRefused = false;
    EXPECT_TRUE(SynchroniseFromConsole(main, console.pid(), &bRefused)) << text(main, IDC_RESULT);
    EXPECT_TRUE(WaitForFileText(log, "Manualy. Successful. Server: Policy chrony.")) << ReadWholeFile(log);

    HWND dialog = openDialog(main, IDC_SERVER, "Time Servers");
    ASSERT_NE(dialog, nullptr);
    const HWND list = control(dialog, IDC_SERVER_LIST);
    ASSERT_EQ(rowCount(list), 1);
    EXPECT_EQ(rowText(list, 0, 0), "Policy chrony");
    EXPECT_FALSE(IsEnabled(dialog, IDC_ADD_SERVER));
    EXPECT_FALSE(IsEnabled(dialog, IDC_DELETE_SERVER));
    EXPECT_FALSE(IsEnabled(dialog, IDC_RESTORE_SERVERS));
    EXPECT_TRUE(IsShown(dialog, IDC_POLICY_NOTE));
    clickAsync(dialog, IDOK);
    ASSERT_TRUE(waitForWindowGone(dialog));
    saved = ReadWholeFile(ini);
    EXPECT_NE(
        saved.find(
            "Servers_Counter=2\r\nServers 0=File one~127.0.0.1~1\r\nServers 1=File two~127.0.0.1~1\r\n"),
        std::string::npos)
        << saved;
    EXPECT_EQ(saved.find("Policy chrony"), std::string::npos) << saved;
}

}  // namespace
