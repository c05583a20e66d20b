#pragma once
// Where the engine puts up its state once a tick, for HoraluxServ -status to read from
// another thread (the console channel's).

#include "common/ClockStatus.h"

class StatusBoard {
public:
    virtual ~StatusBoard() = default;
    virtual void publish(const ClockStatus& report) = 0;
};
