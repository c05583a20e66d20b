#pragma once
// What the discipline keeps across restarts ("zHoraluxServ.drift" beside the log): the
// oscillator's frequency error it learned and the user's offset the clock carries. A restart
// then corrects the rate at once instead of learning it again, and knows a change of the offset
// made while the service was stopped for what it is. Three text lines, written in one step.
// A file that is clearly wrong (not ours, not numbers, a frequency beyond 500 ppm) is ignored
// with a notice in the log.

#include "common/LogSink.h"

#include <optional>
#include <string>

struct DriftState {
    double frequencyPpm = 0.0;  // the oscillator gains this many ppm without correction
    int nOffset = 0;            // seconds the clock is kept ahead of the servers' time
};

class CDriftFile {
public:
    static constexpr double kLimitPpm = 500.0;

    // fileName is resolved against the current directory; log must outlive the file.
    CDriftFile(std::string fileName, LogSink& log);

    // The state in the file; nothing when there is none or it is damaged (then with a notice).
    std::optional<DriftState> Load() const;
    // Writes the state, replacing the file in one step; a failure leaves a notice.
    void Store(const DriftState& state) const;

    // The file's text for state, and the state in a text (nothing when it is not one).
    static std::string Encode(const DriftState& state);
    static std::optional<DriftState> Decode(const std::string& text);

private:
    const std::string m_strFileName;
    LogSink& m_log;
};
