// The command line of HoraluxServ: actions, the account and password of -l and -p, the server
// and sample count of -q and -n, and what happens without an action.

#include "service/CommandLine.h"
#include "service/HostPlatform.h"

#include "engine/ServerQuery.h"
#include "service/HostTexts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

ServiceCommand Parse(std::vector<std::string> args) {
    return ParseServiceArguments(args);
}

TEST(CommandLine, EachActionSwitchChoosesItsAction) {
    const std::pair<const char*, HostAction> cases[] = {
        {"-d", HostAction::RunAsProcess},
        {"-f", HostAction::RunFaceless},
        {"-i", HostAction::Install},
        {"-u", HostAction::Remove},
        {"-s", HostAction::StartRunning},
        {"-e", HostAction::StopRunning},
        {"-q", HostAction::Query},
        {"-w", HostAction::WindowsTime},
        {"-status", HostAction::Status},
        {"-stat", HostAction::StartRunning},  // only the whole word is the status switch
    };
    for (const auto& [arg, action] : cases) {
        EXPECT_EQ(Parse({arg}).action, action) << arg;
    }
}

TEST(CommandLine, LastActionCounts) {
    EXPECT_EQ(Parse({"-i", "-u"}).action, HostAction::Remove);
    EXPECT_EQ(Parse({"-u", "-s", "-e"}).action, HostAction::StopRunning);
}

TEST(CommandLine, RunSwitchesActAtOnceAndIgnoreTheRest) {
    EXPECT_EQ(Parse({"-u", "-d"}).action, HostAction::RunAsProcess);
    EXPECT_EQ(Parse({"-d", "-u"}).action, HostAction::RunAsProcess);
    EXPECT_EQ(Parse({"-f", "-i", "-lsomeone"}).action, HostAction::RunFaceless);
    EXPECT_FALSE(Parse({"-f", "-lsomeone"}).account.has_value());
}

TEST(CommandLine, UnknownSwitchesAndPlainArgumentsAreIgnored) {
    for (const char* arg : {"-x", "-", "i", "install", "-I", "/i", ""}) {
        const ServiceCommand command = Parse({arg});
        EXPECT_EQ(command.action, HostAction::None) << '"' << arg << '"';
        EXPECT_FALSE(command.account.has_value());
    }
    // The second character alone chooses: "-install" is -i.
    EXPECT_EQ(Parse({"-install"}).action, HostAction::Install);
}

TEST(CommandLine, AccountAndPasswordInTheSameOrTheNextArgument) {
    const ServiceCommand apart = Parse({"-i", "-l", ".\\clock", "-p", "secret"});
    EXPECT_EQ(apart.action, HostAction::Install);
    EXPECT_EQ(apart.account, ".\\clock");
    EXPECT_EQ(apart.password, "secret");

    const ServiceCommand together = Parse({"-l.\\clock", "-psecret", "-i"});
    EXPECT_EQ(together.action, HostAction::Install);
    EXPECT_EQ(together.account, ".\\clock");
    EXPECT_EQ(together.password, "secret");
}

TEST(CommandLine, NextArgumentIsConsumedEvenWhenItLooksLikeASwitch) {
    const ServiceCommand command = Parse({"-i", "-l", "-u"});
    EXPECT_EQ(command.action, HostAction::Install);
    EXPECT_EQ(command.account, "-u");
}

TEST(CommandLine, TrailingValueSwitchLeavesTheFieldEmpty) {
    EXPECT_FALSE(Parse({"-i", "-l"}).account.has_value());
    EXPECT_FALSE(Parse({"-i", "-p"}).password.has_value());
    EXPECT_FALSE(Parse({"-lsomeone", "-l"}).account.has_value());
    EXPECT_FALSE(Parse({"-l", ""}).account.has_value());
}

TEST(CommandLine, QueryTakesAnOptionalServerButNoSwitchAsOneAndACount) {
    const ServiceCommand apart = Parse({"-q", "time.example", "-n", "3"});
    EXPECT_EQ(apart.action, HostAction::Query);
    EXPECT_EQ(apart.queryServer, "time.example");
    EXPECT_EQ(apart.sampleCount, "3");

    const ServiceCommand together = Parse({"-n7", "-q::1"});
    EXPECT_EQ(together.queryServer, "::1");
    EXPECT_EQ(together.sampleCount, "7");

    const ServiceCommand bare = Parse({"-q", "-n", "2"});
    EXPECT_EQ(bare.action, HostAction::Query);
    EXPECT_FALSE(bare.queryServer.has_value());
    EXPECT_EQ(bare.sampleCount, "2");

    EXPECT_FALSE(Parse({"-q"}).queryServer.has_value());
    EXPECT_EQ(Parse({"-q", "-u"}).action, HostAction::Remove);
    EXPECT_EQ(Parse({"-i", "-q", "x"}).action, HostAction::Query);
}

TEST(CommandLine, WithoutAnActionAServiceOnNtAHiddenProcessOn9x) {
    const CHostPlatform nt(HostFamily::Nt);
    const CHostPlatform windows9x(HostFamily::Windows9x);
    EXPECT_EQ(nt.ResolveAction(Parse({}).action), HostAction::Dispatch);
    EXPECT_EQ(nt.ResolveAction(Parse({"-x"}).action), HostAction::Dispatch);
    EXPECT_EQ(windows9x.ResolveAction(Parse({"-lsomeone"}).action), HostAction::RunFaceless);
    EXPECT_EQ(windows9x.ResolveAction(HostAction::Install), HostAction::Install);
    EXPECT_EQ(nt.ResolveAction(HostAction::RunAsProcess), HostAction::RunAsProcess);
}

// -q takes an address as its lines print it, with or without the port.
TEST(CommandLine, QueryServerMayCarryThePortAsTheLinesPrintIt) {
    struct Case {
        const char* text;
        std::optional<std::pair<std::string, int>> target;
    };
    const Case cases[] = {
        {"127.0.0.1", std::pair{"127.0.0.1", 7}},
        {"127.0.0.1:123", std::pair{"127.0.0.1", 123}},
        {"time.example:65535", std::pair{"time.example", 65535}},
        {"[::1]:123", std::pair{"[::1]", 123}},
        {"[::1]", std::pair{"[::1]", 7}},
        {"::1", std::pair{"::1", 7}},
        {"fe80::1%2", std::pair{"fe80::1%2", 7}},
        {"127.0.0.1:0", std::nullopt},
        {"127.0.0.1:65536", std::nullopt},
        {"127.0.0.1:+123", std::nullopt},
        {"127.0.0.1:", std::nullopt},
        {":123", std::nullopt},
        {"[::1]123", std::nullopt},
        {"[::1]:x", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<QueryTarget> target = ParseQueryTarget(c.text, 7);
        ASSERT_EQ(target.has_value(), c.target.has_value()) << c.text;
        if (target) {
            EXPECT_EQ(target->host, c.target->first) << c.text;
            EXPECT_EQ(target->port, c.target->second) << c.text;
        }
    }
}

// Printed when the program was started by hand without an action (the dispatcher refuses).
TEST(CommandLine, TheUsageHasALineForEverySwitch) {
    const std::string usage = HostTextFor(HostText::Usage).pattern;
    for (const char* lead : {"\n  (none) ", "\n  -i ", "\n  -l ", "\n  -p ", "\n  -u ", "\n  -s ", "\n  -e ",
                             "\n  -d ", "\n  -f ", "\n  -q ", "\n  -n ", "\n  -c ", "\n  -status "}) {
        EXPECT_NE(usage.find(lead), std::string::npos) << lead;
    }
    EXPECT_EQ(usage.rfind("Usage: HoraluxServ ", 0), 0u);
    EXPECT_EQ(HostTextFor(HostText::Usage).target, TextTarget::StandardOutput);
}

}  // namespace
