// Settings that come from outside the settings file: the installer's properties, checked
// before anything is installed and then written into the file, and the organisation's
// policy, which overrides the file without ever being written into it.

#include "service/CommandLine.h"
#include "service/SettingsWriter.h"
#include "settings/Settings.h"
#include "settings/SettingsPolicy.h"
#include "settings/SetupProperties.h"
#include "tests/support/FakePolicySource.h"
#include "tests/support/FakeProfileStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kFile = "zHoraluxServ.ini";
const char* const kExisting =
    "[Options]\nnLogFileLen=500\nnSynPeriod=1\nnOffset=-30\nnMaxAttempts=7\nnTimeOut=20\n"
    "nStartingServ=1\nbOnlySuccLog=0\n[Servers]\nServers_Counter=2\nServers 0=A~a.example~1\n"
    "Servers 1=B~b.example~0\n";

struct BadProperty {
    const char* name;
    const char* value;
    const char* because;  // part of the message
};

// Every kind of bad value, each refused with a message naming the property.
const BadProperty kBadProperties[] = {
    {"MODE", "weekly", "daily, onstart, hourly, demand or continuous"},
    {"OFFSET", "660", "from -659 to 659"},
    {"OFFSET", "1e2", "from -659 to 659"},
    {"ATTEMPTS", "0", "from 1 to 10"},
    {"ATTEMPTS", " 5", "from 1 to 10"},
    {"ONLYSUCCESSLOG", "2", "from 0 to 1"},
    {"LOGLENGTH", "9", "from 10 to 30000"},
    {"LOGLENGTH", "99999999999", "from 10 to 30000"},
    {"SERVERS", "Lab~ntp~1", "must not contain \"~\""},
    {"SERVERS", "Local~127.0.0.1;Lab~~x", "entry 2"},
    {"SERVERS", "Local~127.0.0.1;", "entry 2"},
    {"SERVERS", "just-an-address", "title~address"},
    {"SERVERS", " ;; ", "the list is empty"},
    {"STARTINGSERVER", "-1", "from 0"},
    {"TIMEOUT", "5", "Unknown property TIMEOUT"},
};

TEST(SetupPropertiesTest, EveryKindOfBadValueIsRefusedNamingTheProperty) {
    for (const BadProperty& bad : kBadProperties) {
        const SetupCheck check = CheckSetupProperties({{"MODE", "demand"}, {bad.name, bad.value}});
        EXPECT_FALSE(check.settings) << bad.name << "=" << bad.value;
        EXPECT_EQ(check.property, bad.name);
        EXPECT_NE(check.message.find(bad.name), std::string::npos) << check.message;
        EXPECT_NE(check.message.find(bad.because), std::string::npos) << check.message;
    }
    // The starting row must be one of the list given with it.
    const SetupCheck beyond = CheckSetupProperties({{"SERVERS", "A~a;B~b"}, {"STARTINGSERVER", "2"}});
    EXPECT_EQ(beyond.property, "STARTINGSERVER");
    EXPECT_NE(beyond.message.find("from 0 to 1"), std::string::npos) << beyond.message;
}

TEST(SetupPropertiesTest, GivenPropertiesSetExactlyTheirKeysAndTheFileKeepsTheRest) {
    const SetupCheck check = CheckSetupProperties({{"SERVERS", "Local~127.0.0.1;Far~ntp.example"},
                                                   {"MODE", "Demand"},
                                                   {"OFFSET", "-659"},
                                                   {"ATTEMPTS", ""},  // empty: not given
                                                   {"STARTINGSERVER", "1"}});
    ASSERT_TRUE(check.settings) << check.message;

    CFakeProfileStore store;
    store.setText(kFile, kExisting);
    CSettings settings(store, {});
    ASSERT_TRUE(ApplySetupSettings(settings, *check.settings));
    // Keys replace in place; the list's keys beyond its new length stay, as after any save.
    EXPECT_EQ(store.text(kFile),
              "[Options]\r\nnLogFileLen=500\r\nnSynPeriod=3\r\nnOffset=-659\r\nnMaxAttempts=7\r\n"
              "nTimeOut=20\r\nnStartingServ=1\r\nbOnlySuccLog=0\r\n[Servers]\r\nServers_Counter=2\r\n"
              "Servers 0=Local~127.0.0.1~1\r\nServers 1=Far~ntp.example~1\r\n");

    // On a PC without a settings file the file holds exactly what was given.
    CFakeProfileStore fresh;
    CSettings first(fresh, {});
    const SetupCheck two = CheckSetupProperties({{"SERVERS", "Local~127.0.0.1"}, {"MODE", "demand"}});
    ASSERT_TRUE(ApplySetupSettings(first, *two.settings));
    EXPECT_EQ(
        fresh.text(kFile),
        "[Options]\r\nnSynPeriod=3\r\n[Servers]\r\nServers_Counter=1\r\nServers 0=Local~127.0.0.1~1\r\n");
}

TEST(SetupPropertiesTest, TheCommandLineCarriesEveryValueExactly) {
    EXPECT_EQ(SetupCommandLine({{"MODE", ""}}), "");
    EXPECT_EQ(SetupCommandLine({{"SERVERS", "Lab \"A\"~10.0.0.1"}, {"MODE", "daily"}, {"OFFSET", ""}}),
              "-c \"SERVERS=Lab \\\"A\\\"~10.0.0.1\" \"MODE=daily\"");
    EXPECT_EQ(QuoteArgument("C:\\dir\\"), "\"C:\\dir\\\\\"");
    EXPECT_EQ(QuoteArgument("a\\\"b"), "\"a\\\\\\\"b\"");
    std::string bad;
    EXPECT_FALSE(ParseSetupArguments({"MODE=daily", "oops"}, &bad));
    EXPECT_EQ(bad, "oops");
    const auto parsed = ParseSetupArguments({"SERVERS=A~a=b"}, &bad);
    ASSERT_TRUE(parsed);
    EXPECT_EQ((*parsed)[0].name, "SERVERS");
    EXPECT_EQ((*parsed)[0].value, "A~a=b");
}

class PolicyTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.setText(kFile, kExisting);
        settings.SetPolicySource(&policy);
    }

    CFakeProfileStore store;
    CFakePolicySource policy;
    CSettings settings{store, [] { return std::string("probe"); }};
};

TEST_F(PolicyTest, PolicyValuesOverrideTheFileAndBadOnesAreIgnoredWithALineNamingThem) {
    policy.setNumber("nSynPeriod", 3);
    policy.setText("nOffset", "-90");           // a text element writes REG_SZ
    policy.setNumber("nLogFileLen", 5);         // out of range
    policy.setLines("nMaxAttempts", {"3"});     // wrong type
    policy.setNumber("nTimeOut", 0xFFFFFFFFu);  // -1
    policy.setLines("Servers", {"Policy~127.0.0.1", "Other~10.1.1.1~0"});
    settings.Load();

    EXPECT_EQ(settings.m_nSynPeriod, 3);
    EXPECT_EQ(settings.m_nOffset, -90);
    EXPECT_EQ(settings.m_nLogFileLen, 500);
    EXPECT_EQ(settings.m_nMaxAttempts, 7);
    EXPECT_EQ(settings.m_nTimeOut, 20);
    ASSERT_EQ(settings.m_servers.GetCount(), 2);
    EXPECT_EQ(settings.m_servers.GetAt(0), CTimeServer("Policy", "127.0.0.1", 1));
    EXPECT_EQ(settings.m_servers.GetAt(1), CTimeServer("Other", "10.1.1.1", 0));
    EXPECT_EQ(settings.m_nStartingServ, 1);  // the file's row, in the policy's list
    EXPECT_EQ(settings.Policy().rejections,
              (std::vector<std::string>{
                  "Policy value nMaxAttempts is ignored: it is neither a REG_DWORD nor a REG_SZ number.",
                  "Policy value nTimeOut is ignored: -1 is not a whole number from 5 to 3600.",
                  "Policy value nLogFileLen is ignored: 5 is not a whole number from 10 to 30000."}));
    EXPECT_TRUE(settings.IsManaged(&CSettings::m_nSynPeriod));
    EXPECT_TRUE(settings.IsManaged(&CSettings::m_nStartingServ));  // it indexes the managed list
    EXPECT_FALSE(settings.IsManaged(&CSettings::m_nLogFileLen));
    EXPECT_FALSE(settings.PolicyChanged());

    // A bad list is ignored as a whole; a starting row outside the list in force too.
    policy.setLines("Servers", {"Good~a", "Bad~b~c~d"});
    policy.setNumber("nStartingServ", 2);
    EXPECT_TRUE(settings.PolicyChanged());
    settings.Load();
    EXPECT_EQ(settings.m_servers.GetAt(0), CTimeServer("A", "a.example", 1));
    EXPECT_EQ(settings.m_nStartingServ, 1);
    EXPECT_FALSE(settings.AreServersManaged());
    EXPECT_FALSE(settings.IsManaged(&CSettings::m_nStartingServ));
    const std::vector<std::string>& lines = settings.Policy().rejections;
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Policy value Servers is ignored: \"Bad~b~c~d\": a title or an address must not "
                        "contain \"~\"."),
              lines.end());
    EXPECT_EQ(lines.back(),
              "Policy value nStartingServ is ignored: 2 does not index the server list of 2 entries.");
}

TEST_F(PolicyTest, SavingNeverWritesAManagedSettingIntoTheFile) {
    policy.setNumber("nSynPeriod", 2);
    policy.setNumber("bOnlySuccLog", 1);
    policy.setLines("Servers", {"Policy~127.0.0.1"});
    settings.Load();
    settings.m_nMaxAttempts = 3;  // the user's change of a setting the policy leaves alone
    ASSERT_TRUE(settings.Save());
    ASSERT_TRUE(settings.SaveServers());
    EXPECT_EQ(
        store.text(kFile),
        "[Options]\r\nnLogFileLen=500\r\nnSynPeriod=1\r\nnOffset=-30\r\nnMaxAttempts=3\r\nnTimeOut=20\r\n"
        "nStartingServ=1\r\nbOnlySuccLog=0\r\n[Servers]\r\nServers_Counter=2\r\n"
        "Servers 0=A~a.example~1\r\nServers 1=B~b.example~0\r\n");

    // Without a policy everything is the file's again.
    policy.values.clear();
    EXPECT_TRUE(settings.PolicyChanged());
    settings.Load();
    EXPECT_EQ(settings.m_nSynPeriod, 1);
    EXPECT_EQ(settings.m_servers.GetCount(), 2);
    EXPECT_FALSE(settings.Policy().Any());
}

}  // namespace

namespace {

TEST(SetupPropertiesTest, TheSettingsActionTakesWhatFollowsItAndWritesAllOrNothing) {
    const ServiceCommand command = ParseServiceArguments({"-c", "MODE=demand", "-i", "OFFSET=5"});
    EXPECT_EQ(command.action, HostAction::Write);
    EXPECT_EQ(command.settingArgs, (std::vector<std::string>{"MODE=demand", "-i", "OFFSET=5"}));

    CFakeProfileStore store;
    const SettingsWriteOutcome refused = WriteSetupArguments({"MODE=demand", "OFFSET=5", "-i"}, store);
    EXPECT_FALSE(refused.bWritten);
    EXPECT_EQ(refused.text, "\"-i\" is not of the form NAME=VALUE.");
    EXPECT_FALSE(WriteSetupArguments({"MODE=demand", "LOGLENGTH=1"}, store).bWritten);
    EXPECT_FALSE(WriteSetupArguments({}, store).bWritten);
    // Typed empty, a value sets nothing: unlike an installer's empty property, it is refused.
    const SettingsWriteOutcome empty = WriteSetupArguments({"MODE=demand", "SERVERS="}, store);
    EXPECT_FALSE(empty.bWritten);
    EXPECT_EQ(empty.text, "The property SERVERS has a bad value \"\": the list is empty.");
    EXPECT_FALSE(store.exists(kFile));

    const SettingsWriteOutcome written = WriteSetupArguments({"MODE=demand", "OFFSET=5"}, store);
    EXPECT_TRUE(written.bWritten);
    EXPECT_EQ(written.text, "MODE=demand, OFFSET=5.");
    EXPECT_EQ(store.text(kFile), "[Options]\r\nnSynPeriod=3\r\nnOffset=5\r\n");
}

}  // namespace
