// The Options and Time Servers dialogs while the organisation's policy sets some settings:
// those controls are greyed out with a note saying why, "Restore Default" leaves them as the
// policy has them, and OK writes none of them into the settings file.

#include "console/OptionsLogic.h"
#include "console/ServersLogic.h"

#include "console/resource.h"
#include "settings/Settings.h"
#include "tests/support/FakeConsoleUi.h"
#include "tests/support/FakePolicySource.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/unit/FakeDialogView.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kIni = "zHoraluxServ.ini";

class ManagedDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.setText(kIni,
                      "[Options]\nnSynPeriod=0\nnOffset=30\nnMaxAttempts=5\nnStartingServ=1\n"
                      "[Servers]\nServers_Counter=2\nServers 0=File A~a.test~1\nServers 1=File B~b.test~1\n");
        settings.SetPolicySource(&policy);
    }

    CFakeProfileStore store;
    CFakePolicySource policy;
    CSettings settings{store, [] { return std::string("probe"); }};
    CFakeConsoleUi app;
    CFakeDialogView view;
};

TEST_F(ManagedDialogsTest, OptionsGreysOutManagedSettingsAndOkLeavesTheirFileValues) {
    policy.setNumber("nSynPeriod", 2);
    policy.setText("nOffset", "-90");
    settings.Load();
    COptionsLogic logic(view, app, settings);
    logic.OnInit();

    EXPECT_TRUE(view.isChecked(IDC_MODE_HOURLY));
    EXPECT_TRUE(view.isChecked(IDC_BACKWARD));
    for (int id :
         {IDC_MODE_DAILY, IDC_MODE_ON_START, IDC_MODE_HOURLY, IDC_MODE_ON_DEMAND, IDC_MODE_CONTINUOUS,
          IDC_AHEAD, IDC_BACKWARD, IDC_MINUTES, IDC_MINUTES_SPIN, IDC_SECONDS, IDC_SECONDS_SPIN})
        EXPECT_FALSE(view.isEnabled(id)) << id;
    for (int id : {IDC_ATTEMPTS, IDC_ATTEMPTS_SPIN, IDC_ONLY_SUCCESS, IDC_LOG_LINES})
        EXPECT_TRUE(view.isEnabled(id)) << id;
    EXPECT_TRUE(view.shown[IDC_POLICY_NOTE]);

    // "Restore Default" restores what the user may change, and only that.
    view.texts[IDC_ATTEMPTS] = "9";
    ASSERT_TRUE(logic.OnCommand(IDC_RESTORE_DEFAULTS));
    EXPECT_EQ(view.texts[IDC_ATTEMPTS], "5");
    EXPECT_TRUE(view.isChecked(IDC_MODE_HOURLY));
    EXPECT_EQ(view.texts[IDC_SECONDS], "30");

    view.texts[IDC_ATTEMPTS] = "8";
    ASSERT_TRUE(logic.OnCommand(kDialogOk));
    EXPECT_EQ(view.ended, true);
    EXPECT_EQ(store.readInt(kIni, "Options", "nSynPeriod", -1), 0);
    EXPECT_EQ(store.readInt(kIni, "Options", "nOffset", -1), 30);
    EXPECT_EQ(store.readInt(kIni, "Options", "nMaxAttempts", -1), 8);
    EXPECT_EQ(settings.m_nSynPeriod, 2);
    EXPECT_EQ(settings.m_nOffset, -90);
    EXPECT_EQ(settings.m_nMaxAttempts, 8);

    // Without a policy nothing is greyed out and the note stays hidden.
    policy.values.clear();
    settings.Load();
    CFakeDialogView plain;
    COptionsLogic unmanaged(plain, app, settings);
    unmanaged.OnInit();
    EXPECT_TRUE(plain.isEnabled(IDC_MODE_DAILY));
    EXPECT_FALSE(plain.shown[IDC_POLICY_NOTE]);
}

TEST_F(ManagedDialogsTest, TimeServersWithAManagedListChangeNothingAndOkLeavesTheFilesList) {
    policy.setLines("Servers", {"Policy~127.0.0.1", "Spare~127.0.0.2"});
    settings.Load();
    CServersLogic logic(view, view, app, settings);
    logic.OnInit();

    ASSERT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(view.rows[0].name, "Policy");
    for (int id : {IDC_ADD_SERVER, IDC_DELETE_SERVER, IDC_RESTORE_SERVERS, IDC_SERVER_LIST})
        EXPECT_FALSE(view.isEnabled(id)) << id;
    EXPECT_TRUE(view.shown[IDC_POLICY_NOTE]);

    // Clicks that still arrive change nothing.
    view.addAnswer = CTimeServer("Mine", "10.0.0.1", 1);
    EXPECT_TRUE(logic.OnCommand(IDC_ADD_SERVER));
    EXPECT_TRUE(logic.OnCommand(IDC_DELETE_SERVER));
    logic.OnRowHighlighted(0);
    EXPECT_EQ(view.addRuns, 0);
    EXPECT_EQ(logic.working().GetCount(), 2);
    EXPECT_EQ(logic.current(), 1);

    ASSERT_TRUE(logic.OnCommand(kDialogOk));
    EXPECT_EQ(view.ended, true);
    // The unmanaged options are saved as always; the list and the row it indexes are not.
    EXPECT_EQ(store.text(kIni),
              "[Options]\r\nnSynPeriod=0\r\nnOffset=30\r\nnMaxAttempts=5\r\nnStartingServ=1\r\n"
              "nLogFileLen=100\r\nnTimeOut=20\r\nbOnlySuccLog=1\r\n[Servers]\r\nServers_Counter=2\r\n"
              "Servers 0=File A~a.test~1\r\nServers 1=File B~b.test~1\r\n");
}

}  // namespace
