#pragma once
// The synchronisation engine wired to fakes: a settable local clock, a virtual monotonic clock,
// scripted attempts, a recording log, a connectivity probe and the record file in a temporary
// folder; the settings hold three servers and default options until a test configures others.

#include "common/ProductFacts.h"
#include "tests/support/EngineWiring.h"
#include "tests/support/FakeConnectivity.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/ScriptedSyncAttempt.h"
#include "tools/kit/TempDir.h"
#include "tools/kit/VirtualMonotonicClock.h"

#include <string>

// The fakes, made before the engine that uses them.
struct EngineFakes {
    CFakeLocalClock clock;
    CVirtualMonotonicClock monotonic;
    CScriptedSyncAttempt attempt;
    CRecordingLogSink log;
    CFakeConnectivity probe;
    CTempDir dir;
};

class CEngineRig : public EngineFakes, public CEngineWiring {
public:
    explicit CEngineRig(const BackoffPolicy& policy = BackoffPolicy())
        : CEngineWiring(EnginePorts{clock, monotonic, attempt, log, probe}, dir.file(kRecordFileName),
                        policy) {
        configure("");
    }

    std::string recordFile() const { return dir.file(kRecordFileName); }
};
