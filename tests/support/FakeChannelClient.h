#pragma once
// The console's channel port in memory: whether a service serves it or another program holds
// it, whether it is open, and every request sent.

#include <vector>

#include "console/ChannelClient.h"

class CFakeChannelClient final : public ChannelClient {
public:
    // A service answers on the channel.
    bool bServing = false;
    // Another program serves the pipe; wins over bServing.
    bool bHeldByAnother = false;
    bool bOpen = false;
    int opens = 0;
    std::vector<ChannelKind> sent;

    ChannelOpening open(unsigned /*waitMs*/) override {
        ++opens;
        bOpen = bServing && !bHeldByAnother;
        if (bHeldByAnother) {
            return ChannelOpening::HeldByAnother;
        }
        return bOpen ? ChannelOpening::Answered : ChannelOpening::NotAnswered;
    }
    bool isOpen() const override { return bOpen; }
    bool send(ChannelKind kind) override {
        if (bOpen) {
            sent.push_back(kind);
        }
        return bOpen;
    }
};
