#pragma once
// Passes each result notice on to several notifiers in turn: the console window that announced
// itself last, and every console on the channel.

#include "engine/ResultNotifier.h"

#include <initializer_list>
#include <vector>

class CResultFanOut final : public ResultNotifier {
public:
    // The targets must outlive the fan-out.
    CResultFanOut(std::initializer_list<ResultNotifier*> targets) : m_targets(targets) {}

    void notifyResult(int resultCode) override {
        for (ResultNotifier* target : m_targets) {
            target->notifyResult(resultCode);
        }
    }

private:
    const std::vector<ResultNotifier*> m_targets;
};
