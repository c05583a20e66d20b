// The Options dialog's logic against fake ports: what it shows from the settings, how it
// reads and checks its fields, what OK stores and saves, and that "Restore Default" and
// Cancel leave the settings alone.

#include "console/OptionsLogic.h"

#include "console/resource.h"
#include "settings/Settings.h"
#include "tests/support/FakeConsoleUi.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/unit/FakeDialogView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kIni = "zHoraluxServ.ini";
constexpr int kCancel = 2;  // the platform's IDCANCEL
const std::string kBetween = "Please enter an integer between ";
const std::vector<int> kModes = {IDC_MODE_DAILY, IDC_MODE_ON_START, IDC_MODE_HOURLY, IDC_MODE_ON_DEMAND,
                                 IDC_MODE_CONTINUOUS};
const std::vector<int> kDirections = {IDC_AHEAD, IDC_BACKWARD};

class OptionsDialogTest : public ::testing::Test {
protected:
    // Settings as the file gives them; the dialog opened on them.
    void open(const std::string& options) {
        store.setText(kIni,
                      "[Servers]\nServers_Counter=1\nServers 0=Loop~127.0.0.1~1\n[Options]\n" + options);
        settings.Load();
        fileBefore = store.text(kIni);
        logic.OnInit();
    }

    int fileValue(const char* key) const { return store.readInt(kIni, "Options", key, -999); }

    // The one box of a refused OK; the dialog stays open and nothing is stored.
    void expectRefused(const std::string& message, int control) {
        ASSERT_EQ(view.boxes.size(), 1u) << message;
        EXPECT_EQ(view.boxes[0].text, message);
        EXPECT_EQ(view.boxes[0].caption, "HoraluxCons");
        EXPECT_EQ(view.boxes[0].icon, MessageIcon::Warning);
        EXPECT_EQ(view.focused, std::vector<int>{control});
        EXPECT_FALSE(view.ended);
        EXPECT_EQ(store.text(kIni), fileBefore);
    }

    CFakeProfileStore store;
    CSettings settings{store, [] { return std::string("probe"); }};
    CFakeConsoleUi app;
    CFakeDialogView view;
    COptionsLogic logic{view, app, settings};
    std::string fileBefore;
};

// --- what the dialog shows ------------------------------------------------------------------

TEST_F(OptionsDialogTest, ShowsTheSettingsWithANegativeShiftAsBackwardMinutesAndSeconds) {
    open("nSynPeriod=2\nnOffset=-90\nnMaxAttempts=7\nbOnlySuccLog=0\nnLogFileLen=250\n");

    EXPECT_TRUE(view.checks[IDC_MODE_HOURLY]);
    EXPECT_FALSE(view.checks[IDC_MODE_DAILY]);
    EXPECT_TRUE(view.checks[IDC_BACKWARD]);
    EXPECT_FALSE(view.checks[IDC_AHEAD]);
    EXPECT_EQ(view.texts[IDC_MINUTES], "1");
    EXPECT_EQ(view.texts[IDC_SECONDS], "30");
    EXPECT_EQ(view.texts[IDC_ATTEMPTS], "7");
    EXPECT_EQ(view.texts[IDC_LOG_LINES], "250");
    EXPECT_FALSE(view.checks[IDC_ONLY_SUCCESS]);
    // The arrows: minutes only 0 to 10, although -10 to 10 may be typed in.
    EXPECT_EQ(view.upDowns[IDC_MINUTES_SPIN].lower, 0);
    EXPECT_EQ(view.upDowns[IDC_MINUTES_SPIN].upper, 10);
    EXPECT_EQ(view.upDowns[IDC_MINUTES_SPIN].position, 1);
    EXPECT_EQ(view.upDowns[IDC_SECONDS_SPIN].upper, 59);
    EXPECT_EQ(view.upDowns[IDC_SECONDS_SPIN].position, 30);
    EXPECT_EQ(view.upDowns[IDC_ATTEMPTS_SPIN].lower, 1);
    EXPECT_EQ(view.upDowns[IDC_ATTEMPTS_SPIN].upper, 10);
    EXPECT_EQ(view.upDowns[IDC_ATTEMPTS_SPIN].position, 7);
}

// Values the file may not hold reach the dialog as their defaults, and OK stores those.
TEST_F(OptionsDialogTest, ValuesOutOfRangeInTheFileShowAsTheirDefaults) {
    open("nSynPeriod=7\nnOffset=3600\nnMaxAttempts=0\n");
    EXPECT_TRUE(view.checks[IDC_MODE_DAILY]);
    EXPECT_EQ(view.texts[IDC_MINUTES], "0");
    EXPECT_EQ(view.texts[IDC_ATTEMPTS], "5");

    logic.OnCommand(kDialogOk);
    EXPECT_EQ(view.ended, true);
    EXPECT_EQ(fileValue("nSynPeriod"), 0);
    EXPECT_EQ(fileValue("nOffset"), 0);
    EXPECT_EQ(fileValue("nMaxAttempts"), 5);
}

// --- what OK stores ---------------------------------------------------------------------------

TEST_F(OptionsDialogTest, OkCombinesMinutesSecondsAndDirectionIntoTheShift) {
    struct Case {
        const char* minutes;
        const char* seconds;
        int direction;
        int stored;
    };
    const Case cases[] = {
        {"-1", "30", IDC_AHEAD, -30}, {"-1", "30", IDC_BACKWARD, 30}, {"10", "59", IDC_BACKWARD, -659},
        {"0", "0", IDC_BACKWARD, 0},  {"2", "5", IDC_AHEAD, 125},
    };
    for (const Case& c : cases) {
        CFakeDialogView dialog;
        COptionsLogic options{dialog, app, settings};
        options.OnInit();
        dialog.texts[IDC_MINUTES] = c.minutes;
        dialog.texts[IDC_SECONDS] = c.seconds;
        dialog.choose(kDirections, c.direction);
        options.OnCommand(kDialogOk);
        EXPECT_EQ(settings.m_nOffset, c.stored) << c.minutes << " " << c.seconds << " " << c.direction;
        EXPECT_EQ(fileValue("nOffset"), c.stored);
    }
}

TEST_F(OptionsDialogTest, OkStoresEveryFieldAndSavesAllSevenKeys) {
    open("nTimeOut=33\nnStartingServ=0\n");
    view.choose(kModes, IDC_MODE_CONTINUOUS);
    view.texts[IDC_ATTEMPTS] = "3";
    view.texts[IDC_LOG_LINES] = "30000";
    view.checks[IDC_ONLY_SUCCESS] = false;

    logic.OnCommand(kDialogOk);

    EXPECT_EQ(view.ended, true);
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(store.text(kIni).substr(store.text(kIni).find("[Options]")),
              "[Options]\r\nnTimeOut=33\r\nnStartingServ=0\r\nnLogFileLen=30000\r\nnSynPeriod=4\r\n"
              "nOffset=0\r\nnMaxAttempts=3\r\nbOnlySuccLog=0\r\n");
}

TEST_F(OptionsDialogTest, IntegersAreReadAsPercentDReadsThem) {
    const std::pair<std::string, int> accepted[] = {
        {"5abc", 5}, {"  7", 7}, {"+4 tries", 4}, {"\t10", 10}, {std::string(62, ' ') + "9", 9},
    };
    for (const auto& [typed, value] : accepted) {
        CFakeDialogView dialog;
        COptionsLogic options{dialog, app, settings};
        options.OnInit();
        dialog.texts[IDC_ATTEMPTS] = typed;
        options.OnCommand(kDialogOk);
        EXPECT_EQ(settings.m_nMaxAttempts, value) << '"' << typed << '"';
        EXPECT_TRUE(dialog.boxes.empty()) << '"' << typed << '"';
    }
    EXPECT_EQ(ReadDialogInteger(std::string(63, ' ') + "9"), std::nullopt);  // beyond the 63 read
    EXPECT_EQ(ReadDialogInteger("-"), std::nullopt);
    EXPECT_EQ(ReadDialogInteger("- 5"), std::nullopt);
    EXPECT_EQ(ReadDialogInteger("99999999999"), 2147483647);
    EXPECT_EQ(ReadDialogInteger("-99999999999"), -2147483647 - 1);
}

// --- what OK refuses --------------------------------------------------------------------------

struct RefusedCase {
    const char* name;
    int control;
    const char* typed;
    std::string message;
};

void PrintTo(const RefusedCase& refused, std::ostream* out) {
    *out << refused.name;
}

class OptionsRefusalTest : public OptionsDialogTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(OptionsRefusalTest, ShowsTheMessageFocusesTheFieldAndStoresNothing) {
    open("nOffset=-90\n");
    const CSettings before = settings;
    view.texts[GetParam().control] = GetParam().typed;

    logic.OnCommand(kDialogOk);

    expectRefused(GetParam().message, GetParam().control);
    EXPECT_EQ(settings.m_nOffset, before.m_nOffset);
    EXPECT_EQ(settings.m_nMaxAttempts, before.m_nMaxAttempts);
    EXPECT_EQ(settings.m_nLogFileLen, before.m_nLogFileLen);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, OptionsRefusalTest,
    ::testing::Values(RefusedCase{"EmptyMinutes", IDC_MINUTES, "", "Please enter an integer."},
                      RefusedCase{"LetterLedMinutes", IDC_MINUTES, "x5", "Please enter an integer."},
                      RefusedCase{"MinutesBelowMinusTen", IDC_MINUTES, "-11", kBetween + "-10 and 10."},
                      RefusedCase{"NoAttempts", IDC_ATTEMPTS, "0", kBetween + "1 and 10."},
                      RefusedCase{"ElevenAttempts", IDC_ATTEMPTS, "11", kBetween + "1 and 10."},
                      RefusedCase{"SixtySeconds", IDC_SECONDS, "60", kBetween + "0 and 59."},
                      RefusedCase{"NegativeSeconds", IDC_SECONDS, "-1", kBetween + "0 and 59."},
                      RefusedCase{"NineLogLines", IDC_LOG_LINES, "9", kBetween + "10 and 30000."},
                      RefusedCase{"HugeLogLines", IDC_LOG_LINES, "99999999999", kBetween + "10 and 30000."},
                      RefusedCase{"BlankLogLines", IDC_LOG_LINES, "   ", "Please enter an integer."}),
    [](const ::testing::TestParamInfo<RefusedCase>& param) { return std::string(param.param.name); });

TEST_F(OptionsDialogTest, OnlyTheFirstFailingFieldIsReported) {
    open("");
    view.texts[IDC_LOG_LINES] = "1";
    view.texts[IDC_ATTEMPTS] = "abc";
    view.texts[IDC_MINUTES] = "";

    logic.OnCommand(kDialogOk);
    expectRefused("Please enter an integer.", IDC_MINUTES);

    view.boxes.clear();
    view.focused.clear();
    view.texts[IDC_MINUTES] = "0";
    logic.OnCommand(kDialogOk);
    expectRefused("Please enter an integer.", IDC_ATTEMPTS);  // attempts come before seconds and log
}

// --- Restore Default, the mode buttons, Help ------------------------------------------------

TEST_F(OptionsDialogTest, RestoreDefaultShowsTheDefaultsButLeavesTheSettingsUntilOk) {
    open(
        "nSynPeriod=3\nnOffset=-90\nnMaxAttempts=9\nnTimeOut=40\nbOnlySuccLog=0\nnLogFileLen="
        "500\nnStartingServ=0\n");

    logic.OnCommand(IDC_RESTORE_DEFAULTS);

    EXPECT_TRUE(view.checks[IDC_MODE_DAILY]);
    EXPECT_TRUE(view.checks[IDC_AHEAD]);
    EXPECT_EQ(view.texts[IDC_MINUTES], "0");
    EXPECT_EQ(view.texts[IDC_SECONDS], "0");
    EXPECT_EQ(view.texts[IDC_ATTEMPTS], "5");
    EXPECT_EQ(view.texts[IDC_LOG_LINES], "100");
    EXPECT_TRUE(view.checks[IDC_ONLY_SUCCESS]);
    // Cancel now would leave everything as it was.
    EXPECT_EQ(settings.m_nSynPeriod, 3);
    EXPECT_EQ(settings.m_nOffset, -90);
    EXPECT_EQ(settings.m_nTimeOut, 40);
    EXPECT_EQ(store.text(kIni), fileBefore);

    logic.OnCommand(kDialogOk);
    EXPECT_EQ(view.ended, true);
    const std::pair<const char*, int> saved[] = {
        {"nSynPeriod", 0}, {"nOffset", 0},      {"nMaxAttempts", 5},
        {"nTimeOut", 20},  {"bOnlySuccLog", 1}, {"nLogFileLen", 100},
    };
    for (const auto& [key, value] : saved)
        EXPECT_EQ(fileValue(key), value) << key;
}

TEST_F(OptionsDialogTest, DailyAndHourlyCheckAndRedisplayTheFieldsWithoutStoring) {
    open("nSynPeriod=3\n");
    view.texts[IDC_ATTEMPTS] = "5abc";
    view.choose(kModes, IDC_MODE_HOURLY);

    EXPECT_TRUE(logic.OnCommand(IDC_MODE_HOURLY));
    EXPECT_EQ(view.texts[IDC_ATTEMPTS], "5");
    EXPECT_EQ(logic.fields().nMode, 2);
    EXPECT_EQ(settings.m_nSynPeriod, 3);

    view.texts[IDC_SECONDS] = "75";
    view.choose(kModes, IDC_MODE_DAILY);
    EXPECT_TRUE(logic.OnCommand(IDC_MODE_DAILY));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, kBetween + "0 and 59.");
    EXPECT_EQ(view.texts[IDC_SECONDS], "75");  // the typed text stays for the user to mend
    EXPECT_EQ(logic.fields().nMode, 2);

    // The other mode buttons are plain radio buttons.
    EXPECT_FALSE(logic.OnCommand(IDC_MODE_ON_START));
    EXPECT_FALSE(logic.OnCommand(IDC_MODE_ON_DEMAND));
    EXPECT_FALSE(logic.OnCommand(IDC_MODE_CONTINUOUS));
    EXPECT_FALSE(logic.OnCommand(kCancel));
    EXPECT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(store.text(kIni), fileBefore);
}

TEST_F(OptionsDialogTest, HelpOpensTheHelpFile) {
    open("");
    EXPECT_TRUE(logic.OnCommand(IDC_OPTIONS_HELP));
    EXPECT_EQ(app.opened, std::vector<std::string>{"zHoraluxHelp.chm"});
}

}  // namespace
