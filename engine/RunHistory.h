#pragma once
// Port to the history of runs: the controller hands it every run's record as the run ends.

#include "engine/RunRecord.h"

class RunHistory {
public:
    virtual ~RunHistory() = default;
    // False when the record could not reach the history yet; it is not lost, but goes in with
    // the next one.
    virtual bool Append(const RunRecord& record) = 0;
};
