#pragma once
// Hands each run's record to several takers in turn: the history file, and the events.

#include "engine/RunHistory.h"

#include <initializer_list>
#include <vector>

class CRunHistoryFanOut final : public RunHistory {
public:
    // The takers must outlive the fan-out.
    CRunHistoryFanOut(std::initializer_list<RunHistory*> takers) : m_takers(takers) {}

    // Every taker hears the record, also after one could not take it.
    bool Append(const RunRecord& record) override {
        bool bAll = true;
        for (RunHistory* taker : m_takers) {
            bAll = taker->Append(record) && bAll;
        }
        return bAll;
    }

private:
    const std::vector<RunHistory*> m_takers;
};
