// The console's main window logic against a fake UI: search and announcement, the
// buttons, the progress bar, the service's notices, the log display and its clearing.

#include "console/ConsoleLogic.h"

#include "common/LogResult.h"
#include "common/WindowMessages.h"
#include "console/OptionsLogic.h"
#include "console/ServersLogic.h"
#include "console/resource.h"
#include "settings/Settings.h"
#include "tests/support/FakeChannelClient.h"
#include "tests/support/FakeConsoleUi.h"
#include "tests/support/FakeElevation.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/unit/FakeDialogView.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr WindowId kService = 0x2000;
constexpr WindowId kOther = 0x3000;
const std::string kIni = "zHoraluxServ.ini";
const std::string kLog = "zHoraluxServ.log";
const std::string kNoRights = "You have not rights to change options. Please call the System Administrator.";
const std::string kMissing = "\nHoralux Service does not work now!";

class ConsoleLogicTest : public ::testing::Test {
protected:
    ConsoleLogicTest() {
        store.setText(kIni,
                      "[Servers]\nServers_Counter=2\nServers 0=First~127.0.0.2~1\n"
                      "Servers 1=Second~127.0.0.3~1\n[Options]\nnStartingServ=1\n");
        settings.Load();
        ui.strings[IDS_NO_RIGHTS] = kNoRights;
        ui.windows = {{kOther, "Some window"}, {kService, "Horalux Clock Service Executer"}};
        ui.files[kLog] = "line 1\nline 2\n";
    }

    // The console as it is once the service has answered its announcement.
    void startConnected() {
        logic.OnInit();
        logic.OnServiceHello();
        ui.posted.clear();
    }

    void makeSettingsReadOnly() { store.setReadOnly(kIni, true); }

    CFakeProfileStore store;
    CSettings settings{store, [] { return std::string("12/8/2025 1:23:45 AM"); }};
    CFakeConsoleUi ui;
    CFakeChannelClient channel;  // no service serves it, unless a test says so
    CFakeElevation elevation;
    CConsoleLogic logic{ui, settings, channel, elevation};
};

// --- start-up and the search for the service -------------------------------------------

TEST_F(ConsoleLogicTest, InitAnnouncesItselfShowsLogServerTitleAndIcon) {
    logic.OnInit();

    ASSERT_EQ(ui.posted.size(), 1u);
    EXPECT_EQ(ui.posted[0].target, kService);
    EXPECT_EQ(ui.posted[0].message, UM_CONSOLE_HELLO);
    EXPECT_EQ(ui.posted[0].wParam, CFakeConsoleUi::kMainWindow);
    EXPECT_EQ(ui.posted[0].lParam, 0);
    EXPECT_EQ(ui.fields[ConsoleField::Log], "line 1\r\nline 2\r\n");
    EXPECT_EQ(ui.fields[ConsoleField::Server], "Second");
    EXPECT_EQ(ui.fieldText(ConsoleField::Result), "");
    EXPECT_EQ(ui.windowTitle, "Horalux Clock Service Console");
    EXPECT_EQ(ui.smallIcon, 137);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.runningTimers.empty());
}

TEST_F(ConsoleLogicTest, SearchMatchesTheTitleWithoutCaseAndTakesTheFirstMatch) {
    ui.windows = {{kOther, "horalux clock service executer"}, {kService, "HORALUX CLOCK SERVICE EXECUTER"}};
    logic.OnInit();
    EXPECT_EQ(logic.serviceWindow(), kOther);

    ui.windows = {{kOther, "Horalux Clock Service Executer 2"}, {kService, "Horalux Clock Service"}};
    ui.posted.clear();
    logic.OnSynchronizeNow();
    EXPECT_EQ(logic.serviceWindow(), 0u);
    EXPECT_TRUE(ui.posted.empty());
}

TEST_F(ConsoleLogicTest, WithoutServiceNothingIsPostedAndNoLogShowsEmpty) {
    ui.windows.clear();
    ui.files.clear();
    logic.OnInit();
    EXPECT_TRUE(ui.posted.empty());
    EXPECT_EQ(ui.fieldText(ConsoleField::Log), "");
    EXPECT_TRUE(ui.boxes.empty());
}

// --- Synchronize now ---------------------------------------------------------------------

TEST_F(ConsoleLogicTest, SynchronizeBeforeTheReplyAnnouncesAgainAndReportsTheServiceMissing) {
    logic.OnInit();
    ui.posted.clear();

    logic.OnSynchronizeNow();

    ASSERT_EQ(ui.posted.size(), 1u);
    EXPECT_EQ(ui.posted[0].message, UM_CONSOLE_HELLO);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, kMissing);
    EXPECT_EQ(ui.boxes[0].caption, "Error");
    EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Error);
    EXPECT_TRUE(ui.runningTimers.empty());

    logic.OnServiceHello();
    logic.OnSynchronizeNow();
    EXPECT_EQ(ui.boxes.size(), 1u);
    ASSERT_EQ(ui.postedOf(UM_SYNC_NOW).size(), 1u);
    EXPECT_EQ(ui.postedOf(UM_SYNC_NOW)[0].target, kService);
}

TEST_F(ConsoleLogicTest, SynchronizeStartsOneTimerAndRestartsTheBar) {
    startConnected();
    logic.OnSynchronizeNow();
    EXPECT_EQ(ui.runningTimers, (std::map<unsigned, unsigned>{{1u, 100u}}));
    EXPECT_EQ(logic.timerId(), 1u);

    for (int i = 0; i < 5; ++i)
        logic.ShowProgressTick();
    ui.progressPositions.clear();
    logic.OnSynchronizeNow();
    logic.ShowProgressTick();

    EXPECT_EQ(ui.timerStarts, 1);
    EXPECT_EQ(ui.progressPositions, std::vector<int>{0});
    EXPECT_EQ(ui.postedOf(UM_SYNC_NOW).size(), 2u);
    EXPECT_EQ(ui.postedOf(UM_CONSOLE_HELLO).size(), 2u);
}

TEST_F(ConsoleLogicTest, SynchronizeClearsTheResultFirstEvenWhenTheServiceIsMissing) {
    startConnected();
    logic.OnSyncResult(LOG_SUCCEEDED);
    ui.windows.clear();

    logic.OnSynchronizeNow();

    EXPECT_EQ(ui.fieldText(ConsoleField::Result), "");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, kMissing);
}

TEST_F(ConsoleLogicTest, AStoppedServiceIsMissingAndARestartedOneWorksAtOnce) {
    startConnected();
    ui.windows.clear();
    logic.OnSynchronizeNow();
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.posted.empty());

    ui.windows = {{0x4000, "Horalux Clock Service Executer"}};
    logic.OnSynchronizeNow();
    EXPECT_EQ(ui.boxes.size(), 1u);
    ASSERT_EQ(ui.postedOf(UM_SYNC_NOW).size(), 1u);
    EXPECT_EQ(ui.postedOf(UM_SYNC_NOW)[0].target, 0x4000u);
}

TEST_F(ConsoleLogicTest, ATimerThatCannotStartIsTriedAgainAtTheNextPress) {
    startConnected();
    ui.timersFail = true;
    logic.OnSynchronizeNow();
    EXPECT_EQ(logic.timerId(), 0u);
    ui.timersFail = false;
    logic.OnSynchronizeNow();
    EXPECT_EQ(logic.timerId(), 1u);
}

// --- Break ---------------------------------------------------------------------------------

TEST_F(ConsoleLogicTest, BreakPostsToTheLastFoundWindowWithoutSearchingOrChecking) {
    logic.OnInit();
    ui.posted.clear();
    ui.windows.clear();  // gone since, but Break does not search again

    logic.OnBreak();

    ASSERT_EQ(ui.posted.size(), 1u);
    EXPECT_EQ(ui.posted[0].target, kService);
    EXPECT_EQ(ui.posted[0].message, UM_SYNC_BREAK);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ConsoleLogicTest, BreakWithoutAFoundWindowSendsNothing) {
    ui.windows.clear();
    logic.OnInit();
    logic.OnBreak();
    EXPECT_TRUE(ui.posted.empty());
    EXPECT_TRUE(ui.boxes.empty());
}

// --- the progress bar ------------------------------------------------------------------------

TEST_F(ConsoleLogicTest, TheBarSweepsZeroToHundredThenStartsAgain) {
    startConnected();
    logic.OnSynchronizeNow();
    for (int i = 0; i < 103; ++i)
        logic.ShowProgressTick();

    ASSERT_EQ(ui.progressPositions.size(), 103u);
    for (int i = 0; i <= 100; ++i)
        EXPECT_EQ(ui.progressPositions[i], i);
    EXPECT_EQ(ui.progressPositions[101], 0);
    EXPECT_EQ(ui.progressPositions[102], 1);
}

TEST_F(ConsoleLogicTest, StopProgressKillsTheTimerAndPutsTheBarAtZero) {
    startConnected();
    logic.OnSynchronizeNow();
    logic.ShowProgressTick();
    logic.ShowProgressTick();

    logic.StopProgress();

    EXPECT_TRUE(ui.runningTimers.empty());
    EXPECT_EQ(logic.timerId(), 0u);
    EXPECT_EQ(logic.progressPosition(), 0);
    EXPECT_EQ(ui.progressPositions.back(), 0);
}

TEST_F(ConsoleLogicTest, TicksLeaveALongLogAloneSoTheUserCanScrollIt) {
    std::string longLog;
    for (int i = 0; i < 30; ++i)
        longLog += "A long line of the log, number " + std::to_string(i) + "\n";
    ui.files[kLog] = longLog;
    startConnected();
    ASSERT_GT(ui.fieldText(ConsoleField::Log).size(), 255u);
    const int writesBefore = ui.fieldWrites[ConsoleField::Log];

    logic.OnSynchronizeNow();
    for (int i = 0; i < 50; ++i)
        logic.ShowProgressTick();

    EXPECT_EQ(ui.fieldWrites[ConsoleField::Log], writesBefore);
}

TEST_F(ConsoleLogicTest, TicksNeitherWriteNorReadBackFieldsThatAlreadyShowTheirText) {
    startConnected();
    logic.OnSynchronizeNow();
    const int reads = ui.fieldReads;
    const auto writes = ui.fieldWrites;
    for (int i = 0; i < 20; ++i)
        logic.ShowProgressTick();
    EXPECT_EQ(ui.fieldReads, reads);
    EXPECT_EQ(ui.fieldWrites, writes);
}

TEST_F(ConsoleLogicTest, AFieldAlreadyShowingItsTextAtStartIsNotWritten) {
    ui.fields[ConsoleField::Log] = "line 1\r\nline 2\r\n";
    logic.OnInit();
    EXPECT_EQ(ui.fieldWrites[ConsoleField::Log], 0);
    EXPECT_EQ(ui.fieldWrites[ConsoleField::Server], 1);
}

// --- notices from the service ------------------------------------------------------------

TEST_F(ConsoleLogicTest, NoticesSetTheResultReloadTheLogAndStopTheBarOnlyWhenFinished) {
    struct Case {
        int code;
        const char* result;
        bool running;
    };
    const Case cases[] = {
        {LOG_FAILED, "Synchronization Failed.", true},
        {LOG_SUCCEEDED, "Successful Synchronization.", false},
        {LOG_BROKEN, "Synchronization is broken by the user.", false},
        {LOG_RELOADED, "Log File is updated.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        CFakeConsoleUi fresh;
        fresh.windows = ui.windows;
        fresh.files[kLog] = "old\n";
        CConsoleLogic console{fresh, settings, channel, elevation};
        console.OnInit();
        console.OnServiceHello();
        console.OnSynchronizeNow();
        for (int i = 0; i < 7; ++i)
            console.ShowProgressTick();
        fresh.files[kLog] = "old\nnew\n";

        console.OnSyncResult(c.code);

        EXPECT_EQ(fresh.fieldText(ConsoleField::Result), c.result);
        EXPECT_EQ(fresh.fieldText(ConsoleField::Log), "old\r\nnew\r\n");
        EXPECT_EQ(!fresh.runningTimers.empty(), c.running);
        EXPECT_EQ(console.progressPosition(), c.running ? 7 : 0);
        if (!c.running) {
            EXPECT_EQ(fresh.progressPositions.back(), 0);
        }
    }
}

// The log file's trouble is said in a box and leaves the window as it is; an unknown notice
// changes nothing at all.
TEST_F(ConsoleLogicTest, TheLogFilesTroubleIsABoxAndAnUnknownNoticeChangesNothing) {
    startConnected();
    logic.OnSynchronizeNow();
    logic.ShowProgressTick();
    ui.files[kLog] = "changed\n";
    const auto writes = ui.fieldWrites;

    logic.OnSyncResult(LOG_UNWRITTEN);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, CConsoleLogic::kLogUnwrittenText);
    EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Warning);
    logic.OnSyncResult(5);
    logic.OnSyncResult(-1);

    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.fieldWrites, writes);
    EXPECT_EQ(ui.fieldText(ConsoleField::Log), "line 1\r\nline 2\r\n");
    EXPECT_EQ(logic.timerId(), 1u);
    EXPECT_EQ(logic.progressPosition(), 1);
}

TEST_F(ConsoleLogicTest, ANewSynchronizationAfterFailureNoticesKeepsOneTimer) {
    startConnected();
    logic.OnSynchronizeNow();
    logic.OnSyncResult(LOG_FAILED);
    logic.OnSyncResult(LOG_FAILED);
    logic.OnSynchronizeNow();
    EXPECT_EQ(ui.timerStarts, 1);
    logic.OnSyncResult(LOG_BROKEN);
    logic.OnSynchronizeNow();
    EXPECT_EQ(ui.timerStarts, 2);
}

// --- Options and Server --------------------------------------------------------------------

TEST_F(ConsoleLogicTest, WithoutWriteAccessOptionsServerAndClearLogWarnAndDoNothing) {
    startConnected();
    makeSettingsReadOnly();
    ui.optionsAnswer = ui.serversAnswer = true;

    logic.OnOptions();
    logic.OnServer();
    logic.OnClearLog();

    ASSERT_EQ(ui.boxes.size(), 3u);
    for (const auto& box : ui.boxes) {
        EXPECT_EQ(box.text, kNoRights);
        EXPECT_EQ(box.caption, "Warning");
        EXPECT_EQ(box.icon, MessageIcon::Warning);
    }
    EXPECT_EQ(ui.optionsRuns + ui.serversRuns, 0);
    EXPECT_TRUE(ui.files.count(kLog));
    EXPECT_TRUE(ui.posted.empty());
}

TEST_F(ConsoleLogicTest, ConfirmedOptionsTellTheServiceOrSayItIsMissing) {
    startConnected();
    ui.optionsAnswer = true;
    logic.OnOptions();
    ASSERT_EQ(ui.posted.size(), 1u);
    EXPECT_EQ(ui.posted[0].message, UM_OPTIONS_UPDATED);
    EXPECT_EQ(ui.posted[0].target, kService);
    EXPECT_TRUE(ui.boxes.empty());

    CFakeConsoleUi unreplied;
    unreplied.windows = ui.windows;
    unreplied.optionsAnswer = true;
    CConsoleLogic console{unreplied, settings, channel, elevation};
    console.OnInit();
    console.OnOptions();
    EXPECT_TRUE(unreplied.postedOf(UM_OPTIONS_UPDATED).empty());
    ASSERT_EQ(unreplied.boxes.size(), 1u);
    EXPECT_EQ(unreplied.boxes[0].text, kMissing);
}

TEST_F(ConsoleLogicTest, CancelledDialogsChangeNothing) {
    startConnected();
    logic.OnOptions();
    logic.OnServer();
    EXPECT_EQ(ui.optionsRuns, 1);
    EXPECT_EQ(ui.serversRuns, 1);
    EXPECT_TRUE(ui.posted.empty());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ConsoleLogicTest, ConfirmedServersShowTheNewStartingServerAndTellTheService) {
    logic.OnInit();  // no reply needed: the Server button does not check
    ui.posted.clear();
    ui.serversAnswer = true;
    settings.m_nStartingServ = 0;

    logic.OnServer();

    EXPECT_EQ(ui.fieldText(ConsoleField::Server), "First");
    ASSERT_EQ(ui.posted.size(), 1u);
    EXPECT_EQ(ui.posted[0].message, UM_OPTIONS_UPDATED);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ConsoleLogicTest, ConfirmedServersWithoutServiceSendAndReportNothing) {
    ui.windows.clear();
    logic.OnInit();
    ui.serversAnswer = true;
    logic.OnServer();
    EXPECT_TRUE(ui.posted.empty());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ConsoleLogicTest, ASaveRefusedAfterTheRightsCheckIsShownAndTheServiceIsNotTold) {
    startConnected();
    CFakeDialogView view;
    // The file turns read-only while a dialog is open; the user presses OK, reads the box and
    // cancels.
    const auto pressOkOnReadOnlyFile = [&](auto& dialog) {
        store.setReadOnly(kIni, true);
        dialog.OnCommand(kDialogOk);
        store.setReadOnly(kIni, false);
        return view.ended.value_or(false);
    };
    ui.optionsDialog = [&] {
        COptionsLogic options{view, ui, settings};
        options.OnInit();
        view.texts[IDC_ATTEMPTS] = "9";
        return pressOkOnReadOnlyFile(options);
    };
    ui.serversDialog = [&] {
        CServersLogic servers{view, view, ui, settings};
        servers.OnInit();
        servers.OnRowHighlighted(0);
        return pressOkOnReadOnlyFile(servers);
    };

    logic.OnOptions();
    logic.OnServer();

    ASSERT_EQ(view.boxes.size(), 2u);
    for (const auto& box : view.boxes) {
        EXPECT_EQ(box.text, "Access to zHoraluxServ.ini was denied.");
        EXPECT_EQ(box.caption, "HoraluxCons");
        EXPECT_EQ(box.icon, MessageIcon::Error);
    }
    EXPECT_TRUE(ui.postedOf(UM_OPTIONS_UPDATED).empty());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(settings.m_nMaxAttempts, 5);
    EXPECT_EQ(settings.m_nStartingServ, 1);
    EXPECT_EQ(ui.fieldText(ConsoleField::Server), "Second");
    EXPECT_EQ(store.readInt(kIni, "Options", "nMaxAttempts", -1), -1);
}

// --- Clear Log File and Help ----------------------------------------------------------------

TEST_F(ConsoleLogicTest, ClearLogDeletesTheFileAndEmptiesTheDisplay) {
    startConnected();
    logic.OnClearLog();
    EXPECT_EQ(ui.deleted, std::vector<std::string>{kLog});
    EXPECT_EQ(ui.fieldText(ConsoleField::Log), "");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ConsoleLogicTest, ClearLogFailuresNameTheFileAndLeaveTheDisplay) {
    struct Case {
        unsigned long error;
        const char* text;
    };
    const Case cases[] = {
        {2, "zHoraluxServ.log was not found."},
        {3, "zHoraluxServ.log contains an invalid path."},
        {5, "Access to zHoraluxServ.log was denied."},
        {32, "A sharing violation occurred while accessing zHoraluxServ.log."},
        {33, "A locking violation occurred while accessing zHoraluxServ.log."},
        {87, "An unknown error occurred while accessing zHoraluxServ.log."},
    };
    startConnected();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        ui.boxes.clear();
        ui.deleteErrors[kLog] = c.error;
        ui.files[kLog] = "changed\n";

        logic.OnClearLog();

        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, c.text);
        EXPECT_EQ(ui.boxes[0].caption, "HoraluxCons");
        EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Error);
        EXPECT_EQ(ui.fieldText(ConsoleField::Log), "line 1\r\nline 2\r\n");
    }
}

TEST_F(ConsoleLogicTest, ButtonsReachTheirActionsAndAboutAndCancelAreLeftToTheWindow) {
    logic.OnInit();
    ui.posted.clear();
    EXPECT_TRUE(logic.OnCommand(IDC_BREAK));
    ASSERT_EQ(ui.posted.size(), 1u);
    EXPECT_EQ(ui.posted[0].message, UM_SYNC_BREAK);
    EXPECT_TRUE(logic.OnCommand(IDC_HELP_BUTTON));
    EXPECT_EQ(ui.opened, std::vector<std::string>{"zHoraluxHelp.chm"});
    EXPECT_FALSE(logic.OnCommand(IDC_ABOUT));
    EXPECT_FALSE(logic.OnCommand(2));  // Cancel
}

TEST_F(ConsoleLogicTest, HelpOpensTheHelpFile) {
    logic.OpenHelp();
    EXPECT_EQ(ui.opened, std::vector<std::string>{"zHoraluxHelp.chm"});
    EXPECT_TRUE(ui.boxes.empty());
}

// --- the channel ----------------------------------------------------------------------------

TEST_F(ConsoleLogicTest, OverTheChannelTheFirstPressWorksAndEveryRequestTakesIt) {
    channel.bServing = true;
    ui.optionsAnswer = ui.serversAnswer = true;
    logic.OnInit();
    EXPECT_TRUE(logic.viaChannel());

    // No reply has come through any window, yet the first press goes through: the channel's
    // hello was answered before the console decided.
    logic.OnSynchronizeNow();
    logic.OnBreak();
    logic.OnOptions();
    logic.OnServer();

    EXPECT_EQ(channel.sent,
              (std::vector<ChannelKind>{ChannelKind::SyncNow, ChannelKind::SyncBreak,
                                        ChannelKind::OptionsUpdated, ChannelKind::OptionsUpdated}));
    EXPECT_TRUE(ui.posted.empty()) << "nothing goes to the window the channel stands in for";
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(logic.timerId(), 1u);
    EXPECT_EQ(channel.opens, 1);
}

TEST_F(ConsoleLogicTest, ABrokenChannelIsOpenedOnceMoreAndWithoutItTheWindowIsSearched) {
    channel.bServing = true;
    logic.OnInit();
    channel.bOpen = false;  // the service was restarted
    logic.OnBreak();
    EXPECT_EQ(channel.sent, std::vector<ChannelKind>{ChannelKind::SyncBreak});
    EXPECT_EQ(channel.opens, 2);

    // The service has gone for good: Break sends nothing and says so, and the next search finds
    // its window, whose reply has not come yet.
    channel.bOpen = channel.bServing = false;
    logic.OnBreak();
    logic.OnSynchronizeNow();
    EXPECT_FALSE(logic.viaChannel());
    EXPECT_EQ(channel.sent.size(), 1u);
    ASSERT_EQ(ui.posted.size(), 1u);
    EXPECT_EQ(ui.posted[0].message, UM_CONSOLE_HELLO);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, kMissing);
    EXPECT_EQ(ui.boxes[1].text, kMissing);

    // Options or servers confirmed while the channel is lost: saved, but the service was not
    // told, and a box says so each time.
    ui.optionsAnswer = ui.serversAnswer = true;
    for (void (CConsoleLogic::*press)() : {&CConsoleLogic::OnOptions, &CConsoleLogic::OnServer}) {
        channel.bServing = true;
        logic.OnSynchronizeNow();
        channel.bOpen = channel.bServing = false;
        const std::size_t boxes = ui.boxes.size();
        (logic.*press)();
        ASSERT_EQ(ui.boxes.size(), boxes + 1);
        EXPECT_EQ(ui.boxes.back().text, kMissing);
    }
}

// Another program holds the pipe: the console goes to the window, as without a channel, and the
// result field tells of it once, until the service has its channel back.
TEST_F(ConsoleLogicTest, AChannelHeldByAnotherProgramIsToldOfOnceAndTheWindowServes) {
    channel.bServing = channel.bHeldByAnother = true;
    logic.OnInit();
    logic.OnServiceHello();
    EXPECT_FALSE(logic.viaChannel());
    EXPECT_EQ(ui.fields[ConsoleField::Result], "Another program holds the service's channel.");

    logic.OnSynchronizeNow();
    EXPECT_EQ(ui.fields[ConsoleField::Result], "");
    EXPECT_TRUE(channel.sent.empty());
    ASSERT_EQ(ui.posted.size(), 3u);
    EXPECT_EQ(ui.posted[2].message, UM_SYNC_NOW);
    EXPECT_TRUE(ui.boxes.empty());

    channel.bHeldByAnother = false;  // the service has its name again
    logic.OnSynchronizeNow();
    EXPECT_TRUE(logic.viaChannel());
    channel.bOpen = false;
    channel.bHeldByAnother = true;  // and loses it once more
    logic.OnBreak();
    EXPECT_EQ(ui.fields[ConsoleField::Result], "Another program holds the service's channel.");
    EXPECT_EQ(channel.sent, std::vector<ChannelKind>{ChannelKind::SyncNow});
}

// --- elevation on demand ----------------------------------------------------------------------

TEST_F(ConsoleLogicTest, AFilteredAdministratorIsOfferedAnElevatedConsoleStraightIntoTheAction) {
    startConnected();
    makeSettingsReadOnly();
    ui.optionsAnswer = ui.serversAnswer = true;
    elevation.token = ElevationType::Limited;
    elevation.bAnswer = true;

    logic.OnOptions();
    logic.OnServer();
    logic.OnClearLog();

    EXPECT_EQ(elevation.started, (std::vector<std::string>{"/options", "/servers", "/clearlog"}));
    ASSERT_EQ(elevation.questions.size(), 3u);
    EXPECT_EQ(elevation.questions[0],
              "Changing the options needs the rights of an administrator.\nDo you want to continue as "
              "administrator?");
    EXPECT_EQ(elevation.captions[0], "Horalux Clock Service Console");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.optionsRuns + ui.serversRuns, 0);
    EXPECT_TRUE(ui.files.count(kLog));

    // No: nothing more. A start the user declined at the system's prompt: nothing more. A start
    // that failed: the box that says why nothing happens.
    elevation.bAnswer = false;
    logic.OnOptions();
    elevation.bAnswer = true;
    elevation.outcome = ElevatedStart::Declined;
    logic.OnOptions();
    EXPECT_TRUE(ui.boxes.empty());
    elevation.outcome = ElevatedStart::Failed;
    logic.OnOptions();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, kNoRights);
    EXPECT_EQ(elevation.started.size(), 5u);
}

TEST_F(ConsoleLogicTest, StandardAndElevatedUsersGetTheWarningWithoutAnOffer) {
    startConnected();
    makeSettingsReadOnly();
    for (ElevationType token : {ElevationType::Default, ElevationType::Full, ElevationType::Unknown}) {
        elevation.token = token;
        logic.OnOptions();
    }
    EXPECT_EQ(ui.boxes.size(), 3u);
    EXPECT_TRUE(elevation.questions.empty());
}

TEST_F(ConsoleLogicTest, AConsoleStartedIntoAnActionRunsItAndTheArgumentsNameTheActions) {
    startConnected();
    ui.optionsAnswer = true;
    logic.RunStartAction(ConsoleAction::Options);
    logic.RunStartAction(ConsoleAction::Servers);
    logic.RunStartAction(ConsoleAction::None);
    EXPECT_EQ(ui.optionsRuns, 1);
    EXPECT_EQ(ui.serversRuns, 1);
    EXPECT_EQ(ui.postedOf(UM_OPTIONS_UPDATED).size(), 1u);
    logic.RunStartAction(ConsoleAction::ClearLog);
    EXPECT_EQ(ui.deleted, std::vector<std::string>{kLog});

    EXPECT_EQ(ParseConsoleAction({"cpu-probe-7", "/CLEARLOG", "/options"}), ConsoleAction::ClearLog);
    EXPECT_EQ(ParseConsoleAction({"/servers"}), ConsoleAction::Servers);
    EXPECT_EQ(ParseConsoleAction({"options", "-options", "/option"}), ConsoleAction::None);
    for (ConsoleAction action : {ConsoleAction::Options, ConsoleAction::Servers, ConsoleAction::ClearLog}) {
        EXPECT_EQ(ParseConsoleAction({ActionArgument(action)}), action);
    }
}

}  // namespace
