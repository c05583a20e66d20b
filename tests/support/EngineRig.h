#pragma once
// The synchronisation engine wired to fakes: settings in an in-memory INI with three
// servers, a settable local clock, a monotonic clock that moves only when told, scripted
// attempts, a recording log, a connectivity probe and the record file in a temporary folder.

#include "common/ProductFacts.h"
#include "engine/EngineSettings.h"
#include "engine/Scheduler.h"
#include "engine/SyncController.h"
#include "settings/Settings.h"
#include "tests/support/FakeConnectivity.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/FakeMonotonicClock.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/support/RecordingLogSink.h"
#include "tests/support/ScriptedSyncAttempt.h"
#include "tools/kit/TempDir.h"

#include <string>

class CEngineRig {
public:
    static constexpr const char* kThreeServers =
        "[Servers]\nServers_Counter=3\n"
        "Servers 0=Alpha~alpha.test~1\nServers 1=Beta~beta.test~1\nServers 2=Gamma~gamma.test~1\n";

    CEngineRig() { configure(""); }

    // Writes "[Options]" with the given "key=value" lines and the server section, then loads
    // them as the service does at start (settings, then the controller with a fresh start).
    void configure(const std::string& optionLines, const std::string& servers = kThreeServers) {
        writeSettings(optionLines, servers);
        settings.Load();
        controller.Reload(true);
    }

    void writeSettings(const std::string& optionLines, const std::string& servers = kThreeServers) {
        store.setText(settings.m_strFileName, "[Options]\n" + optionLines + "\n" + servers);
    }

    // Harvests the run in progress, if any; false when it did not end within five seconds.
    bool waitUntilIdle();

    std::string recordFile() const { return dir.file(kRecordFileName); }

    CFakeProfileStore store;
    CSettings settings{store, [] { return std::string("12/8/2025 1:23:45 AM"); }};
    CEngineSettings engineSettings{settings};
    CFakeLocalClock clock;
    CFakeMonotonicClock monotonic;
    CScriptedSyncAttempt attempt;
    CRecordingLogSink log;
    CFakeConnectivity probe;
    CTempDir dir;
    CSyncController controller{engineSettings, attempt, clock, monotonic, log, recordFile()};
    CScheduler scheduler{controller, engineSettings, clock, probe, log};
};
