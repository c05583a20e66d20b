// HoraluxServ -q as the core runs it, on virtual time against a scripted server: the lines a user
// reads for valid samples and for every kind of bad reply, the spacing, the addresses of a name
// in turn, the summary and the exit code; which server and how many samples the command line
// chooses; and that nothing sets the clock or writes the settings file.

#include "engine/ServerQuery.h"
#include "sntp/SocketPlatform.h"
#include "tests/support/BadReplyCases.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/FakeNameLookup.h"
#include "tests/support/FakePolicySource.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/support/VirtualSntpRig.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kTimeoutMs = 1000;
constexpr const char* kServer = CVirtualSntpRig::kServer;

class ServerQueryTest : public ::testing::Test {
protected:
    int Run(const std::string& server, int samples) { return Query().Run(server, samples); }

    CServerQuery Query() {
        QueryPorts ports{m_rig.clock,
                         m_localClock,
                         m_rig.monotonic,
                         m_rig.network,
                         m_resolver,
                         [this](const std::string& line) { m_lines.push_back(line); },
                         [](int code) { return std::string(std::strerror(code)); },
                         CVirtualSntpRig::kPort,
                         kTimeoutMs};
        return CServerQuery(ports);
    }

    // The sample lines: those after the header, before the summary.
    std::vector<std::string> SampleLines() const {
        return m_lines.size() < 2 ? std::vector<std::string>()
                                  : std::vector<std::string>(m_lines.begin() + 1, m_lines.end() - 1);
    }

    CVirtualSntpRig m_rig;
    CFakeLocalClock m_localClock{MakeLocalTime(2031, 7, 4, 9, 5, 3, 42)};
    std::shared_ptr<CFakeNameLookup> m_pLookup = std::make_shared<CFakeNameLookup>();
    CHostResolver m_resolver{m_pLookup, m_rig.monotonic};
    std::vector<std::string> m_lines;
};

TEST_F(ServerQueryTest, ValidSamplesFourSecondsApartThenTheSummaryAndExitCodeZero) {
    FakeReply reply = FakeReply::offsetBy(0.25);
    reply.stratum = 2;
    reply.referenceId = std::string("\xC0\x00\x02\x07", 4);
    reply.networkDelay = 12ms;
    m_rig.server.answerWith(reply);

    EXPECT_EQ(Run(kServer, 3), kQueryAnswered);

    const std::string sample =
        "2031-07-04 09:05:03.042  192.0.2.1:123  offset +250.000 ms  delay 12.000 ms  stratum 2  leap 0  "
        "ref 192.0.2.7";
    EXPECT_EQ(m_lines,
              (std::vector<std::string>{
                  "Querying 192.0.2.1 (192.0.2.1:123), 3 samples; the clock is not changed.", sample, sample,
                  sample,
                  "Summary: 3 of 3 samples answered; median offset +250.000 ms; smallest delay 12.000 "
                  "ms; best estimate (offset at the smallest delay) +250.000 ms."}));
    const std::vector<ReceivedRequest> requests = m_rig.server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].arrival - requests[0].arrival, 4s);
    EXPECT_EQ(requests[2].arrival - requests[1].arrival, 4s);
    EXPECT_TRUE(m_rig.clock.settings().empty());
}

TEST_F(ServerQueryTest, EachBadReplyNamesTheCheckItFailedAndTheClockStaysUntouched) {
    const std::vector<BadReplyCase> cases = OneBadReplyOfEachKind();
    for (const BadReplyCase& bad : cases) {
        m_rig.server.queueAnswer(bad.reply);
    }

    EXPECT_EQ(Run(kServer, static_cast<int>(cases.size())), kQueryUnanswered);

    const std::vector<std::string> lines = SampleLines();
    ASSERT_EQ(lines.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_NE(lines[i].find(std::string("  failed: bad reply: ") + cases[i].shown), std::string::npos)
            << lines[i];
    }
    EXPECT_EQ(m_lines.back(), "Summary: 0 of " + std::to_string(cases.size()) + " samples answered.");
    EXPECT_TRUE(m_rig.clock.settings().empty());
}

TEST_F(ServerQueryTest, TheAddressesOfANameTakeTurnsAndEachFailureSaysWhy) {
    // 192.0.2.2 refuses at once; the server first stays silent, then answers.
    m_rig.network.refuse(TestAddress("192.0.2.2", CVirtualSntpRig::kPort));
    m_pLookup->answer("two.test", {TestAddress("192.0.2.2", 0), TestAddress(kServer, 0)});
    m_rig.server.queueAnswer(FakeReply::silent());

    EXPECT_EQ(Run("two.test", 4), kQueryAnswered);

    const std::vector<std::string> lines = SampleLines();
    ASSERT_EQ(lines.size(), 4u);
    const int unreachable = socket_platform::kErrorPortUnreachable;
    const std::string refused =
        "192.0.2.2:123  failed: unreachable: " + std::string(std::strerror(unreachable)) + " (error " +
        std::to_string(unreachable) + ")";
    EXPECT_NE(lines[0].find(refused), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("192.0.2.1:123  failed: no reply within 1 s (time-out)"), std::string::npos)
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
        "Servers 1=Here~192.0.2.1~1\n");
    EXPECT_EQ(Query().RunCommand(std::nullopt, std::string("2"), store), kQueryAnswered);
    EXPECT_EQ(m_rig.server.requestCount(), 2u);
    EXPECT_EQ(m_lines.front().rfind("Querying 192.0.2.1 (", 0), 0u) << m_lines.front();

    for (const char* bad : {"0", "101", "-1", "x", "", "4x", "1000000000000"}) {
        m_lines.clear();
        EXPECT_EQ(Query().RunCommand(std::string(kServer), std::string(bad), store), kQueryBadCommand) << bad;
        ASSERT_EQ(m_lines.size(), 2u) << bad;
        EXPECT_EQ(m_lines[0], "Not a sample count: \"" + std::string(bad) + "\".");
        EXPECT_EQ(m_lines[1].rfind("Usage: HoraluxServ -q [server[:port]] [-n samples]", 0), 0u);
    }
    EXPECT_EQ(m_rig.server.requestCount(), 2u);
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
