#pragma once
// The synchronisation engine wired as the service wires it (settings, controller, scheduler, the
// watch on the Windows Time service and the engine's front) to the ports a test gives, with the
// settings in an in-memory INI file that holds three servers unless a test writes others.

#include "common/LogSink.h"
#include "engine/ClockDiscipline.h"
#include "engine/ConnectivityProbe.h"
#include "engine/DriftFile.h"
#include "engine/EngineSettings.h"
#include "engine/HistoryFile.h"
#include "engine/LocalClock.h"
#include "engine/Scheduler.h"
#include "engine/SyncAttempt.h"
#include "engine/SyncController.h"
#include "engine/SyncEngine.h"
#include "engine/WindowsTimeWatch.h"
#include "settings/Settings.h"
#include "sntp/ClockRate.h"
#include "sntp/MonotonicClock.h"
#include "sntp/SystemClock.h"
#include "tests/support/FakeHistoryStore.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/support/FakeWindowsTimeProbe.h"
#include "tests/support/InProcessLock.h"

#include <string>

struct EnginePorts {
    LocalClock& clock;
    const MonotonicClock& monotonic;
    SyncAttempt& attempt;
    LogSink& log;
    ConnectivityProbe& probe;
    SystemClock& systemClock;  // what the clock discipline steps
    ClockRate& rate;           // and whose rate it drives
    TimePrivilege& privilege;
};

class CEngineWiring {
public:
    static constexpr const char* kThreeServers =
        "[Servers]\nServers_Counter=3\n"
        "Servers 0=Alpha~alpha.test~1\nServers 1=Beta~beta.test~1\nServers 2=Gamma~gamma.test~1\n";

    // Everything given must outlive the wiring; recordFile and driftFile name the
    // last-synchronisation file and the clock discipline's drift file.
    CEngineWiring(const EnginePorts& ports, const std::string& recordFile, const std::string& driftFile,
                  const BackoffPolicy& policy = BackoffPolicy());

    // Writes "[Options]" with the given "key=value" lines and the server section, then loads
    // them as the service does at start (settings, the clock discipline's drift file, then the
    // controller with a fresh start).
    void configure(const std::string& optionLines, const std::string& servers = kThreeServers);
    void writeSettings(const std::string& optionLines, const std::string& servers = kThreeServers);

    // Waits for the run in progress, if any, to end by itself, and harvests it.
    void awaitIdle() { controller.AwaitRun(); }

    CFakeProfileStore store;
    CSettings settings{store, [] { return std::string("12/8/2025 1:23:45 AM"); }};
    CEngineSettings engineSettings{settings};
    // The history in memory: rows land in historyStore.
    CFakeHistoryStore historyStore;
    CInProcessLock historyLock;
    CHistoryFile history{historyStore, historyLock};
    CDriftFile drift;
    CClockDiscipline discipline;
    CSyncController controller;
    CScheduler scheduler;
    // No Windows Time service until a test says otherwise.
    CFakeWindowsTimeProbe windowsTimeProbe;
    CWindowsTimeWatch windowsTime;
    CSyncEngine engine;
};
