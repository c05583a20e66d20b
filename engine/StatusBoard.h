#pragma once
// Where the engine puts up its state once a tick, for HoraluxServ -status to read from
// another thread (the console channel's).

#include "common/StatusReport.h"

class StatusBoard {
public:
    virtual ~StatusBoard() = default;
    virtual void publish(const StatusReport& report) = 0;
};
