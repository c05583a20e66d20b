#pragma once
// Puts the engine's state up on several boards in turn: the console channel's, and the events'.

#include "engine/StatusBoard.h"

#include <initializer_list>
#include <vector>

class CStatusBoardFanOut final : public StatusBoard {
public:
    // The boards must outlive the fan-out.
    CStatusBoardFanOut(std::initializer_list<StatusBoard*> boards) : m_boards(boards) {}

    void publish(const ClockStatus& report) override {
        for (StatusBoard* board : m_boards) {
            board->publish(report);
        }
    }

private:
    const std::vector<StatusBoard*> m_boards;
};
