// HoraluxServ -q as the core runs it, against the fake server on loopback: the lines a user
// reads for valid samples and for every kind of bad reply, the spacing, the addresses of a name
// in turn, the summary and the exit code; which server and how many samples the command line
// chooses; and that nothing sets the clock or writes the settings file.

#include "engine/ServerQuery.h"
#include "tests/support/BadReplyCases.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/FakeMonotonicClock.h"
#include "tests/support/FakeNameLookup.h"
#include "tests/support/FakePolicySource.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/support/TestAddress.h"
#include "tests/support/VirtualClock.h"
#include "tools/kit/FakeSntpServer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Long enough for Wine's first exchange on a busy machine (up to 0.2 s measured).
constexpr std::uint32_t kTimeoutMs = 1000;

class ServerQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Port of its own on 127.0.0.1: under Wine a server on another loopback address answers
        // from 127.0.0.1.
        ASSERT_TRUE(m_server.start("127.0.0.1", 0)) << socket_platform::lastError();
    }

    int Run(const std::string& server, int samples) { return Query().Run(server, samples); }

    CServerQuery Query() {
        QueryPorts ports{m_clock,
                         m_localClock,
                         m_monotonic,
                         m_resolver,
                         [this](const std::string& line) { m_lines.push_back(line); },
                         [](int code) { return std::string(std::strerror(code)); },
                         m_server.port(),
                         kTimeoutMs};
        return CServerQuery(ports);
    }

    // The sample lines: those after the header, before the summary.
    std::vector<std::string> SampleLines() const {
        return m_lines.size() < 2 ? std::vector<std::string>()
                                  : std::vector<std::string>(m_lines.begin() + 1, m_lines.end() - 1);
    }

    std::unique_ptr<SystemClock> m_pRealClock = makeSystemClock();
    CVirtualClock m_clock{*m_pRealClock};
    CFakeLocalClock m_localClock{MakeLocalTime(2031, 7, 4, 9, 5, 3, 42)};
    CFakeMonotonicClock m_monotonic;
    std::shared_ptr<CFakeNameLookup> m_pLookup = std::make_shared<CFakeNameLookup>();
    CHostResolver m_resolver{m_pLookup};
    CFakeSntpServer m_server;
    std::vector<std::string> m_lines;
};

TEST_F(ServerQueryTest, ValidSamplesFourSecondsApartThenTheSummaryAndExitCodeZero) {
    FakeReply reply = FakeReply::offsetBy(0.25);
    reply.stratum = 2;
    reply.referenceId = std::string("\xC0\x00\x02\x07", 4);
    m_server.answerWith(reply);

    EXPECT_EQ(Run("127.0.0.1", 3), kQueryAnswered);

    ASSERT_EQ(m_lines.size(), 5u);
    EXPECT_EQ(m_lines.front(), "Querying 127.0.0.1 (127.0.0.1:" + std::to_string(m_server.port()) +
                                   "), 3 samples; the clock is not changed.");
    const std::regex valid(
        "2031-07-04 09:05:03\\.042  127\\.0\\.0\\.1:[0-9]+  offset \\+([0-9]+\\.[0-9]{3}) ms  "
        "delay ([0-9]+\\.[0-9]{3}) ms  stratum 2  leap 0  ref 192\\.0\\.2\\.7");
    for (const std::string& line : SampleLines()) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, valid)) << line;
        // Whatever the loopback path adds to one leg shows as at most half of it in the offset.
        EXPECT_NEAR(std::stod(match[1]), 250.0, std::stod(match[2]) / 2 + 1.0) << line;
    }
    EXPECT_TRUE(std::regex_match(
        m_lines.back(),
        std::regex("Summary: 3 of 3 samples answered; median offset \\+[0-9]+\\.[0-9]{3} "
                   "ms; smallest delay [0-9.]+ ms; best estimate \\(offset at the smallest delay\\) "
                   "\\+[0-9]+\\.[0-9]{3} ms\\.")))
        << m_lines.back();
    EXPECT_EQ(m_monotonic.waits(), (std::vector<MonotonicClock::TimePoint::duration>{4s, 4s}));
    EXPECT_TRUE(m_clock.settings().empty());
}

TEST_F(ServerQueryTest, EachBadReplyNamesTheCheckItFailedAndTheClockStaysUntouched) {
    const std::vector<BadReplyCase> cases = OneBadReplyOfEachKind();
    for (const BadReplyCase& bad : cases) {
        m_server.queueAnswer(bad.reply);
    }

    EXPECT_EQ(Run("127.0.0.1", static_cast<int>(cases.size())), kQueryUnanswered);

    const std::vector<std::string> lines = SampleLines();
    ASSERT_EQ(lines.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_NE(lines[i].find(std::string("  failed: bad reply: ") + cases[i].shown), std::string::npos)
            << lines[i];
    }
    EXPECT_EQ(m_lines.back(), "Summary: 0 of " + std::to_string(cases.size()) + " samples answered.");
    EXPECT_TRUE(m_clock.settings().empty());
}

TEST_F(ServerQueryTest, TheAddressesOfANameTakeTurnsAndEachFailureSaysWhy) {
    // 127.0.0.2 has nothing on the port: natively it refuses; under Wine, which does not report
    // "port unreachable", it stays silent. 127.0.0.1 first stays silent, then answers.
    m_pLookup->answer("two.test", {TestAddress("127.0.0.2", 0), TestAddress("127.0.0.1", 0)});
    m_server.queueAnswer(FakeReply::silent());

    EXPECT_EQ(Run("two.test", 4), kQueryAnswered);

    const std::vector<std::string> lines = SampleLines();
    ASSERT_EQ(lines.size(), 4u);
#ifdef _WIN32
    const std::string refused =
        "127.0.0.2:" + std::to_string(m_server.port()) + "  failed: no reply within 1 s";
#else
    const std::string refused = "127.0.0.2:" + std::to_string(m_server.port()) +
                                "  failed: unreachable: " + std::strerror(ECONNREFUSED) + " (error " +
                                std::to_string(ECONNREFUSED) + ")";
#endif
    EXPECT_NE(lines[0].find(refused), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("127.0.0.1:" + std::to_string(m_server.port()) +
                            "  failed: no reply within 1 s (time-out)"),
              std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find(refused), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("  offset "), std::string::npos) << lines[3];
    EXPECT_EQ(m_lines.back().rfind("Summary: 1 of 4 samples answered; ", 0), 0u) << m_lines.back();

    m_lines.clear();
    EXPECT_EQ(Run("unknown.test", 2), kQueryUnanswered);
    EXPECT_EQ(m_lines,
              (std::vector<std::string>{"Cannot resolve unknown.test: " +
                                        std::string(std::strerror(CFakeNameLookup::kUnknownName)) +
                                        " (error " + std::to_string(CFakeNameLookup::kUnknownName) + ")"}));
}

TEST_F(ServerQueryTest, TheCommandTakesTheStartingServerAndTheCountAndRefusesBadCounts) {
    CFakeProfileStore store;
    store.setText(
        "zHoraluxServ.ini",
        "[Options]\nnStartingServ=1\n[Servers]\nServers_Counter=2\nServers 0=Elsewhere~192.0.2.1~1\n"
        "Servers 1=Here~127.0.0.1~1\n");
    EXPECT_EQ(Query().RunCommand(std::nullopt, std::string("2"), store), kQueryAnswered);
    EXPECT_EQ(m_server.requestCount(), 2u);
    EXPECT_EQ(m_lines.front().rfind("Querying 127.0.0.1 (", 0), 0u) << m_lines.front();

    for (const char* bad : {"0", "101", "-1", "x", "", "4x", "1000000000000"}) {
        m_lines.clear();
        EXPECT_EQ(Query().RunCommand(std::string("127.0.0.1"), std::string(bad), store), kQueryBadCommand)
            << bad;
        ASSERT_EQ(m_lines.size(), 2u) << bad;
        EXPECT_EQ(m_lines[0], "Not a sample count: \"" + std::string(bad) + "\".");
        EXPECT_EQ(m_lines[1].rfind("Usage: HoraluxServ -q [server[:port]] [-n samples]", 0), 0u);
    }
    EXPECT_EQ(m_server.requestCount(), 2u);
    EXPECT_EQ(ParseSampleCount("100"), 100);
    EXPECT_EQ(ParseSampleCount("007"), 7);

    // A damaged list is the built-in one, as the service would rebuild it (a starting server
    // beyond it is the first), but nothing is written.
    store.setText("zHoraluxServ.ini", "[Options]\nnStartingServ=40\n[Servers]\nServers_Counter=1\n");
    const int writes = store.writeCount();
    EXPECT_EQ(StartingServerAddress(store), "129.6.15.28");
    EXPECT_EQ(store.writeCount(), writes);

    // On a managed PC the organisation's list is the one in force.
    CFakePolicySource policy;
    policy.setLines("Servers", {"Policy~127.0.0.9"});
    EXPECT_EQ(StartingServerAddress(store, &policy), "127.0.0.9");
}

TEST(QueryReportTest, MedianAndSmallestDelayComeFromTheValidSamplesOnly) {
    const auto sample = [](bool valid, double offset, double delay) {
        QuerySample s;
        s.outcome.bSucceeded = valid;
        s.response.clockOffset = offset;
        s.response.roundTripDelay = delay;
        return s;
    };
    const QuerySummary summary =
        SummarizeSamples({sample(true, 0.004, 0.010), sample(false, 9.0, 0.0), sample(true, 0.001, 0.002),
                          sample(true, 0.010, 0.030), sample(true, -0.002, 0.020)});
    EXPECT_EQ(summary.nSamples, 5);
    EXPECT_EQ(summary.nAnswered, 4);
    EXPECT_DOUBLE_EQ(summary.medianOffset, 0.0025);
    EXPECT_DOUBLE_EQ(summary.smallestDelay, 0.002);
    EXPECT_DOUBLE_EQ(summary.offsetAtSmallestDelay, 0.001);

    SntpResponse reference;
    reference.stratum = 1;
    reference.referenceId = {'G', 'P', 'S', 0};
    EXPECT_EQ(FormatReferenceId(reference), "GPS");
    reference.stratum = 3;
    EXPECT_EQ(FormatReferenceId(reference), "71.80.83.0");
}

}  // namespace
