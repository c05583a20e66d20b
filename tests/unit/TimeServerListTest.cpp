// CTimeServer, CTimeServerList, the default table and the list operations of
// CSettings, against the in-memory profile store.

#include "common/ProductFacts.h"
#include "settings/DefaultServers.h"
#include "settings/Settings.h"
#include "settings/TimeServer.h"
#include "settings/TimeServerList.h"
#include "tests/support/FakeProfileStore.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kFile = "zHoraluxServ.ini";

CTimeServer user(int n) {
    return CTimeServer("User " + std::to_string(n), "10.0.0." + std::to_string(n), 1);
}

// The "Servers" section as Save writes it for the 18 default rows.
std::string defaultServersText() {
    std::string text = "[Servers]\r\nServers_Counter=18\r\n";
    for (std::size_t i = 0; i < kDefaultServers.size(); ++i)
        text += "Servers " + std::to_string(i) + "=" + std::string(kDefaultServers[i].title) + "~" +
                std::string(kDefaultServers[i].address) + "~0\r\n";
    return text;
}

void expectDefaultsFrom(const CTimeServerList& list, int first) {
    ASSERT_EQ(list.GetCount(), first + 18);
    for (int i = 0; i < 18; ++i) {
        const CTimeServer& s = list.GetAt(first + i);
        EXPECT_EQ(s.m_strTitle, kDefaultServers[static_cast<std::size_t>(i)].title) << i;
        EXPECT_EQ(s.m_strAddress, kDefaultServers[static_cast<std::size_t>(i)].address) << i;
        EXPECT_EQ(s.m_bUserAdded, 0) << i;
    }
}

// ---------------------------------------------------------------- CTimeServer

TEST(TimeServer, FormatJoinsTitleAddressAndFlag) {
    EXPECT_EQ(CTimeServer("Title", "host.example", 0).Format(), "Title~host.example~0");
    EXPECT_EQ(CTimeServer("T", "1.2.3.4", 1).Format(), "T~1.2.3.4~1");
    EXPECT_EQ(CTimeServer("T", "a", -12).Format(), "T~a~-12");
}

TEST(TimeServer, CopyAssignmentCopiesAllFields) {
    CTimeServer a("A", "a", 1);
    CTimeServer b("B", "b", 0);
    b = a;
    EXPECT_EQ(b, a);
}

struct ParseCase {
    const char* record;
    bool ok;
    const char* title;
    const char* address;
    int flag;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << '"' << c.record << '"';
}

class TimeServerParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(TimeServerParse, FollowsTheAlgorithm) {
    const ParseCase& c = GetParam();
    CTimeServer server("old title", "old address", 42);
    ASSERT_EQ(server.Parse(c.record), c.ok) << c.record;
    if (c.ok) {
        EXPECT_EQ(server.m_strTitle, c.title);
        EXPECT_EQ(server.m_strAddress, c.address);
        EXPECT_EQ(server.m_bUserAdded, c.flag);
    } else {
        EXPECT_EQ(server, CTimeServer("old title", "old address", 42)) << "left unchanged";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, TimeServerParse,
    ::testing::Values(ParseCase{"USA. NIST~129.6.15.28~0", true, "USA. NIST", "129.6.15.28", 0},
                      ParseCase{"Mine~time.example~1", true, "Mine", "time.example", 1},
                      ParseCase{"Chile.     U~h~0", true, "Chile.     U", "h", 0},
                      // flag part: white space, sign, digits, rest ignored
                      ParseCase{"t~a~  -3x", true, "t", "a", -3}, ParseCase{"t~a~\t+7", true, "t", "a", 7},
                      ParseCase{"t~a~12abc", true, "t", "a", 12},
                      // missing or non-numeric flag part: a built-in entry (0)
                      ParseCase{"t~a~", true, "t", "a", 0}, ParseCase{"t~a~abc", true, "t", "a", 0},
                      ParseCase{"t~a~-", true, "t", "a", 0},
                      // more than two '~': the flag comes from the third part, the rest is ignored
                      ParseCase{"t~a~1~junk~x", true, "t", "a", 1}, ParseCase{"t~a~~1", true, "t", "a", 0},
                      // out-of-range flags are clamped, never undefined
                      ParseCase{"t~a~2147483647", true, "t", "a", INT_MAX},
                      ParseCase{"t~a~-2147483648", true, "t", "a", INT_MIN},
                      ParseCase{"t~a~99999999999999999999", true, "t", "a", INT_MAX},
                      ParseCase{"t~a~-99999999999999999999", true, "t", "a", INT_MIN},
                      // failures: no two '~', empty title or address
                      ParseCase{"", false, "", "", 0}, ParseCase{"no tilde at all", false, "", "", 0},
                      ParseCase{"title~address", false, "", "", 0}, ParseCase{"~address~1", false, "", "", 0},
                      ParseCase{"title~~1", false, "", "", 0}, ParseCase{"~~", false, "", "", 0}));

TEST(TimeServer, FormatThenParseRoundTrips) {
    const CTimeServer original("Germany.   Technische Universitaet Berlin - 1", "130.149.17.21", 1);
    CTimeServer copy;
    ASSERT_TRUE(copy.Parse(original.Format()));
    EXPECT_EQ(copy, original);
}

TEST(TimeServer, TitleWithTildeSplitsAtIt) {
    CTimeServer parsed;
    ASSERT_TRUE(parsed.Parse(CTimeServer("A~B", "host", 1).Format()));  // "A~B~host~1"
    EXPECT_EQ(parsed, CTimeServer("A", "B", 0));
}

// ---------------------------------------------------------------- default table

TEST(TimeServerDefaults, HasEighteenRowsWithTheProductTitles) {
    static_assert(kDefaultServers.size() == 18);
    EXPECT_EQ(kDefaultServers[0].title, "USA. NIST, Gaithersburg, Maryland - 1");
    EXPECT_EQ(kDefaultServers[2].title, "USA. NIST, Boulder, Colorado -1");
    EXPECT_EQ(kDefaultServers[9].title, "Chile.     Universidad de Chile. Santiago");
    EXPECT_EQ(kDefaultServers[10].title, "France.    Observatoire de Paris (stratum 2)");
    EXPECT_EQ(kDefaultServers[15].title, "Norway.    University of Tromsoe");
    EXPECT_EQ(kDefaultServers[17].title, "Switzerland. Integrated Systems Laboratory. Zurich");
}

TEST(TimeServerDefaults, AddressesHaveTheFormOfTheirRow) {
    auto dottedIpv4 = [](std::string_view a) {
        int dots = 0;
        for (char c : a) {
            if (c == '.')
                ++dots;
            else if (c < '0' || c > '9')
                return false;
        }
        return dots == 3;
    };
    for (std::size_t i = 0; i < kDefaultServers.size(); ++i) {
        const std::string_view address = kDefaultServers[i].address;
        const bool hostName = i == 10 || i == 14 || i == 15;
        EXPECT_EQ(dottedIpv4(address), !hostName) << i << " " << address;
        EXPECT_EQ(address.find('~'), std::string_view::npos);
        EXPECT_EQ(kDefaultServers[i].title.find('~'), std::string_view::npos);
    }
}

// ---------------------------------------------------------------- list operations

class TimeServerListTest : public ::testing::Test {
protected:
    CFakeProfileStore store;
    CTimeServerList list{"Servers", "Servers", kFile, store};
};

TEST_F(TimeServerListTest, StartsEmptyWithTheCounterKeyFormed) {
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCounterKey(), "Servers_Counter");
    EXPECT_EQ(list.EntryKey(7), "Servers 7");
    EXPECT_FALSE(store.exists(kFile));
}

TEST_F(TimeServerListTest, GetAtOutsideTheListThrowsInvalidArgument) {
    EXPECT_THROW(list.GetAt(0), std::invalid_argument);
    list.Add(user(1));
    list.Add(user(2));
    EXPECT_EQ(list.GetAt(1), user(2));
    EXPECT_THROW(list.GetAt(-1), std::invalid_argument);
    EXPECT_THROW(list.GetAt(2), std::invalid_argument);
    EXPECT_THROW(list.GetAt(INT_MIN), std::invalid_argument);
    EXPECT_THROW(list.RemoveAt(2), std::invalid_argument);
    EXPECT_EQ(list.GetCount(), 2);
}

TEST_F(TimeServerListTest, AddRemoveAtAndRemoveAllKeepTheOrder) {
    for (int i = 1; i <= 4; ++i)
        list.Add(user(i));
    list.RemoveAt(1);
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.GetAt(0), user(1));
    EXPECT_EQ(list.GetAt(1), user(3));
    EXPECT_EQ(list.GetAt(2), user(4));
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(TimeServerListTest, AddStoresACopy) {
    CTimeServer server = user(1);
    list.Add(server);
    server.m_strTitle = "changed";
    EXPECT_EQ(list.GetAt(0), user(1));
}

TEST_F(TimeServerListTest, AppendCopiesAnotherListAndRefusesItself) {
    CTimeServerList other("Servers", "Servers", kFile, store);
    other.Add(user(2));
    other.Add(user(3));
    list.Add(user(1));
    EXPECT_TRUE(list.Append(other));
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.GetAt(2), user(3));
    EXPECT_EQ(other.GetCount(), 2);

    EXPECT_FALSE(list.Append(list));
    EXPECT_EQ(list.GetCount(), 3);
}

TEST_F(TimeServerListTest, ACopyIsAnIndependentSnapshot) {
    list.Add(user(1));
    const CTimeServerList snapshot = list;
    list.RemoveAll();
    list.Add(user(2));
    ASSERT_EQ(snapshot.GetCount(), 1);
    EXPECT_EQ(snapshot.GetAt(0), user(1));
}

TEST_F(TimeServerListTest, SaveWritesTheCounterFirstThenTheEntriesInOrder) {
    list.Add(CTimeServer("A", "a.example", 0));
    list.Add(CTimeServer("B", "1.2.3.4", 1));
    EXPECT_TRUE(list.Save());
    EXPECT_EQ(store.text(kFile),
              "[Servers]\r\nServers_Counter=2\r\nServers 0=A~a.example~0\r\nServers 1=B~1.2.3.4~1\r\n");
}

TEST_F(TimeServerListTest, SaveReportsAFailedWrite) {
    list.Add(user(1));
    store.setReadOnly(kFile, true);
    EXPECT_FALSE(list.Save());
    EXPECT_FALSE(store.exists(kFile));
}

constexpr ServerListLoad::State kWhole = ServerListLoad::State::Whole;
constexpr ServerListLoad::State kMissing = ServerListLoad::State::Missing;
constexpr ServerListLoad::State kDamaged = ServerListLoad::State::Damaged;

std::vector<std::string> titles(const CTimeServerList& list) {
    std::vector<std::string> found;
    for (int i = 0; i < list.GetCount(); ++i)
        found.push_back(list.GetAt(i).m_strTitle);
    return found;
}

// A file as a person may leave it, and what Load makes of it: the entries kept, in order, and
// what it names as skipped.
struct LoadCase {
    const char* name;
    std::string text;
    ServerListLoad::State state;
    std::vector<std::string> kept;
    std::vector<std::string> skipped;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kTwo = "Servers 0=A~a~1\nServers 1=B~b~0\n";

const LoadCase kLoadCases[] = {
    {"NoFile", "", kMissing, {}, {}},
    {"NoSection", "[Options]\nnSynPeriod=1\n", kMissing, {}, {}},
    {"CounterZeroAlone", "[Servers]\nServers_Counter=0\n", kMissing, {}, {}},
    {"LeftoversBeyondTheCounter", "[Servers]\nServers_Counter=1\n" + kTwo, kWhole, {"A"}, {}},
    {"CounterBeyondTheEntries",
     "[Servers]\nServers_Counter=3\n" + kTwo,
     kDamaged,
     {"A", "B"},
     {"Servers_Counter=3 counts 1 missing entry"}},
    {"CounterOfAThousandMillion",
     "[Servers]\nServers_Counter=1000000000\n" + kTwo,
     kDamaged,
     {"A", "B"},
     {"Servers_Counter=1000000000 counts 999999998 missing entries"}},
    {"CounterNegative",
     "[Servers]\nServers_Counter=-1\n" + kTwo,
     kDamaged,
     {"A", "B"},
     {"Servers_Counter=-1"}},
    {"CounterNotANumber",
     "[Servers]\nServers_Counter=2x\n" + kTwo,
     kDamaged,
     {"A", "B"},
     {"Servers_Counter=2x"}},
    {"CounterMissing", "[Servers]\n" + kTwo, kDamaged, {"A", "B"}, {"Servers_Counter="}},
    {"CounterZeroBesideEntries",
     "[Servers]\nServers_Counter=0\n" + kTwo,
     kDamaged,
     {"A", "B"},
     {"Servers_Counter=0"}},
    {"EntriesAtZeroAndFiveOnly",
     "[Servers]\nServers_Counter=6\nServers 5=F~f~1\nServers 0=A~a~1\nServers 05=X~x~1\n",
     kDamaged,
     {"A", "F"},
     {"Servers_Counter=6 counts 4 missing entries"}},
    {"EntryWithoutTilde",
     "[Servers]\nServers_Counter=3\nServers 0=A~a~1\nServers 1=junk\nServers 2=C~c~1\n",
     kDamaged,
     {"A", "C"},
     {"Servers 1=junk"}},
    {"EntryOfTildesAlone",
     "[Servers]\nServers_Counter=2\nServers 0=~~~~\nServers 1=B~b~0\n",
     kDamaged,
     {"B"},
     {"Servers 0=~~~~"}},
    {"EntryEmpty",
     "[Servers]\nServers_Counter=2\nServers 0=A~a~1\nServers 1=\n",
     kDamaged,
     {"A"},
     {"Servers 1="}},
    {"EntryOf1022Characters",
     "[Servers]\nServers_Counter=1\nServers 0=" + std::string(1017, 'T') + "~ab~1\n",
     kWhole,
     {std::string(1017, 'T')},
     {}},
    // Longer than the 1023 characters an entry is read with, so that the second '~' is cut off.
    {"TitleOfTwoThousandCharacters",
     "[Servers]\nServers_Counter=2\nServers 0=" + std::string(2000, 'T') + "~a~1\nServers 1=B~b~0\n",
     kDamaged,
     {"B"},
     {"Servers 0=" + std::string(40, 'T') + "..."}},
    {"AddressOfTwentyThousandCharacters",
     "[Servers]\nServers_Counter=2\nServers 0=A~a~1\nServers 1=B~" + std::string(20000, 'b') + "~1\n",
     kDamaged,
     {"A"},
     {"Servers 1=B~" + std::string(38, 'b') + "..."}},
};

class TimeServerListLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(TimeServerListLoad, KeepsEveryEntryThatCanBeReadAndNamesTheRest) {
    CFakeProfileStore store;
    CTimeServerList list("Servers", "Servers", kFile, store);
    list.Add(user(9));
    if (!GetParam().text.empty())
        store.setText(kFile, GetParam().text);
    const ServerListLoad load = list.Load();
    EXPECT_EQ(load.state, GetParam().state);
    EXPECT_EQ(titles(list), GetParam().kept);
    EXPECT_EQ(load.skipped, GetParam().skipped);
}

INSTANTIATE_TEST_SUITE_P(Files, TimeServerListLoad, ::testing::ValuesIn(kLoadCases),
                         [](const ::testing::TestParamInfo<LoadCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(TimeServerListTest, SavingFiveOverEighteenLeavesTheOldKeysButReloadsFive) {
    AppendDefaultServers(list);
    ASSERT_TRUE(list.Save());
    list.RemoveAll();
    for (int i = 0; i < 5; ++i)
        list.Add(user(i));
    ASSERT_TRUE(list.Save());
    const std::string text = store.text(kFile);
    EXPECT_NE(text.find("Servers_Counter=5\r\n"), std::string::npos);
    for (int i = 5; i <= 17; ++i)
        EXPECT_NE(text.find("\r\nServers " + std::to_string(i) + "="), std::string::npos) << i;
    ASSERT_EQ(list.Load().state, kWhole);
    ASSERT_EQ(list.GetCount(), 5);
    EXPECT_EQ(list.GetAt(4), user(4));
}

// ---------------------------------------------------------------- CSettings on its list

class SettingsServersTest : public ::testing::Test {
protected:
    CFakeProfileStore store;
    CSettings settings{store, [] { return std::string("12/8/2025 1:23:45 AM"); }};
};

TEST_F(SettingsServersTest, NoServersSectionRebuildsAndWritesTheDefaults) {
    settings.LoadServers();
    expectDefaultsFrom(settings.m_servers, 0);
    EXPECT_EQ(store.text(kFile), defaultServersText());
}

TEST_F(SettingsServersTest, CounterZeroYieldsTheDefaults) {
    store.setText(kFile, "[Servers]\r\nServers_Counter=0\r\n");
    settings.LoadServers();
    expectDefaultsFrom(settings.m_servers, 0);
    EXPECT_EQ(store.text(kFile), defaultServersText());
}

const std::string kDamagedList =
    "[Servers]\r\nServers_Counter=4\r\nServers 0=Mine~my.host~1\r\nServers 1=Prog~prog.host~0\r\n"
    "Servers 2=damaged\r\nServers 3=Late~late~1\r\n";
const char* const kDamagedListNotice =
    "The server list is damaged; skipped: Servers 2=damaged; 3 entries are kept.";

TEST_F(SettingsServersTest, ADamagedListIsUsedAsFarAsItCanBeReadAndTheFileLeftAsItIs) {
    store.setText(kFile, kDamagedList);
    settings.LoadServers();
    EXPECT_EQ(titles(settings.m_servers), (std::vector<std::string>{"Mine", "Prog", "Late"}));
    EXPECT_EQ(settings.FileNotices(), std::vector<std::string>{kDamagedListNotice});
    EXPECT_EQ(store.text(kFile), kDamagedList);
    EXPECT_FALSE(store.exists(kDamagedSettingsFileName));
}

TEST_F(SettingsServersTest, RepairingKeepsTheFileBesideItOnceAndWritesTheEntriesBack) {
    store.setText(kFile, kDamagedList);
    settings.SetRepairsServerList(true);
    settings.LoadServers();
    EXPECT_EQ(settings.FileNotices(),
              std::vector<std::string>{std::string(kDamagedListNotice) +
                                       " The list is written back; the file as it was is kept as " +
                                       kDamagedSettingsFileName + "."});
    EXPECT_EQ(store.text(kDamagedSettingsFileName), kDamagedList);
    settings.LoadServers();  // whole now: nothing to say, and the copy stays the damaged file
    EXPECT_TRUE(settings.FileNotices().empty());
    EXPECT_EQ(titles(settings.m_servers), (std::vector<std::string>{"Mine", "Prog", "Late"}));
    EXPECT_EQ(store.text(kDamagedSettingsFileName), kDamagedList);
}

TEST_F(SettingsServersTest, RepairingWritesNothingWhenTheFileCannotBeKept) {
    store.setText(kFile, kDamagedList);
    store.setReadOnly(kDamagedSettingsFileName, true);
    settings.SetRepairsServerList(true);
    settings.LoadServers();
    EXPECT_EQ(store.text(kFile), kDamagedList);
    EXPECT_EQ(settings.FileNotices(),
              std::vector<std::string>{std::string(kDamagedListNotice) +
                                       " The file is left as it is: it cannot be copied to " +
                                       kDamagedSettingsFileName + " (error 5)."});
}

TEST_F(SettingsServersTest, WithNoEntryLeftTheBuiltInListIsUsed) {
    store.setText(kFile, "[Servers]\r\nServers_Counter=2\r\nServers 0=junk\r\n");
    settings.LoadServers();
    expectDefaultsFrom(settings.m_servers, 0);
    EXPECT_EQ(
        settings.FileNotices(),
        std::vector<std::string>{"The server list is damaged; skipped: Servers_Counter=2 counts 1 missing "
                                 "entry, Servers 0=junk; no entry is usable: the built-in list is used."});
}

TEST_F(SettingsServersTest, RestoreDefaultServersPutsTheUserEntriesFirst) {
    AppendDefaultServers(settings.m_servers);
    for (int i = 1; i <= 3; ++i)
        settings.m_servers.Add(user(i));
    const int writes = store.writeCount();
    settings.RestoreDefaultServers();
    ASSERT_EQ(settings.m_servers.GetCount(), 21);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(settings.m_servers.GetAt(i), user(i + 1));
    expectDefaultsFrom(settings.m_servers, 3);
    EXPECT_EQ(store.writeCount(), writes) << "RestoreDefaultServers writes nothing";
}

TEST_F(SettingsServersTest, RestoreDefaultServersOnTheDefaultsAloneGivesTheDefaults) {
    AppendDefaultServers(settings.m_servers);
    settings.RestoreDefaultServers();
    expectDefaultsFrom(settings.m_servers, 0);
}

class SettingsStartingServerRange : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(SettingsStartingServerRange, LoadBringsAnOutOfRangeIndexToZero) {
    CFakeProfileStore store;
    CSettings settings(store, [] { return std::string("now"); });
    settings.LoadServers();  // writes the 18 defaults
    ASSERT_TRUE(store.writeString(kFile, "Options", "nStartingServ", std::to_string(GetParam().first)));
    settings.Load();
    EXPECT_EQ(settings.m_nStartingServ, GetParam().second);
    EXPECT_EQ(settings.GetStartingServerTitle(),
              kDefaultServers[static_cast<std::size_t>(GetParam().second)].title);
}

INSTANTIATE_TEST_SUITE_P(Indices, SettingsStartingServerRange,
                         ::testing::Values(std::pair{25, 0}, std::pair{18, 0}, std::pair{-1, 0},
                                           std::pair{INT_MIN, 0}, std::pair{17, 17}, std::pair{3, 3}));

TEST_F(SettingsServersTest, LoadingTwiceYieldsTheFilesListBothTimes) {
    store.setText(kFile, "[Servers]\nServers_Counter=2\nServers 0=A~a~1\nServers 1=B~b~0\n");
    settings.Load();
    const CTimeServerList first = settings.m_servers;
    settings.Load();
    ASSERT_EQ(settings.m_servers.GetCount(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(settings.m_servers.GetAt(i), first.GetAt(i));
    EXPECT_EQ(settings.m_servers.GetAt(1), CTimeServer("B", "b", 0));
}

TEST_F(SettingsServersTest, RecordWithMoreThanTwoTildesLoadsTheThirdPartAsFlag) {
    store.setText(kFile, "[Servers]\nServers_Counter=1\nServers 0=T~host~1~extra~0\n");
    settings.Load();
    ASSERT_EQ(settings.m_servers.GetCount(), 1);
    EXPECT_EQ(settings.m_servers.GetAt(0), CTimeServer("T", "host", 1));
}

TEST_F(SettingsServersTest, TitleWithTildeIsSplitOnTheNextLoad) {
    settings.m_servers.Add(CTimeServer("My~Clock", "clock.example", 1));
    ASSERT_TRUE(settings.SaveServers());
    settings.Load();
    ASSERT_EQ(settings.m_servers.GetCount(), 1);
    EXPECT_EQ(settings.m_servers.GetAt(0), CTimeServer("My", "Clock", 0));
}

TEST_F(SettingsServersTest, ReplaceServersCopiesTheGivenListAndKeepsTheBinding) {
    settings.Load();
    CTimeServerList edited = settings.m_servers;
    edited.RemoveAt(0);
    edited.Add(user(1));
    settings.ReplaceServers(edited);
    ASSERT_EQ(settings.m_servers.GetCount(), 18);
    EXPECT_EQ(settings.m_servers.GetAt(17), user(1));
    EXPECT_EQ(settings.m_servers.GetCounterKey(), "Servers_Counter");

    settings.ReplaceServers(settings.m_servers);  // by itself: unchanged
    EXPECT_EQ(settings.m_servers.GetCount(), 18);
}

TEST_F(SettingsServersTest, ConsoleConfirmationWritesOptionsThenServers) {
    settings.Load();
    CTimeServerList edited = settings.m_servers;
    edited.Add(user(1));
    settings.ReplaceServers(edited);
    settings.m_nStartingServ = 18;
    ASSERT_TRUE(settings.Save());
    ASSERT_TRUE(settings.SaveServers());

    CFakeProfileStore& s = store;
    CSettings service(s, [] { return std::string("x"); });
    service.Load();
    EXPECT_EQ(service.m_nStartingServ, 18);
    EXPECT_EQ(service.GetStartingServerTitle(), "User 1");
    EXPECT_EQ(service.m_servers.GetCount(), 19);
}

TEST_F(SettingsServersTest, GetStartingServerTitleNeverThrows) {
    EXPECT_EQ(settings.GetStartingServerTitle(), "");  // empty list
    settings.m_servers.Add(user(1));
    settings.m_nStartingServ = 5;
    EXPECT_EQ(settings.GetStartingServerTitle(), "");
    settings.m_nStartingServ = -1;
    EXPECT_EQ(settings.GetStartingServerTitle(), "");
    settings.m_nStartingServ = 0;
    EXPECT_EQ(settings.GetStartingServerTitle(), "User 1");
}

}  // namespace
