// Who may serve the console channel: the service manager's process while the service runs,
// else the owner of the control window beside the client; any other server is an impostor,
// and without anyone to compare with, nothing is trusted.

#include "common/ChannelServerCheck.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kService = 1200;
constexpr std::uint32_t kWindowOwner = 3400;
constexpr std::uint32_t kSquatter = 5600;

TEST(ChannelServerCheckTest, OnlyTheServiceManagersProcessOrWithoutItTheWindowsOwnerMayServe) {
    const struct {
        ChannelServerFacts facts;
        ChannelServerVerdict verdict;
        const char* why;
    } cases[] = {
        {{kService, kService, std::nullopt}, ChannelServerVerdict::Service, "the installed service"},
        {{kService, kService, kSquatter}, ChannelServerVerdict::Service, "a window does not matter then"},
        {{kSquatter, kService, std::nullopt}, ChannelServerVerdict::Impostor, "a squatter, service running"},
        {{kWindowOwner, kService, kWindowOwner},
         ChannelServerVerdict::Impostor,
         "a window with the service's title does not outrank the service manager"},
        {{kWindowOwner, std::nullopt, kWindowOwner}, ChannelServerVerdict::Service, "HoraluxServ -d beside"},
        {{kSquatter, std::nullopt, kWindowOwner}, ChannelServerVerdict::Impostor, "a squatter, -d beside"},
        {{kSquatter, std::nullopt, std::nullopt}, ChannelServerVerdict::Unverified, "no service to be seen"},
        {{std::nullopt, kService, kWindowOwner}, ChannelServerVerdict::Unverified, "the pipe says nothing"},
    };
    for (const auto& testCase : cases) {
        EXPECT_EQ(JudgeChannelServer(testCase.facts), testCase.verdict) << testCase.why;
    }
}

}  // namespace
