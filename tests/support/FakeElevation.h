#pragma once
// The console's elevation port in memory: the token's type, the user's answer, the outcome of
// the elevated start, and what was asked and started.

#include <string>
#include <vector>

#include "console/Elevation.h"

class CFakeElevation final : public Elevation {
public:
    ElevationType token = ElevationType::Full;  // what Wine gives every program
    bool bAnswer = false;
    ElevatedStart outcome = ElevatedStart::Started;
    std::vector<std::string> questions;
    std::vector<std::string> captions;
    std::vector<std::string> started;

    ElevationType tokenElevation() const override { return token; }
    bool confirm(const std::string& text, const std::string& caption) override {
        questions.push_back(text);
        captions.push_back(caption);
        return bAnswer;
    }
    ElevatedStart startElevated(const std::string& argument) override {
        started.push_back(argument);
        return outcome;
    }
};
