#pragma once
// The console's channel port in memory: whether a service serves it, whether it is open, and
// every request sent.

#include <vector>

#include "console/ChannelClient.h"

class CFakeChannelClient final : public ChannelClient {
public:
    // A service answers on the channel.
    bool bServing = false;
    bool bOpen = false;
    int opens = 0;
    std::vector<ChannelKind> sent;

    bool open(unsigned /*waitMs*/) override {
        ++opens;
        bOpen = bServing;
        return bOpen;
    }
    bool isOpen() const override { return bOpen; }
    bool send(ChannelKind kind) override {
        if (bOpen) {
            sent.push_back(kind);
        }
        return bOpen;
    }
};
