// The Time Servers and Add New Server dialogs' logic against fake ports: the rows and the
// current row, Delete, Restore default and Add on the working copy only, OK handing it back
// and saving it, Cancel leaving memory and file alone; the new entry's texts and checks.

#include "console/AddServerLogic.h"
#include "console/ServersLogic.h"

#include "console/resource.h"
#include "settings/DefaultServers.h"
#include "settings/Settings.h"
#include "sntp/NetAddress.h"
#include "tests/support/FakeConsoleUi.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/unit/FakeDialogView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kIni = "zHoraluxServ.ini";

// "[Servers]" with the given record texts, then "[Options]" with the starting server.
std::string ServersFile(const std::vector<std::string>& records, int startingServ) {
    std::string text = "[Servers]\nServers_Counter=" + std::to_string(records.size()) + "\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        text += "Servers " + std::to_string(i) + "=" + records[i] + "\n";
    }
    return text + "[Options]\nnStartingServ=" + std::to_string(startingServ) + "\n";
}

std::vector<std::string> Titles(const CTimeServerList& list) {
    std::vector<std::string> titles;
    for (int i = 0; i < list.GetCount(); ++i)
        titles.push_back(list.GetAt(i).m_strTitle);
    return titles;
}

class ServersDialogTest : public ::testing::Test {
protected:
    void open(const std::vector<std::string>& records, int startingServ = 0) {
        store.setText(kIni, ServersFile(records, startingServ));
        settings.Load();
        fileBefore = store.text(kIni);
        memoryBefore = Titles(settings.m_servers);
        logic.OnInit();
    }

    std::vector<std::string> rowNames() const {
        std::vector<std::string> names;
        for (const auto& row : view.rows)
            names.push_back(row.name);
        return names;
    }

    // The user moves the highlight, by mouse or keyboard.
    void highlight(int row) {
        view.highlighted = row;
        logic.OnRowHighlighted(row);
    }

    void expectCurrent(int row) {
        EXPECT_EQ(logic.current(), row);
        EXPECT_EQ(view.highlighted, row);
        EXPECT_EQ(view.texts[IDC_CURRENT_SERVER], view.rows.at(static_cast<std::size_t>(row)).name);
    }

    void expectMemoryAndFileUnchanged() {
        EXPECT_EQ(Titles(settings.m_servers), memoryBefore);
        EXPECT_EQ(store.text(kIni), fileBefore);
    }

    CFakeProfileStore store;
    CSettings settings{store, [] { return std::string("probe"); }};
    CFakeConsoleUi app;
    CFakeDialogView view;
    CServersLogic logic{view, view, app, settings};
    std::string fileBefore;
    std::vector<std::string> memoryBefore;
};

const std::vector<std::string> kFive = {"A~127.0.0.1~1", "B~127.0.0.2~0", "C~127.0.0.3~1", "D~127.0.0.4~1",
                                        "E~127.0.0.5~0"};

// --- opening ----------------------------------------------------------------------------------

TEST_F(ServersDialogTest, OpensWithColumnsRowsAndTheStartingServerHighlighted) {
    open(kFive, 3);

    EXPECT_TRUE(view.wholeRows);
    EXPECT_EQ(view.columns, (std::vector<std::pair<std::string, int>>{{"Name", 320}, {"Status", 70}}));
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
    EXPECT_EQ(view.rows[0].status, "User");
    EXPECT_EQ(view.rows[1].status, "Prog");
    expectCurrent(3);
    EXPECT_EQ(view.texts[IDC_CURRENT_SERVER], "D");
}

// --- the current row and Delete Selected ------------------------------------------------------

TEST_F(ServersDialogTest, DeleteRemovesTheHighlightedRowAndMakesTheOneAboveCurrent) {
    open(kFive, 0);
    highlight(4);  // e.g. three presses of the down arrow after a click: the highlight counts
    highlight(2);

    logic.OnCommand(IDC_DELETE_SERVER);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"A", "B", "D", "E"}));
    expectCurrent(1);

    highlight(0);
    logic.OnCommand(IDC_DELETE_SERVER);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"B", "D", "E"}));
    expectCurrent(0);
    EXPECT_TRUE(view.boxes.empty());
    expectMemoryAndFileUnchanged();
}

TEST_F(ServersDialogTest, TheLastEntryCannotBeDeleted) {
    open({"Only~127.0.0.1~1"});

    logic.OnCommand(IDC_DELETE_SERVER);

    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "At least one server must be present!");
    EXPECT_EQ(view.boxes[0].caption, "HoraluxCons");
    EXPECT_EQ(view.boxes[0].icon, MessageIcon::Warning);
    EXPECT_EQ(rowNames(), std::vector<std::string>{"Only"});
    EXPECT_EQ(logic.working().GetCount(), 1);
}

TEST_F(ServersDialogTest, AHighlightOutsideTheRowsChangesNothing) {
    open(kFive, 2);
    logic.OnRowHighlighted(-1);
    logic.OnRowHighlighted(5);
    EXPECT_EQ(logic.current(), 2);
}

// --- Add New and Restore default work on the working copy only ---------------------------------

TEST_F(ServersDialogTest, AddAfterADeletionKeepsTheDeletionAndAppendsAUserRow) {
    open(kFive, 1);
    highlight(3);
    logic.OnCommand(IDC_DELETE_SERVER);
    view.addAnswer = CTimeServer("New", "127.0.0.9", 1);

    logic.OnCommand(IDC_ADD_SERVER);

    EXPECT_EQ(view.addRuns, 1);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"A", "B", "C", "E", "New"}));
    EXPECT_EQ(view.rows.back().status, "User");
    expectCurrent(2);
    expectMemoryAndFileUnchanged();  // Cancel now leaves everything as it was
}

TEST_F(ServersDialogTest, ACancelledAddChangesNothing) {
    open(kFive, 1);
    logic.OnCommand(IDC_ADD_SERVER);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
    expectCurrent(1);
    expectMemoryAndFileUnchanged();
}

TEST_F(ServersDialogTest, RestoreKeepsTheUsersRowsThenTheDefaultsAndMakesRowZeroCurrent) {
    open(kFive, 4);
    highlight(2);
    logic.OnCommand(IDC_DELETE_SERVER);  // C, a user row, deleted before the restore stays deleted

    logic.OnCommand(IDC_RESTORE_SERVERS);

    ASSERT_EQ(view.rows.size(), 2 + kDefaultServerCount);
    EXPECT_EQ(rowNames()[0], "A");
    EXPECT_EQ(rowNames()[1], "D");
    for (std::size_t i = 0; i < kDefaultServerCount; ++i) {
        EXPECT_EQ(view.rows[2 + i].name, kDefaultServers[i].title);
        EXPECT_EQ(view.rows[2 + i].status, "Prog");
    }
    expectCurrent(0);
    expectMemoryAndFileUnchanged();
}

// --- OK -----------------------------------------------------------------------------------------

TEST_F(ServersDialogTest, OkHandsBackTheWorkingCopyAndSavesItWithTheCurrentRow) {
    open(kFive, 0);
    highlight(1);
    logic.OnCommand(IDC_DELETE_SERVER);
    view.addAnswer = CTimeServer("New", "127.0.0.9", 1);
    logic.OnCommand(IDC_ADD_SERVER);
    highlight(4);

    logic.OnCommand(kDialogOk);

    EXPECT_EQ(view.ended, true);
    EXPECT_EQ(Titles(settings.m_servers), (std::vector<std::string>{"A", "C", "D", "E", "New"}));
    EXPECT_EQ(settings.m_nStartingServ, 4);
    EXPECT_EQ(settings.GetStartingServerTitle(), "New");
    EXPECT_EQ(store.readInt(kIni, "Options", "nStartingServ", -1), 4);
    EXPECT_EQ(store.readInt(kIni, "Options", "nMaxAttempts", -1), 5);  // all seven keys saved
    EXPECT_EQ(store.readInt(kIni, "Servers", "Servers_Counter", -1), 5);
    EXPECT_EQ(store.readString(kIni, "Servers", "Servers 4", "", 1024), "New~127.0.0.9~1");

    CSettings reloaded{store, [] { return std::string(); }};
    reloaded.Load();
    EXPECT_EQ(Titles(reloaded.m_servers), Titles(settings.m_servers));
}

// --- the Add New Server dialog ------------------------------------------------------------------

class ServersAddDialogTest : public ::testing::Test {
protected:
    void add(const std::string& title, const std::string& url) {
        view.texts[IDC_NEW_TITLE] = title;
        view.texts[IDC_NEW_URL] = url;
        logic.OnCommand(kDialogOk);
    }

    CFakeConsoleUi app;
    CFakeDialogView view;
    CAddServerLogic logic{view, app};
};

TEST_F(ServersAddDialogTest, StripHttpRemovesEveryLowerCasePrefixWhereverItStands) {
    EXPECT_EQ(StripHttp("http://time.example"), "time.example");
    EXPECT_EQ(StripHttp("http:\\\\time.example"), "time.example");
    EXPECT_EQ(StripHttp("a.http://b.http:\\\\c"), "a.b.c");
    EXPECT_EQ(StripHttp("HTTP://time.example"), "HTTP://time.example");
    EXPECT_EQ(StripHttp("http:/time.example"), "http:/time.example");
}

TEST_F(ServersAddDialogTest, StartsInTheTitleAndAddsATrimmedUserEntry) {
    logic.OnInit();
    EXPECT_EQ(view.focused, std::vector<int>{IDC_NEW_TITLE});

    add("  Local clock\t", " http://127.0.0.1 ");

    EXPECT_EQ(view.ended, true);
    ASSERT_TRUE(logic.result());
    EXPECT_EQ(*logic.result(), CTimeServer("Local clock", "127.0.0.1", 1));
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(ServersAddDialogTest, AnIPv6AddressIsTakenAsTypedAndSurvivesTheSettingsFile) {
    // Its colons are no field separator, and the address is what the resolver reads.
    for (const std::string url : {"2001:db8::123", "[::1]", "http://[fe80::1]"}) {
        CFakeDialogView freshView;
        CAddServerLogic freshLogic{freshView, app};
        freshView.texts[IDC_NEW_TITLE] = "IPv6";
        freshView.texts[IDC_NEW_URL] = url;
        freshLogic.OnCommand(kDialogOk);
        ASSERT_TRUE(freshLogic.result()) << url;
        CTimeServer loaded;
        ASSERT_TRUE(loaded.Parse(freshLogic.result()->Format()));
        EXPECT_EQ(loaded, *freshLogic.result());
        EXPECT_TRUE(parseAddressLiteral(loaded.m_strAddress, 123).has_value()) << loaded.m_strAddress;
    }
}

struct RefusedEntry {
    const char* name;
    std::string title;
    std::string url;
    std::string message;
    int control;
};

void PrintTo(const RefusedEntry& entry, std::ostream* out) {
    *out << entry.name;
}

class ServersAddRefusalTest : public ServersAddDialogTest,
                              public ::testing::WithParamInterface<RefusedEntry> {};

TEST_P(ServersAddRefusalTest, WarnsFocusesTheFieldAndStaysOpen) {
    add(GetParam().title, GetParam().url);

    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, GetParam().message);
    EXPECT_EQ(view.boxes[0].caption, "HoraluxCons");
    EXPECT_EQ(view.boxes[0].icon, MessageIcon::Warning);
    EXPECT_EQ(view.focused, std::vector<int>{GetParam().control});
    EXPECT_FALSE(view.ended);
    EXPECT_FALSE(logic.result());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ServersAddRefusalTest,
    ::testing::Values(
        RefusedEntry{"EmptyTitle", "", "127.0.0.1", CAddServerLogic::kEmptyTitleText, IDC_NEW_TITLE},
        RefusedEntry{"BlankTitle", "   ", "127.0.0.1", CAddServerLogic::kEmptyTitleText, IDC_NEW_TITLE},
        RefusedEntry{"EmptyUrl", "Local", "", CAddServerLogic::kEmptyUrlText, IDC_NEW_URL},
        RefusedEntry{"OnlyHttp", "Local", " http:// ", CAddServerLogic::kEmptyUrlText, IDC_NEW_URL},
        RefusedEntry{"TildeInTitle", "Lo~cal", "127.0.0.1", CAddServerLogic::kTildeTitleText, IDC_NEW_TITLE},
        RefusedEntry{"TildeInUrl", "Local", "127.0.0.1~1", CAddServerLogic::kTildeUrlText, IDC_NEW_URL},
        RefusedEntry{"BothEmptyNamesTheTitle", "", "", CAddServerLogic::kEmptyTitleText, IDC_NEW_TITLE}),
    [](const ::testing::TestParamInfo<RefusedEntry>& param) { return std::string(param.param.name); });

TEST_F(ServersAddDialogTest, AnAcceptedRetryAfterARefusalEndsTheDialog) {
    add("", "127.0.0.1");
    add("Local", "127.0.0.1");
    EXPECT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.ended, true);
    EXPECT_TRUE(logic.result());
    EXPECT_FALSE(logic.OnCommand(2));  // Cancel is the framework's
}

}  // namespace
