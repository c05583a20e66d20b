#pragma once
// One simulated run of the service for days: the engine's own settings, controller, scheduler,
// runs, SNTP exchanges and clock discipline, ticked once a virtual second as the control
// window's timer ticks them, against a simulated PC clock and simulated time servers on a
// virtual network. Virtual time moves only as the engine waits, so days pass in seconds.

#include <cstdint>
#include <string>

struct ClockScenario {
    std::string mode = "continuous";  // continuous, hourly, daily, onstart
    double days = 7.0;
    std::uint64_t seed = 1;
    double frequencyPpm = 50.0;
    double wander = 1e-9;  // per square root of a second
    double swingPpm = 1.0;
    double delayMs = 5.0;   // each leg
    double jitterMs = 1.0;  // each leg, exponential mean
    double spikeRate = 0.02;
    double spikeMs = 50.0;
    double loss = 0.05;
    int servers = 1;
    double falsetickerSeconds = 0.0;  // the first server's error; 0: no falseticker
    double initialOffsetSeconds = 0.3;
    double warmupHours = 2.0;
    bool bLegacyApi = false;
    bool bNoDiscipline = false;
};

struct ClockFigures {
    double maxAbsMs = 0.0;  // of the clock's error, sampled each second after the warm-up
    double rmsMs = 0.0;
    double datagramsPerDay = 0.0;  // after the warm-up
    int steps = 0;
    int backwardSteps = 0;    // backward steps other than a first step within the first three syncs
    bool bStepsEarly = true;  // every step came within the first three synchronisations
    double frequencyErrorPpm6h = 0.0;
    double falsetickerMovesMs = 0.0;  // corrections made on the falseticker's answers
    int synchronisations = 0;
};

// The mode's number in the settings (nSynPeriod); -1 for an unknown name.
int ModeValue(const std::string& mode);

ClockFigures SimulateClock(const ClockScenario& scenario);
