// The command line of HoraluxServ: actions, the account and password of -l and -p, the server
// and sample count of -q and -n, and what happens without an action.

#include "service/CommandLine.h"
#include "service/HostPlatform.h"

#include <gtest/gtest.h>

namespace {

ServiceCommand Parse(std::vector<std::string> args) {
    return ParseServiceArguments(args);
}

TEST(CommandLine, EachActionSwitchChoosesItsAction) {
    const std::pair<const char*, HostAction> cases[] = {
        {"-d", HostAction::RunAsProcess}, {"-f", HostAction::RunFaceless},  {"-i", HostAction::Install},
        {"-u", HostAction::Remove},       {"-s", HostAction::StartRunning}, {"-e", HostAction::StopRunning},
        {"-q", HostAction::Query},        {"-w", HostAction::WindowsTime},
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

}  // namespace
