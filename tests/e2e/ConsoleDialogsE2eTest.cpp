// The console's Options, Time Servers and Add New Server dialogs as a user works them,
// opened from the main window of HoraluxCons.exe and driven through window messages: what
// they show, what OK writes to zHoraluxServ.ini and tells the service (HoraluxServ.exe as a
// process beside it), and that Cancel changes neither memory nor file. Every settings file
// names loopback servers only; the one test that restores the default list runs without the
// service and puts a loopback file back before the next program starts.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/resource.h"
#include "settings/SyncMode.h"
#include "tests/e2e/ConsoleSession_win.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"
#include "tools/kit/WaitUntil.h"

namespace {

using namespace ui_driver;
using namespace std::chrono_literals;

const std::string kBetween = "Please enter an integer between ";

struct Server {
    std::string title;
    int userAdded;
};

// Servers all at 127.0.0.1 (nothing answers there in these tests), then the options; the
// service never synchronises by itself (mode 3).
std::string LoopbackSettings(const std::vector<Server>& servers, int startingServ = 0, int offset = -90) {
    std::string text = "[Servers]\r\nServers_Counter=" + std::to_string(servers.size()) + "\r\n";
    for (std::size_t i = 0; i < servers.size(); ++i) {
        text += "Servers " + std::to_string(i) + "=" + servers[i].title + "~127.0.0.1~" +
                std::to_string(servers[i].userAdded) + "\r\n";
    }
    return text + "[Options]\r\nnLogFileLen=100\r\nnSynPeriod=3\r\nnOffset=" + std::to_string(offset) +
           "\r\nnMaxAttempts=1\r\nnTimeOut=5\r\nnStartingServ=" + std::to_string(startingServ) +
           "\r\nbOnlySuccLog=0\r\n";
}

const std::vector<Server> kThree = {{"Loop one", 1}, {"Loop two", 0}, {"Loop three", 1}};

class ConsoleDialogsE2eTest : public CConsoleSession {
protected:
    void SetUp() override {
        writeSettings(LoopbackSettings(kThree));
        CConsoleSession::SetUp();
    }

    void TearDown() override {
        CConsoleSession::TearDown();
        writeSettings(LoopbackSettings(kThree));  // never leave the default list behind
    }

    void writeSettings(const std::string& text) const { WriteText(ini, text); }

    // Presses a main-window button and returns the dialog it opens.
    HWND openDialog(HWND main, int button, const std::string& caption) {
        clickAsync(main, button);
        return waitForWindow(caption, console.pid());
    }

    // Presses a button that must answer with a warning box from the console.
    void expectWarning(HWND dialog, int button, const std::string& text) {
        expectBox(dialog, button, "HoraluxCons", text);
    }

    // The dialog moves the focus once the refusing box has returned, a moment after the box
    // has gone from the screen.
    bool waitForFocus(HWND dialog, int id) const {
        return WaitUntil([&] { return focusedControl(dialog) == control(dialog, id); }, kWait);
    }

    // Presses a button that ends a dialog, and waits until it has gone.
    bool closeWith(HWND dialog, int button) {
        clickAsync(dialog, button);
        return waitForWindowGone(dialog);
    }

    std::vector<std::string> rows(HWND list, int column = 0) const {
        std::vector<std::string> texts;
        for (int row = 0; row < rowCount(list); ++row)
            texts.push_back(rowText(list, row, column));
        return texts;
    }

    std::string settingsText() const { return ReadWholeFile(ini); }

    void takeScreenshot(HWND window, const std::string& name) const {
        waitForPaint(window);
        EXPECT_TRUE(screenshot(ScreenshotPath(name)));
    }
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// --- Options -----------------------------------------------------------------------------------

TEST_F(ConsoleDialogsE2eTest, OptionsShowTheFileRefuseABadFieldAndOkSavesAndTellsTheService) {
    ASSERT_TRUE(startService());
    HWND main = startConsole();
    ASSERT_NE(main, nullptr);
    HWND options = openDialog(main, IDC_OPTIONS, "Options");
    ASSERT_NE(options, nullptr);

    EXPECT_TRUE(isChecked(options, IDC_MODE_ON_DEMAND));
    EXPECT_TRUE(isChecked(options, IDC_BACKWARD));
    EXPECT_EQ(text(options, IDC_MINUTES), "1");
    EXPECT_EQ(text(options, IDC_SECONDS), "30");
    EXPECT_EQ(text(options, IDC_ATTEMPTS), "1");
    EXPECT_EQ(text(options, IDC_LOG_LINES), "100");
    EXPECT_FALSE(isChecked(options, IDC_ONLY_SUCCESS));
    EXPECT_EQ(text(options, IDC_ONLY_SUCCESS), "Put to the log file only successful sync events. ");
    // The mode buttons carry the mode table's labels, in the order of its values.
    const int modeButtons[] = {IDC_MODE_DAILY, IDC_MODE_ON_START, IDC_MODE_HOURLY, IDC_MODE_ON_DEMAND,
                               IDC_MODE_CONTINUOUS};
    static_assert(std::size(modeButtons) == kSyncModes.size());
    for (const SyncModeRow& mode : kSyncModes) {
        EXPECT_EQ(text(options, modeButtons[mode.value]), mode.label);
    }
    takeScreenshot(options, "options.png");

    // The arrows write into their field.
    pressKey(control(options, IDC_MINUTES), VK_UP);
    EXPECT_TRUE(waitForText(options, IDC_MINUTES, "2"));

    setText(control(options, IDC_SECONDS), "5");
    click(options, IDC_AHEAD);
    click(options, IDC_MODE_CONTINUOUS);
    click(options, IDC_ONLY_SUCCESS);
    setText(control(options, IDC_LOG_LINES), "250");
    setText(control(options, IDC_ATTEMPTS), "11");
    expectWarning(options, IDOK, kBetween + "1 and 10.");
    EXPECT_TRUE(waitForFocus(options, IDC_ATTEMPTS));
    EXPECT_FALSE(Contains(settingsText(), "nOffset=125"));

    setText(control(options, IDC_ATTEMPTS), "4 tries");
    ASSERT_TRUE(closeWith(options, IDOK));

    const std::string saved = settingsText();
    for (const char* line :
         {"nLogFileLen=250\r\n", "nSynPeriod=4\r\n", "nOffset=125\r\n", "nMaxAttempts=4\r\n",
          "nTimeOut=5\r\n", "nStartingServ=0\r\n", "bOnlySuccLog=1\r\n"}) {
        EXPECT_TRUE(Contains(saved, line)) << line << " missing from\n" << saved;
    }
    EXPECT_TRUE(WaitForFileText(log, "Options are updated."));
    EXPECT_EQ(waitForMessageBox("Error", console.pid(), 0ms), nullptr);
}

TEST_F(ConsoleDialogsE2eTest, OptionsRestoreDefaultThenCancelLeaveFileAndMemoryAsTheyWere) {
    HWND main = startConsole();
    ASSERT_NE(main, nullptr);
    HWND options = openDialog(main, IDC_OPTIONS, "Options");
    ASSERT_NE(options, nullptr);
    const std::string before = settingsText();  // after the write-access probe

    click(options, IDC_RESTORE_DEFAULTS);
    EXPECT_TRUE(isChecked(options, IDC_MODE_DAILY));
    EXPECT_TRUE(isChecked(options, IDC_AHEAD));
    EXPECT_EQ(text(options, IDC_MINUTES), "0");
    EXPECT_EQ(text(options, IDC_SECONDS), "0");
    EXPECT_EQ(text(options, IDC_ATTEMPTS), "5");
    EXPECT_TRUE(isChecked(options, IDC_ONLY_SUCCESS));
    ASSERT_TRUE(closeWith(options, IDCANCEL));
    EXPECT_EQ(settingsText(), before);

    options = openDialog(main, IDC_OPTIONS, "Options");
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(isChecked(options, IDC_BACKWARD));
    EXPECT_EQ(text(options, IDC_SECONDS), "30");
    EXPECT_TRUE(closeWith(options, IDCANCEL));
}

// --- Time Servers and Add New Server -------------------------------------------------------------

TEST_F(ConsoleDialogsE2eTest, ServersAddStripDeleteByKeyboardAndOkReachTheFileAndTheService) {
    writeSettings(LoopbackSettings(kThree, 2));
    ASSERT_TRUE(startService());
    HWND main = startConsole();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(text(main, IDC_SERVER_TITLE), "Loop three");
    HWND servers = openDialog(main, IDC_SERVER, "Time Servers");
    ASSERT_NE(servers, nullptr);
    HWND list = control(servers, IDC_SERVER_LIST);

    EXPECT_EQ(rows(list), (std::vector<std::string>{"Loop one", "Loop two", "Loop three"}));
    EXPECT_EQ(rows(list, 1), (std::vector<std::string>{"User", "Prog", "User"}));
    EXPECT_EQ(selectedRow(list), 2);
    EXPECT_EQ(text(servers, IDC_CURRENT_SERVER), "Loop three");

    HWND add = openDialog(servers, IDC_ADD_SERVER, "Add New Server");
    ASSERT_NE(add, nullptr);
    setText(control(add, IDC_NEW_URL), "127.0.0.1");
    expectWarning(add, IDOK, "Please enter a title for the server.");
    EXPECT_TRUE(waitForFocus(add, IDC_NEW_TITLE));
    setText(control(add, IDC_NEW_TITLE), "Loop~four");
    expectWarning(add, IDOK, "The title must not contain \"~\".");
    setText(control(add, IDC_NEW_TITLE), "  Loop four ");
    setText(control(add, IDC_NEW_URL), "http://127.0.0.1");
    takeScreenshot(add, "add-new-server.png");
    ASSERT_TRUE(closeWith(add, IDOK));

    add = openDialog(servers, IDC_ADD_SERVER, "Add New Server");
    ASSERT_NE(add, nullptr);
    setText(control(add, IDC_NEW_TITLE), "Loop five");
    setText(control(add, IDC_NEW_URL), "http:\\\\127.0.0.1");
    ASSERT_TRUE(closeWith(add, IDOK));
    EXPECT_EQ(rows(list),
              (std::vector<std::string>{"Loop one", "Loop two", "Loop three", "Loop four", "Loop five"}));
    EXPECT_EQ(rowText(list, 3, 1), "User");
    takeScreenshot(servers, "time-servers.png");

    // A click on row 0, then the down arrow: the highlighted row 1 is the one deleted.
    ASSERT_TRUE(clickRow(list, 0));
    EXPECT_TRUE(waitForText(servers, IDC_CURRENT_SERVER, "Loop one"));
    pressKey(list, VK_DOWN);
    ASSERT_TRUE(WaitUntil([&] { return selectedRow(list) == 1; }, kWait));
    EXPECT_TRUE(waitForText(servers, IDC_CURRENT_SERVER, "Loop two"));
    click(servers, IDC_DELETE_SERVER);
    EXPECT_EQ(rows(list), (std::vector<std::string>{"Loop one", "Loop three", "Loop four", "Loop five"}));
    EXPECT_EQ(selectedRow(list), 0);

    pressKey(list, VK_END);
    EXPECT_TRUE(waitForText(servers, IDC_CURRENT_SERVER, "Loop five"));
    ASSERT_TRUE(closeWith(servers, IDOK));

    const std::string saved = settingsText();
    for (const char* line :
         {"Servers_Counter=4\r\n", "Servers 0=Loop one~127.0.0.1~1\r\n",
          "Servers 1=Loop three~127.0.0.1~1\r\n", "Servers 2=Loop four~127.0.0.1~1\r\n",
          "Servers 3=Loop five~127.0.0.1~1\r\n", "nStartingServ=3\r\n", "nOffset=-90\r\n"}) {
        EXPECT_TRUE(Contains(saved, line)) << line << " missing from\n" << saved;
    }
    EXPECT_TRUE(waitForText(main, IDC_SERVER_TITLE, "Loop five"));
    EXPECT_TRUE(WaitForFileText(log, "Options are updated."));
}

TEST_F(ConsoleDialogsE2eTest, ServersCancelAfterAddAndDeleteLeavesFileAndMemoryAsTheyWere) {
    HWND main = startConsole();
    ASSERT_NE(main, nullptr);
    HWND servers = openDialog(main, IDC_SERVER, "Time Servers");
    ASSERT_NE(servers, nullptr);
    const std::string before = settingsText();  // after the write-access probe
    HWND list = control(servers, IDC_SERVER_LIST);

    click(servers, IDC_DELETE_SERVER);
    HWND add = openDialog(servers, IDC_ADD_SERVER, "Add New Server");
    ASSERT_NE(add, nullptr);
    setText(control(add, IDC_NEW_TITLE), "Loop four");
    setText(control(add, IDC_NEW_URL), "127.0.0.1");
    ASSERT_TRUE(closeWith(add, IDOK));
    // The deleted row stays deleted after the addition.
    EXPECT_EQ(rows(list), (std::vector<std::string>{"Loop two", "Loop three", "Loop four"}));
    ASSERT_TRUE(closeWith(servers, IDCANCEL));
    EXPECT_EQ(settingsText(), before);

    servers = openDialog(main, IDC_SERVER, "Time Servers");
    ASSERT_NE(servers, nullptr);
    EXPECT_EQ(rows(control(servers, IDC_SERVER_LIST)),
              (std::vector<std::string>{"Loop one", "Loop two", "Loop three"}));
    EXPECT_TRUE(closeWith(servers, IDCANCEL));

    // Nor does the next Options OK write the cancelled list.
    HWND options = openDialog(main, IDC_OPTIONS, "Options");
    ASSERT_NE(options, nullptr);
    ASSERT_TRUE(closeWith(options, IDOK));
    EXPECT_TRUE(Contains(settingsText(), "Servers_Counter=3\r\n"));
    EXPECT_FALSE(Contains(settingsText(), "Loop four"));
}

TEST_F(ConsoleDialogsE2eTest, TheLastServerCannotBeDeleted) {
    writeSettings(LoopbackSettings({{"Only loop", 1}}));
    HWND main = startConsole();
    ASSERT_NE(main, nullptr);
    HWND servers = openDialog(main, IDC_SERVER, "Time Servers");
    ASSERT_NE(servers, nullptr);

    expectWarning(servers, IDC_DELETE_SERVER, "At least one server must be present!");
    EXPECT_EQ(rows(control(servers, IDC_SERVER_LIST)), std::vector<std::string>{"Only loop"});
    EXPECT_EQ(text(servers, IDC_CURRENT_SERVER), "Only loop");
    EXPECT_TRUE(closeWith(servers, IDCANCEL));
}

// Without the service: the restored default list reaches the file, and no program may run
// against it. TearDown writes the loopback file back.
TEST_F(ConsoleDialogsE2eTest, RestoreDefaultKeepsTheUsersServersFirstAndOkSavesTheDefaultsAfterThem) {
    HWND main = startConsole();
    ASSERT_NE(main, nullptr);
    HWND servers = openDialog(main, IDC_SERVER, "Time Servers");
    ASSERT_NE(servers, nullptr);
    HWND list = control(servers, IDC_SERVER_LIST);

    click(servers, IDC_RESTORE_SERVERS);
    ASSERT_EQ(rowCount(list), 20);
    EXPECT_EQ(rowText(list, 0, 0), "Loop one");
    EXPECT_EQ(rowText(list, 1, 0), "Loop three");
    EXPECT_EQ(rowText(list, 2, 0), "USA. NIST, Gaithersburg, Maryland - 1");
    EXPECT_EQ(rowText(list, 2, 1), "Prog");
    EXPECT_EQ(rowText(list, 19, 0), "Switzerland. Integrated Systems Laboratory. Zurich");
    EXPECT_EQ(selectedRow(list), 0);
    EXPECT_EQ(text(servers, IDC_CURRENT_SERVER), "Loop one");
    ASSERT_TRUE(closeWith(servers, IDOK));

    const std::string saved = settingsText();
    EXPECT_TRUE(Contains(saved, "Servers_Counter=20\r\n")) << saved;
    EXPECT_TRUE(Contains(saved, "Servers 1=Loop three~127.0.0.1~1\r\n")) << saved;
    EXPECT_FALSE(Contains(saved, "Loop two")) << saved;
    console.terminate();
}

}  // namespace
