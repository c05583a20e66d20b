#pragma once
// What one run did, as one value: when it ended, how it was labelled, the server it asked and
// what that answered (or why it failed), what became of the clock, and the frequency learned
// after it. The controller keeps the last one; a history of runs, a status command and the
// events are made of these.

#include "common/HistoryCsv.h"
#include "engine/ClockDiscipline.h"
#include "sntp/NtpTimestamp.h"
#include "sntp/SyncOutcome.h"

#include <string>

struct RunRecord {
    NtpTimestamp utc;       // the clock when the run ended
    std::string strLabel;   // "Manualy", or the mode's name
    std::string strServer;  // the title of the server asked
    SyncOutcome sample;     // its answer (address, offset, delay, stratum), or why it failed
    ClockAction action = ClockAction::Failed;
    // s the clock was stepped by, or is being slewed by; for an answer refused because a second
    // server disagreed, the step it would have made
    double correction = 0.0;
    double frequencyPpm = 0.0;  // the oscillator's error as estimated after the run
    std::string strReason;      // why the clock was left alone although the server answered
    bool bPoll = false;         // a poll of the continuous mode
    // The second server that disagreed (its title; empty when none did), and the step its
    // answer would have made.
    std::string strRival;
    double rivalCorrection = 0.0;
};

// Why the run failed, in one sentence: the run's own reason, else what became of the exchange;
// empty for a run that did not fail.
std::string RunFailureReason(const RunRecord& record);

// What the run did to the clock, in the history's terms.
HistoryAction HistoryActionOf(ClockAction action);
