#pragma once
// The synchronisation engine wired to fakes: a settable local clock, a virtual monotonic clock,
// scripted attempts, a recording log, a connectivity probe, a simulated PC clock that the clock
// discipline steps and slews (exact, on time), and the record and drift files in a temporary
// folder; the settings hold three servers and default options until a test configures others.
// The drift file says the clock's frequency is known, so that no learning polls come between a
// test and the schedule it looks at; a test of the learning removes it.

#include "common/ProductFacts.h"
#include "tests/support/EngineWiring.h"
#include "tests/support/FakeConnectivity.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/ScriptedSyncAttempt.h"
#include "tests/support/VirtualClock.h"
#include "tools/kit/SimulatedPcClock.h"
#include "tools/kit/TempDir.h"
#include "tools/kit/VirtualMonotonicClock.h"
#include "tools/kit/VirtualUtcClock.h"

#include <string>

// The fakes, made before the engine that uses them.
struct EngineFakes {
    CFakeLocalClock clock;
    CVirtualMonotonicClock monotonic;
    CScriptedSyncAttempt attempt;
    CRecordingLogSink log;
    CFakeConnectivity probe;
    CTempDir dir;
    // 1 June 2025, 12:00:00 UTC.
    CVirtualUtcClock trueClock{monotonic, NtpTimestamp(3957768000u, 0)};
    CSimulatedPcClock pcClock{monotonic, trueClock, OscillatorModel{}, 0.0};
    CFakeTimePrivilege privilege;

    EnginePorts ports() {
        return EnginePorts{clock, monotonic, attempt, log, probe, pcClock, pcClock, privilege};
    }
};

class CEngineRig : public EngineFakes, public CEngineWiring {
public:
    explicit CEngineRig(const BackoffPolicy& policy = BackoffPolicy())
        : CEngineWiring(ports(), dir.file(kRecordFileName), dir.file(kDriftFileName), policy) {
        drift.Store(DriftState{});
        configure("");
    }

    std::string recordFile() const { return dir.file(kRecordFileName); }
    std::string driftFile() const { return dir.file(kDriftFileName); }
};
