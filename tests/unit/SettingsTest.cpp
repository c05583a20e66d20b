// The settings record against the in-memory profile store.

#include "common/ProductFacts.h"
#include "common/SystemErrorText.h"
#include "settings/DefaultServers.h"
#include "settings/Settings.h"
#include "settings/SyncMode.h"
#include "settings/WorkingDirectory.h"
#include "tests/support/FakeProfileStore.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>
#include <vector>

namespace {

const std::string kFile = "zHoraluxServ.ini";
const std::string kServers18 = [] {
    std::string text = "[Servers]\r\nServers_Counter=18\r\n";
    for (std::size_t i = 0; i < kDefaultServers.size(); ++i)
        text += "Servers " + std::to_string(i) + "=" + std::string(kDefaultServers[i].title) + "~" +
                std::string(kDefaultServers[i].address) + "~0\r\n";
    return text;
}();
const char* const kOneServer = "[Servers]\nServers_Counter=1\nServers 0=A~a~0\n";

class SettingsTest : public ::testing::Test {
protected:
    void expectOptionDefaults() const {
        EXPECT_EQ(settings.m_nSynPeriod, 0);
        EXPECT_EQ(settings.m_nOffset, 0);
        EXPECT_EQ(settings.m_nMaxAttempts, 5);
        EXPECT_EQ(settings.m_nTimeOut, 20);
        EXPECT_EQ(settings.m_bOnlySuccLog, 1);
        EXPECT_EQ(settings.m_nLogFileLen, 100);
    }

    CFakeProfileStore store;
    std::string probe = "12/8/2025 1:23:45 AM";
    CSettings settings{store, [this] { return probe; }};
};

TEST_F(SettingsTest, ConstructionSetsNamesAndDefaultsAndReadsNothing) {
    expectOptionDefaults();
    EXPECT_EQ(settings.m_nStartingServ, 0);
    EXPECT_EQ(settings.m_strOptionsSection, "Options");
    EXPECT_EQ(settings.m_strServersSection, "Servers");
    EXPECT_EQ(settings.m_strFileName, "zHoraluxServ.ini");
    EXPECT_EQ(settings.m_servers.GetCount(), 0);
    EXPECT_EQ(settings.m_servers.GetSection(), "Servers");
    EXPECT_EQ(settings.m_servers.GetKeyPrefix(), "Servers");
    EXPECT_EQ(settings.m_servers.GetFileName(), "zHoraluxServ.ini");
    EXPECT_FALSE(store.exists(kFile));
}

TEST_F(SettingsTest, LoadWithNoFileGivesDefaultsAndAFileWithOnlyTheServers) {
    settings.Load();
    expectOptionDefaults();
    EXPECT_EQ(settings.m_nStartingServ, 0);
    EXPECT_EQ(settings.m_servers.GetCount(), 18);
    EXPECT_EQ(store.text(kFile), kServers18);
    EXPECT_EQ(store.text(kFile).find("[Options]"), std::string::npos);
    EXPECT_EQ(settings.GetStartingServerTitle(), "USA. NIST, Gaithersburg, Maryland - 1");
}

TEST_F(SettingsTest, LoadReadsEveryKey) {
    store.setText(kFile, std::string("[Options]\nnLogFileLen=250\nnSynPeriod=2\nnOffset=-300\n"
                                     "nMaxAttempts=3\nnTimeOut=30\nnStartingServ=0\nbOnlySuccLog=0\n") +
                             kOneServer);
    settings.Load();
    EXPECT_EQ(settings.m_nLogFileLen, 250);
    EXPECT_EQ(settings.m_nSynPeriod, 2);
    EXPECT_EQ(settings.m_nOffset, -300);
    EXPECT_EQ(settings.m_nMaxAttempts, 3);
    EXPECT_EQ(settings.m_nTimeOut, 30);
    EXPECT_EQ(settings.m_nStartingServ, 0);
    EXPECT_EQ(settings.m_bOnlySuccLog, 0);
}

// One value in the file, the value Load gives the field and the notice it leaves ("" for none).
struct OptionValue {
    const char* key;
    const char* text;
    int CSettings::*field;
    int expected;
    const char* notice;
};

void PrintTo(const OptionValue& v, std::ostream* os) {
    *os << v.key << "=" << v.text;
}

class SettingsOptionValue : public ::testing::TestWithParam<OptionValue> {};

TEST_P(SettingsOptionValue, LoadsAWholeNumberInRangeAndTheDefaultForAnythingElse) {
    const OptionValue& v = GetParam();
    CFakeProfileStore store;
    store.setText(kFile, std::string("[Options]\n") + v.key + "=" + v.text + "\n" + kOneServer);
    const std::string before = store.text(kFile);
    CSettings settings(store, [] { return std::string("now"); });
    settings.Load();
    EXPECT_EQ(settings.*(v.field), v.expected) << v.key << "=" << v.text;
    EXPECT_EQ(settings.FileNotices(),
              *v.notice == '\0' ? std::vector<std::string>() : std::vector<std::string>{v.notice});
    EXPECT_EQ(store.text(kFile), before) << "Load never writes Options";
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsOptionValue,
    ::testing::Values(
        OptionValue{"nOffset", "-90", &CSettings::m_nOffset, -90, ""},
        OptionValue{"nOffset", "+30", &CSettings::m_nOffset, 30, ""},
        OptionValue{"nOffset", "", &CSettings::m_nOffset, 0, ""},
        OptionValue{
            "nOffset", " 45 seconds", &CSettings::m_nOffset, 0,
            "Setting nOffset=45 seconds is ignored: it is not a whole number from -659 to 659; 0 is used."},
        OptionValue{"nOffset", "5000", &CSettings::m_nOffset, 0,
                    "Setting nOffset=5000 is ignored: it is not a whole number from -659 to 659; 0 is used."},
        OptionValue{"nOffset", "99999999999", &CSettings::m_nOffset, 0,
                    "Setting nOffset=99999999999 is ignored: it is not a whole number from -659 to 659; 0 is "
                    "used."},
        OptionValue{"nMaxAttempts", "-5", &CSettings::m_nMaxAttempts, 5,
                    "Setting nMaxAttempts=-5 is ignored: it is not a whole number from 1 to 10; 5 is used."},
        OptionValue{"nSynPeriod", "7", &CSettings::m_nSynPeriod, 0,
                    "Setting nSynPeriod=7 is ignored: it is not a whole number from 0 to 4; 0 is used."},
        OptionValue{"nsynperiod", "3", &CSettings::m_nSynPeriod, 3, ""},
        OptionValue{"nTimeOut", "3", &CSettings::m_nTimeOut, 5, ""},
        OptionValue{"nTimeOut", "-100", &CSettings::m_nTimeOut, 5, ""},
        OptionValue{"nTimeOut", "6", &CSettings::m_nTimeOut, 6, ""},
        OptionValue{"nTimeOut", "abc", &CSettings::m_nTimeOut, 20,
                    "Setting nTimeOut=abc is ignored: it is not a whole number from 5 to 3600; 20 is used."},
        OptionValue{
            "nLogFileLen", "0", &CSettings::m_nLogFileLen, 100,
            "Setting nLogFileLen=0 is ignored: it is not a whole number from 10 to 30000; 100 is used."},
        OptionValue{"nLogFileLen", "30000", &CSettings::m_nLogFileLen, 30000, ""},
        OptionValue{"bOnlySuccLog", "0", &CSettings::m_bOnlySuccLog, 0, ""},
        OptionValue{"bOnlySuccLog", "2", &CSettings::m_bOnlySuccLog, 1,
                    "Setting bOnlySuccLog=2 is ignored: it is not a whole number from 0 to 1; 1 is used."},
        OptionValue{
            "nStartingServ", "-1", &CSettings::m_nStartingServ, 0,
            "Setting nStartingServ=-1 is ignored: it is not a whole number from 0 to 2147483647; 0 is "
            "used."}));

TEST_F(SettingsTest, TheFirstSaveOverADamagedFileKeepsItBesideOnce) {
    store.setText(kFile, std::string("[Options]\nnLogFileLen=-5\n") + kOneServer);
    const std::string damaged = store.text(kFile);
    settings.Load();
    // The dialogs save from copies of the settings; the file is kept before the first write only.
    CSettings edited(settings);
    ASSERT_TRUE(edited.Save());
    EXPECT_EQ(store.text(kDamagedSettingsFileName), damaged);
    ASSERT_TRUE(settings.SaveServers());
    EXPECT_EQ(store.text(kDamagedSettingsFileName), damaged);

    store.remove(kDamagedSettingsFileName);
    settings.Load();  // whole now
    ASSERT_TRUE(settings.Save());
    EXPECT_FALSE(store.exists(kDamagedSettingsFileName));
}

TEST_F(SettingsTest, TimeOutThreeLoadsAsFiveAndTheFileKeepsThreeUntilSaved) {
    store.setText(kFile, std::string("[Options]\nnTimeOut=3\n") + kOneServer);
    const int writes = store.writeCount();
    settings.Load();
    EXPECT_EQ(settings.m_nTimeOut, 5);
    EXPECT_EQ(store.writeCount(), writes);
    EXPECT_EQ(store.readInt(kFile, "Options", "nTimeOut", -1), 3);
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(store.readInt(kFile, "Options", "nTimeOut", -1), 5);
}

TEST_F(SettingsTest, AbsentOnlySuccLogKeepsTheValueInMemory) {
    store.setText(kFile, kOneServer);
    settings.Load();
    EXPECT_EQ(settings.m_bOnlySuccLog, 1) << "1 after construction";

    ASSERT_TRUE(store.writeString(kFile, "Options", "bOnlySuccLog", "0"));
    settings.Load();
    EXPECT_EQ(settings.m_bOnlySuccLog, 0);
    store.setText(kFile, std::string("[Options]\nnSynPeriod=1\n") + kOneServer);
    settings.Load();
    EXPECT_EQ(settings.m_bOnlySuccLog, 0) << "what the previous load read";
    EXPECT_EQ(settings.m_nSynPeriod, 1);
}

TEST_F(SettingsTest, OtherAbsentKeysTakeTheirDefaultsNotTheMemoryValue) {
    store.setText(kFile, kOneServer);
    settings.m_nSynPeriod = 3;
    settings.m_nOffset = 10;
    settings.m_nMaxAttempts = 9;
    settings.m_nTimeOut = 50;
    settings.m_nLogFileLen = 10;
    settings.Load();
    expectOptionDefaults();
}

TEST_F(SettingsTest, SaveWritesTheSevenKeysInTheConsolesOrder) {
    settings.m_nLogFileLen = 30000;
    settings.m_nSynPeriod = 2;
    settings.m_nOffset = -90;
    settings.m_nMaxAttempts = 10;
    settings.m_nTimeOut = 5;
    settings.m_nStartingServ = 4;
    settings.m_bOnlySuccLog = 0;
    EXPECT_TRUE(settings.Save());
    EXPECT_EQ(store.text(kFile),
              "[Options]\r\nnLogFileLen=30000\r\nnSynPeriod=2\r\nnOffset=-90\r\nnMaxAttempts=10\r\n"
              "nTimeOut=5\r\nnStartingServ=4\r\nbOnlySuccLog=0\r\n");
}

TEST_F(SettingsTest, SaveReplacesInPlaceAndWritesNoServers) {
    store.setText(kFile, std::string("[Options]\nbOnlySuccLog=1\nsTestStr=x\nnOffset=5\n") + kOneServer);
    settings.m_nOffset = -60;
    settings.m_bOnlySuccLog = 0;
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(store.text(kFile),
              "[Options]\r\nbOnlySuccLog=0\r\nsTestStr=x\r\nnOffset=-60\r\nnLogFileLen=100\r\n"
              "nSynPeriod=0\r\nnMaxAttempts=5\r\nnTimeOut=20\r\nnStartingServ=0\r\n"
              "[Servers]\r\nServers_Counter=1\r\nServers 0=A~a~0\r\n");
}

TEST_F(SettingsTest, SaveOnAReadOnlyFileReportsFailure) {
    store.setReadOnly(kFile, true);
    EXPECT_FALSE(settings.Save());
}

TEST_F(SettingsTest, SetDefaultsKeepsTheStartingServerAndTheList) {
    settings.Load();
    settings.m_nSynPeriod = 3;
    settings.m_nOffset = 600;
    settings.m_nMaxAttempts = 1;
    settings.m_nTimeOut = 99;
    settings.m_bOnlySuccLog = 0;
    settings.m_nLogFileLen = 10;
    settings.m_nStartingServ = 7;
    settings.m_servers.RemoveAt(0);
    const int writes = store.writeCount();
    settings.SetDefaults();
    expectOptionDefaults();
    EXPECT_EQ(settings.m_nStartingServ, 7);
    EXPECT_EQ(settings.m_servers.GetCount(), 17);
    EXPECT_EQ(store.writeCount(), writes) << "SetDefaults writes nothing";
}

struct ModeCase {
    int value;
    const char* name;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << c.value;
}

class SettingsModeName : public ::testing::TestWithParam<ModeCase> {};

TEST_P(SettingsModeName, ComesFromTheModesTable) {
    CFakeProfileStore store;
    CSettings settings(store, [] { return std::string(); });
    settings.m_nSynPeriod = GetParam().value;
    EXPECT_STREQ(settings.GetModeName(), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Modes, SettingsModeName,
                         ::testing::Values(ModeCase{0, "Daily"}, ModeCase{1, "OnStart"},
                                           ModeCase{2, "Hourly"}, ModeCase{3, "DemandOnly"},
                                           ModeCase{4, "Continuously"}, ModeCase{5, "Error"},
                                           ModeCase{7, "Error"}, ModeCase{-1, "Error"},
                                           ModeCase{INT_MIN, "Error"}, ModeCase{INT_MAX, "Error"}));

TEST(SettingsSyncMode, LabelsOfTheOptionsDialog) {
    static_assert(SyncModeName(2)[0] == 'H');
    EXPECT_STREQ(FindSyncMode(0)->label, "Daily synchronizing.");
    EXPECT_STREQ(FindSyncMode(1)->label, "On Start Up synchronizing.");
    EXPECT_STREQ(FindSyncMode(2)->label, "Hourly synchronizing.");
    EXPECT_STREQ(FindSyncMode(3)->label, "On demand only.");
    EXPECT_STREQ(FindSyncMode(4)->label, "Continuous synchronizing.");
    EXPECT_EQ(FindSyncMode(5), nullptr);
}

TEST_F(SettingsTest, IsWritableWritesTheProbeAndReadsItBack) {
    EXPECT_TRUE(settings.IsWritable());
    EXPECT_EQ(store.text(kFile), "[Options]\r\nsTestStr=12/8/2025 1:23:45 AM\r\n");
    probe = "12/8/2025 1:23:46 AM";
    EXPECT_TRUE(settings.IsWritable());
    EXPECT_EQ(store.readString(kFile, "Options", "sTestStr", "", 256), probe);
}

TEST_F(SettingsTest, IsWritableIsFalseOnAReadOnlyFile) {
    settings.Load();
    EXPECT_TRUE(settings.IsWritable());
    store.setReadOnly(kFile, true);
    probe = "12/8/2025 1:24:00 AM";
    EXPECT_FALSE(settings.IsWritable()) << "the previous probe text is still in the file";
}

TEST_F(SettingsTest, IsWritableIsFalseWhenTheFileCannotBeCreated) {
    store.setReadOnly(kFile, true);
    EXPECT_FALSE(settings.IsWritable()) << "reads back \"Undefined\"";
    EXPECT_FALSE(store.exists(kFile));
}

TEST_F(SettingsTest, IsWritableComparesWithinThe256ByteBuffer) {
    probe = std::string(255, 'd');
    EXPECT_TRUE(settings.IsWritable());
    probe = std::string(256, 'd');
    EXPECT_FALSE(settings.IsWritable()) << "only 255 characters come back";
}

TEST_F(SettingsTest, ServiceStartWithNoFileWritesNoOptions) {
    settings.Load();
    settings.Load();  // reload on message 2002
    EXPECT_EQ(store.text(kFile), kServers18);
}

// Outside the Windows directory a program would read and write other files than the user's:
// it says why and stops.
TEST(EnterWindowsDirectory, AFailureIsToldWithItsReasonAndStopsTheProgram) {
    std::vector<std::string> told;
    const auto tell = [&](const std::string& text) { told.push_back(text); };
    EXPECT_TRUE(EnterWindowsDirectory([] { return SystemResult::success(); }, tell));
    EXPECT_TRUE(told.empty());

    EXPECT_FALSE(EnterWindowsDirectory([] { return SystemResult::failure(3); }, tell));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "The Windows directory could not be made the current directory - " + ErrorCodeText(3) +
                           " (error 3). The settings and the log lie there; nothing was done.");
}

}  // namespace
