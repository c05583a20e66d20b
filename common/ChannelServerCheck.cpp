#include "common/ChannelServerCheck.h"

ChannelServerVerdict JudgeChannelServer(const ChannelServerFacts& facts) {
    const std::optional<std::uint32_t> trusted = facts.service ? facts.service : facts.controlWindow;
    if (!trusted || !facts.pipeServer) {
        return ChannelServerVerdict::Unverified;
    }
    return *facts.pipeServer == *trusted ? ChannelServerVerdict::Service : ChannelServerVerdict::Impostor;
}
