#include "tests/support/DaySimulation.h"

#include "tests/support/EngineRig.h"

#include <chrono>

namespace {

using namespace std::chrono_literals;

constexpr auto kReplyWait = 5s;
constexpr auto kTick = 1s;
constexpr auto kDay = 24h;

std::string addressAt(const CEngineSettings& settings, int index) {
    return settings.Read([index](const CSettings& s) {
        return index >= 0 && index < s.m_servers.GetCount() ? s.m_servers.GetAt(index).m_strAddress
                                                            : std::string();
    });
}

}  // namespace

DayFigures SimulateDay(const DayScenario& scenario, const BackoffPolicy& policy) {
    CEngineRig rig(policy);
    rig.configure(scenario.options, scenario.servers);
    const std::string refusing = addressAt(rig.engineSettings, scenario.nRefusingServer);
    DayFigures figures;
    // Called on the run thread while this one waits for the run's end.
    rig.attempt.respondWith([&](const std::string& host) {
        ++figures.nRequests;
        if (!refusing.empty() && host == refusing) {
            ++figures.nToRefusingServer;
            return CScriptedSyncAttempt::Refused();
        }
        rig.monotonic.advance(kReplyWait);
        return CScriptedSyncAttempt::TimedOut();
    });
    const auto end = rig.monotonic.now() + kDay;
    while (rig.monotonic.now() < end) {
        rig.scheduler.Tick();
        rig.awaitIdle();
        rig.monotonic.advance(kTick);
    }
    return figures;
}
