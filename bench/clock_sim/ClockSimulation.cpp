#include "bench/clock_sim/ClockSimulation.h"

#include "bench/clock_sim/MapProfileStore.h"
#include "bench/clock_sim/SimulatedTimeServer.h"
#include "common/ProductFacts.h"
#include "engine/ClockDiscipline.h"
#include "engine/DriftFile.h"
#include "engine/EngineSettings.h"
#include "engine/Scheduler.h"
#include "engine/SntpSyncAttempt.h"
#include "engine/SyncController.h"
#include "engine/SyncEngine.h"
#include "engine/WindowsTimeWatch.h"
#include "settings/Settings.h"
#include "settings/SyncMode.h"
#include "sntp/NameLookup.h"
#include "tools/kit/SimulatedPcClock.h"
#include "tools/kit/TempDir.h"
#include "tools/kit/VirtualNetwork.h"
#include "tools/kit/VirtualUtcClock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace std::chrono_literals;

// 1 June 2025, 00:00:00 UTC: the daily mode's runs come at midnight.
constexpr NtpTimestamp kStart{3957724800u, 0};
constexpr double kTwoPi = 6.283185307179586;
// The legacy call's step of rate with the usual 15.625 ms tick (ppm).
constexpr double kLegacyGranularityPpm = 6.4;
constexpr std::uint16_t kNtpPort = 123;

class CSilentLog final : public LogSink {
public:
    void write(const std::string&, int, double) override {}
};

// The figures come from the controller's last record; no history is kept.
class CNoHistory final : public RunHistory {
public:
    bool Append(const RunRecord&) override { return true; }
};

class CGrantedPrivilege final : public TimePrivilege {
public:
    SystemResult enable() override { return SystemResult::success(); }
    void restore() override {}
};

class CConnected final : public ConnectivityProbe {
public:
    bool isConnected() override { return true; }
};

// Today's stepping is the service beside a running Windows Time service: steps only.
class CWindowsTimeAsScenario final : public WindowsTimeProbe {
public:
    explicit CWindowsTimeAsScenario(bool bRunning) : m_bRunning(bRunning) {}
    WindowsTimeFacts look() const override { return WindowsTimeFacts{0, m_bRunning, std::nullopt}; }

private:
    bool m_bRunning;
};

// The PC's local time is its UTC clock: the simulator has no time zone.
class CPcLocalClock final : public LocalClock {
public:
    explicit CPcLocalClock(const SystemClock& clock) : m_clock(clock) {}
    CalendarTime nowLocal() const override { return m_clock.nowUtc().toSystemTime(); }
    int utcBiasMinutes() const override { return 0; }

private:
    const SystemClock& m_clock;
};

NetAddress ServerAddress(int index) {
    return parseAddressLiteral("192.0.2." + std::to_string(index + 1), kNtpPort).value();
}

OscillatorModel OscillatorOf(const ClockScenario& s) {
    OscillatorModel model;
    model.frequencyPpm = s.frequencyPpm;
    model.wander = s.wander;
    model.swingPpm = s.swingPpm;
    model.swingPhase = kTwoPi * static_cast<double>(s.seed % 1000) / 1000.0;
    model.seed = s.seed * 7919 + 1;
    return model;
}

PathModel PathOf(const ClockScenario& s) {
    return PathModel{s.delayMs * 1e-3, s.jitterMs * 1e-3, s.spikeRate, s.spikeMs * 1e-3, s.loss};
}

// The service flushes its record file to the disk after every synchronisation; on a disk that
// costs more than the simulation itself, so the simulated service's files go to memory where
// the system has a memory-backed folder.
std::filesystem::path ScratchParent() {
    std::error_code ignored;
    const std::filesystem::path memory = "/dev/shm";
    return std::filesystem::is_directory(memory, ignored) ? memory : std::filesystem::temp_directory_path();
}

double Seconds(MonotonicClock::TimePoint::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The service as the program wires it, with the simulated world in place of the platform.
// Members are made in this order: the world, then the service's objects.
struct SimulatedService {
    explicit SimulatedService(const ClockScenario& scenario)
        : pc(monotonic, truth, OscillatorOf(scenario), scenario.bLegacyApi ? kLegacyGranularityPpm : 0.0,
             scenario.initialOffsetSeconds),
          windowsTime(scenario.bNoDiscipline) {
        for (int i = 0; i < scenario.servers; ++i) {
            servers.push_back(std::make_unique<CSimulatedTimeServer>(
                truth, PathOf(scenario), i == 0 ? scenario.falsetickerSeconds : 0.0,
                scenario.seed * 104729 + static_cast<std::uint64_t>(i)));
            network.attach(ServerAddress(i), *servers.back());
            store.set("Servers", "Servers " + std::to_string(i),
                      "Server " + std::to_string(i + 1) + "~" + ServerAddress(i).hostText() + "~1");
        }
        store.set("Servers", "Servers_Counter", std::to_string(scenario.servers));
        store.set("Options", "nSynPeriod", std::to_string(ModeValue(scenario.mode)));
    }

    CVirtualMonotonicClock monotonic;
    CVirtualUtcClock truth{monotonic, kStart};
    CSimulatedPcClock pc;
    CVirtualNetwork network{monotonic};
    std::vector<std::unique_ptr<CSimulatedTimeServer>> servers;

    CSilentLog log;
    CNoHistory history;
    CGrantedPrivilege privilege;
    CConnected probe;
    CPcLocalClock local{pc};
    const CTempDir dir{ScratchParent()};
    CDriftFile drift{dir.file(kDriftFileName), log};
    CMapProfileStore store;
    CSettings settings{store, [] { return std::string("6/1/2025 12:00:00 AM"); }};
    CEngineSettings engineSettings{settings};
    CSntpSyncAttempt attempt{pc, log, monotonic, network, std::make_shared<CSystemNameLookup>()};
    CClockDiscipline discipline{DisciplinePorts{pc, privilege, pc, monotonic, log, drift}};
    CSyncController controller{engineSettings,
                               ControllerPorts{attempt, discipline, pc, local, monotonic, log, history},
                               dir.file(kRecordFileName)};
    CScheduler scheduler{controller, engineSettings, local, probe, log};
    CWindowsTimeAsScenario windowsTime;
    CWindowsTimeWatch windowsTimeWatch{windowsTime, log};
    CSyncEngine engine{engineSettings, log, controller, scheduler, windowsTimeWatch, HORALUX_VERSION_TEXT};
};

// What is gathered while the simulation runs.
class CFigureKeeper {
public:
    CFigureKeeper(const ClockScenario& scenario, SimulatedService& service)
        : m_scenario(scenario), m_service(service), m_falseticker(ServerAddress(0)) {}

    void NoteSecond(double elapsed) {
        if (elapsed >= 6 * 3600.0 && !m_frequencyError6h) {
            m_frequencyError6h =
                std::fabs(m_service.discipline.Status().frequencyPpm - m_service.pc.oscillatorPpm());
        }
        if (elapsed < m_scenario.warmupHours * 3600.0) {
            return;
        }
        const double error = m_service.pc.error() * 1e3;
        m_figures.maxAbsMs = std::max(m_figures.maxAbsMs, std::fabs(error));
        m_dSquares += error * error;
        ++m_nSamples;
    }

    void NoteRun(std::size_t stepsBefore) {
        const std::optional<RunRecord> record = m_service.controller.LastRunRecord();
        if (!record || (m_lastRecordTime && *m_lastRecordTime == record->utc)) {
            return;
        }
        m_lastRecordTime = record->utc;
        const bool bSucceeded =
            record->action != ClockAction::Failed && record->action != ClockAction::Refused;
        m_figures.synchronisations += bSucceeded ? 1 : 0;
        const bool bMoved = record->action == ClockAction::Stepped || record->action == ClockAction::Slewed;
        if (bMoved && m_scenario.falsetickerSeconds != 0.0 && record->sample.address == m_falseticker) {
            m_figures.falsetickerMovesMs += std::fabs(record->correction) * 1e3;
        }
        const std::vector<ClockStepRecord> steps = m_service.pc.steps();
        for (std::size_t i = stepsBefore; i < steps.size(); ++i) {
            const bool bAllowed = m_figures.steps == 0 && m_figures.synchronisations <= 3;
            m_figures.bStepsEarly = m_figures.bStepsEarly && bAllowed;
            m_figures.backwardSteps += steps[i].seconds < 0.0 && !bAllowed ? 1 : 0;
            ++m_figures.steps;
        }
    }

    ClockFigures Finish(double totalSeconds) {
        const double warmup = m_scenario.warmupHours * 3600.0;
        const auto origin = m_service.network.sent().empty() ? MonotonicClock::TimePoint{}
                                                             : m_service.network.sent().front().at;
        int datagrams = 0;
        for (const SentDatagram& sent : m_service.network.sent()) {
            datagrams += Seconds(sent.at - origin) >= warmup ? 1 : 0;
        }
        m_figures.datagramsPerDay = datagrams / std::max((totalSeconds - warmup) / 86400.0, 1e-9);
        m_figures.rmsMs = m_nSamples > 0 ? std::sqrt(m_dSquares / static_cast<double>(m_nSamples)) : 0.0;
        m_figures.frequencyErrorPpm6h = m_frequencyError6h.value_or(0.0);
        return m_figures;
    }

private:
    const ClockScenario& m_scenario;
    SimulatedService& m_service;
    const NetAddress m_falseticker;
    ClockFigures m_figures;
    double m_dSquares = 0.0;
    long m_nSamples = 0;
    std::optional<double> m_frequencyError6h;
    std::optional<NtpTimestamp> m_lastRecordTime;
};

// While a run waits for its server, the control window's timer goes on ticking: the discipline's
// share of those ticks (the scheduler does nothing while a run is held) comes as events on the
// virtual clock, which the run's own waits carry out. Scheduled before the tick that may start a
// run, so that the run's waits always find them.
void TickDisciplineDuringRun(SimulatedService& service, MonotonicClock::TimePoint at,
                             const std::shared_ptr<std::atomic<bool>>& running) {
    service.monotonic.at(at, [&service, at, running] {
        if (running->load()) {
            service.discipline.Tick();
            TickDisciplineDuringRun(service, at + 1s, running);
        }
    });
}

}  // namespace

int ModeValue(const std::string& mode) {
    struct ModeName {
        const char* name;
        int value;
    };
    static constexpr ModeName kNames[] = {{"continuous", kSyncContinuous},
                                          {"hourly", kSyncHourly},
                                          {"daily", kSyncDaily},
                                          {"onstart", kSyncOnStart}};
    const auto found = std::find_if(std::begin(kNames), std::end(kNames),
                                    [&](const ModeName& row) { return mode == row.name; });
    return found == std::end(kNames) ? -1 : found->value;
}

ClockFigures SimulateClock(const ClockScenario& scenario) {
    SimulatedService service(scenario);
    CFigureKeeper keeper(scenario, service);
    service.engine.Open();
    const MonotonicClock::TimePoint origin = service.monotonic.now();
    const double totalSeconds = scenario.days * 86400.0;
    for (double elapsed = 0.0; elapsed < totalSeconds;) {
        const MonotonicClock::TimePoint tick = origin + std::chrono::seconds(static_cast<long long>(elapsed));
        const std::size_t stepsBefore = service.pc.steps().size();
        const std::optional<MonotonicClock::TimePoint> lastStart = service.controller.LastRunStart();
        const auto running = std::make_shared<std::atomic<bool>>(true);
        TickDisciplineDuringRun(service, tick + 1s, running);
        service.engine.Tick();
        if (service.controller.LastRunStart() != lastStart) {
            service.controller.AwaitRun();
            keeper.NoteRun(stepsBefore);
        }
        running->store(false);
        keeper.NoteSecond(elapsed);
        // The next tick: the next whole second after whatever the run took.
        elapsed = std::floor(Seconds(service.monotonic.now() - origin)) + 1.0;
        service.monotonic.sleepUntil(origin + std::chrono::seconds(static_cast<long long>(elapsed)), nullptr);
    }
    service.engine.Close();
    return keeper.Finish(totalSeconds);
}
