// The clock simulator: the service's real engine, clock discipline and SNTP exchange, run for
// days of virtual time against a simulated PC clock (frequency error, wander, a daily swing)
// and simulated time servers (delay, jitter, spikes, loss, a falseticker). It prints the
// scenario and one line of figures; --table runs the standard set on 20 seeds, beside the
// service's old behaviour (--no-discipline: a step at every synchronisation).

#include "bench/clock_sim/ClockSimulation.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kUsage =
    "usage: clock_sim --mode continuous|hourly|daily|onstart --days D --seed S --freq-ppm F --wander W\n"
    "                 --swing-ppm A --delay-ms B --jitter-ms J --spike-rate R --spike-ms M --loss L\n"
    "                 --servers N --falseticker-s X --initial-offset-s O --warmup-h H\n"
    "                 [--legacy-api] [--no-discipline] [--table]\n"
    "Every option has the standard scenario's value by default. The falseticker is the first server.\n"
    "max_abs_ms and rms_ms: the clock's error each second after the warm-up; datagrams_per_day: after\n"
    "it; backward_steps: backward steps other than a first step within the first three\n"
    "synchronisations; freq_err_ppm_6h: the learned frequency's error at 6 h; falseticker_moves_ms:\n"
    "the corrections made on the falseticker's answers.\n";

using Setter = std::function<void(ClockScenario&, const std::string&)>;

double Number(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') {
        throw std::invalid_argument("not a number: " + text);
    }
    return value;
}

const std::map<std::string, Setter>& ValueOptions() {
    static const std::map<std::string, Setter> options = {
        {"--mode", [](ClockScenario& s, const std::string& v) { s.mode = v; }},
        {"--days", [](ClockScenario& s, const std::string& v) { s.days = Number(v); }},
        {"--seed",
         [](ClockScenario& s, const std::string& v) { s.seed = static_cast<std::uint64_t>(Number(v)); }},
        {"--freq-ppm", [](ClockScenario& s, const std::string& v) { s.frequencyPpm = Number(v); }},
        {"--wander", [](ClockScenario& s, const std::string& v) { s.wander = Number(v); }},
        {"--swing-ppm", [](ClockScenario& s, const std::string& v) { s.swingPpm = Number(v); }},
        {"--delay-ms", [](ClockScenario& s, const std::string& v) { s.delayMs = Number(v); }},
        {"--jitter-ms", [](ClockScenario& s, const std::string& v) { s.jitterMs = Number(v); }},
        {"--spike-rate", [](ClockScenario& s, const std::string& v) { s.spikeRate = Number(v); }},
        {"--spike-ms", [](ClockScenario& s, const std::string& v) { s.spikeMs = Number(v); }},
        {"--loss", [](ClockScenario& s, const std::string& v) { s.loss = Number(v); }},
        {"--servers",
         [](ClockScenario& s, const std::string& v) { s.servers = static_cast<int>(Number(v)); }},
        {"--falseticker-s", [](ClockScenario& s, const std::string& v) { s.falsetickerSeconds = Number(v); }},
        {"--initial-offset-s",
         [](ClockScenario& s, const std::string& v) { s.initialOffsetSeconds = Number(v); }},
        {"--warmup-h", [](ClockScenario& s, const std::string& v) { s.warmupHours = Number(v); }},
    };
    return options;
}

struct Command {
    ClockScenario scenario;
    bool bTable = false;
};

Command Parse(int argc, char** argv) {
    Command command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto option = ValueOptions().find(arg);
        if (option != ValueOptions().end() && i + 1 < argc) {
            option->second(command.scenario, argv[++i]);
        } else if (arg == "--legacy-api") {
            command.scenario.bLegacyApi = true;
        } else if (arg == "--no-discipline") {
            command.scenario.bNoDiscipline = true;
        } else if (arg == "--table") {
            command.bTable = true;
        } else {
            throw std::invalid_argument("unknown or incomplete option: " + arg);
        }
    }
    const ClockScenario& s = command.scenario;
    if (ModeValue(s.mode) < 0 || s.days <= 0.0 || s.servers < 1 || s.jitterMs <= 0.0 || s.spikeMs <= 0.0 ||
        s.warmupHours < 0.0 || s.warmupHours >= s.days * 24.0) {
        throw std::invalid_argument("a value out of range");
    }
    return command;
}

void PrintScenario(const ClockScenario& s) {
    std::printf(
        "scenario: mode=%s days=%g seed=%llu freq_ppm=%g wander=%g swing_ppm=%g delay_ms=%g jitter_ms=%g "
        "spike_rate=%g spike_ms=%g loss=%g servers=%d falseticker_s=%g initial_offset_s=%g warmup_h=%g%s%s\n",
        s.mode.c_str(), s.days, static_cast<unsigned long long>(s.seed), s.frequencyPpm, s.wander, s.swingPpm,
        s.delayMs, s.jitterMs, s.spikeRate, s.spikeMs, s.loss, s.servers, s.falsetickerSeconds,
        s.initialOffsetSeconds, s.warmupHours, s.bLegacyApi ? " legacy-api" : "",
        s.bNoDiscipline ? " no-discipline" : "");
}

void PrintFigures(const ClockFigures& f) {
    std::printf(
        "max_abs_ms=%.3f rms_ms=%.3f datagrams_per_day=%.1f steps=%d backward_steps=%d freq_err_ppm_6h=%.3f "
        "falseticker_moves_ms=%.3f\n",
        f.maxAbsMs, f.rmsMs, f.datagramsPerDay, f.steps, f.backwardSteps, f.frequencyErrorPpm6h,
        f.falsetickerMovesMs);
}

// --- the standard set ----------------------------------------------------------------------

constexpr int kTableSeeds = 20;
// Runs at once: the machines this runs on have two cores.
constexpr int kTableWorkers = 2;
constexpr double kTableFrequencies[] = {50.0, -50.0, 10.0};

struct TableRow {
    const char* szName;
    const char* szGoal;
    ClockScenario scenario;
    // The worst figures disciplined, and those of the service's old stepping beside them.
    std::function<bool(const ClockFigures& worst, const ClockFigures& stepped)> meetsGoal;
};

// The worst of each figure over the runs.
void Worsen(ClockFigures& worst, const ClockFigures& f) {
    worst.maxAbsMs = std::max(worst.maxAbsMs, f.maxAbsMs);
    worst.rmsMs = std::max(worst.rmsMs, f.rmsMs);
    worst.datagramsPerDay = std::max(worst.datagramsPerDay, f.datagramsPerDay);
    worst.steps = std::max(worst.steps, f.steps);
    worst.backwardSteps = std::max(worst.backwardSteps, f.backwardSteps);
    worst.bStepsEarly = worst.bStepsEarly && f.bStepsEarly;
    worst.frequencyErrorPpm6h = std::max(worst.frequencyErrorPpm6h, f.frequencyErrorPpm6h);
    worst.falsetickerMovesMs = std::max(worst.falsetickerMovesMs, f.falsetickerMovesMs);
}

// The runs of one row, on kTableWorkers threads: each run is a world of its own.
ClockFigures WorstOverSeeds(const ClockScenario& scenario, int* pRuns) {
    std::vector<ClockScenario> runs;
    for (double frequency : kTableFrequencies) {
        for (int seed = 1; seed <= kTableSeeds; ++seed) {
            runs.push_back(scenario);
            runs.back().frequencyPpm = frequency;
            runs.back().seed = static_cast<std::uint64_t>(seed);
        }
    }
    std::vector<ClockFigures> figures(runs.size());
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < kTableWorkers; ++i) {
        workers.emplace_back([&] {
            for (std::size_t run = next++; run < runs.size(); run = next++) {
                figures[run] = SimulateClock(runs[run]);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    ClockFigures worst;
    for (const ClockFigures& f : figures) {
        Worsen(worst, f);
    }
    *pRuns += static_cast<int>(runs.size());
    return worst;
}

bool StepsKept(const ClockFigures& w) {
    return w.steps <= 1 && w.bStepsEarly && w.backwardSteps == 0;
}

std::vector<TableRow> StandardRows() {
    ClockScenario continuous;
    ClockScenario legacy = continuous;
    legacy.bLegacyApi = true;
    ClockScenario hourly = continuous;
    hourly.mode = "hourly";
    ClockScenario daily = continuous;
    daily.mode = "daily";
    daily.warmupHours = 48.0;
    ClockScenario hourFalse = continuous;
    hourFalse.servers = 3;
    hourFalse.falsetickerSeconds = 3600.0;
    ClockScenario secondsFalse = hourFalse;
    secondsFalse.falsetickerSeconds = 3.0;
    ClockScenario hourlyFalse = hourFalse;
    hourlyFalse.mode = "hourly";
    return {
        {"continuous", "max<=1ms rms<=0.25ms <=350/day f6h<=0.5ppm", continuous,
         [](const ClockFigures& w, const ClockFigures&) {
             return w.maxAbsMs <= 1.0 && w.rmsMs <= 0.25 && w.datagramsPerDay <= 350.0 &&
                    w.frequencyErrorPpm6h <= 0.5 && StepsKept(w);
         }},
        {"continuous legacy-api", "max<=2ms", legacy,
         [](const ClockFigures& w, const ClockFigures&) { return w.maxAbsMs <= 2.0 && StepsKept(w); }},
        {"hourly", "max<=5ms, datagrams<=old", hourly,
         [](const ClockFigures& w, const ClockFigures& old) {
             return w.maxAbsMs <= 5.0 && w.datagramsPerDay <= old.datagramsPerDay && StepsKept(w);
         }},
        {"daily (warm-up 2 d)", "max<=50ms", daily,
         [](const ClockFigures& w, const ClockFigures&) { return w.maxAbsMs <= 50.0 && StepsKept(w); }},
        {"falseticker 1 h, 3 servers", "moves<=1ms", hourFalse,
         [](const ClockFigures& w, const ClockFigures&) {
             return w.falsetickerMovesMs <= 1.0 && w.maxAbsMs <= 1.0 && StepsKept(w);
         }},
        {"falseticker 3 s, 3 servers", "moves<=1ms", secondsFalse,
         [](const ClockFigures& w, const ClockFigures&) {
             return w.falsetickerMovesMs <= 1.0 && w.maxAbsMs <= 1.0 && StepsKept(w);
         }},
        {"falseticker 1 h, hourly", "moves<=1ms", hourlyFalse,
         [](const ClockFigures& w, const ClockFigures&) {
             return w.falsetickerMovesMs <= 1.0 && w.maxAbsMs <= 5.0 && StepsKept(w);
         }},
    };
}

void PrintTableLine(const char* name, const char* kind, const ClockFigures& w) {
    std::printf("%-28s %-13s %9.3f %8.3f %8.1f %5d %5d %8.3f %9.3f\n", name, kind, w.maxAbsMs, w.rmsMs,
                w.datagramsPerDay, w.steps, w.backwardSteps, w.frequencyErrorPpm6h, w.falsetickerMovesMs);
}

int RunTable() {
    const auto start = std::chrono::steady_clock::now();
    int runs = 0;
    bool bAllMet = true;
    std::printf(
        "worst over %d seeds x frequency error +50, -50, +10 ppm; 7 days each; figures after the warm-up\n",
        kTableSeeds);
    std::printf("%-28s %-13s %9s %8s %8s %5s %5s %8s %9s\n", "scenario", "", "max_ms", "rms_ms", "dgram/d",
                "steps", "back", "f6h_ppm", "ft_ms");
    for (const TableRow& row : StandardRows()) {
        const ClockFigures disciplined = WorstOverSeeds(row.scenario, &runs);
        ClockScenario old = row.scenario;
        old.bNoDiscipline = true;
        const ClockFigures stepped = WorstOverSeeds(old, &runs);
        const bool bMet = row.meetsGoal(disciplined, stepped);
        bAllMet = bAllMet && bMet;
        PrintTableLine(row.szName, "disciplined", disciplined);
        PrintTableLine("", "no-discipline", stepped);
        std::printf("%-28s goal %s: %s\n", "", row.szGoal, bMet ? "met" : "NOT MET");
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d runs of 7 simulated days in %.0f s (%.2f s a run)\n", runs, seconds, seconds / runs);
    return bAllMet ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Command command = Parse(argc, argv);
        if (command.bTable) {
            return RunTable();
        }
        PrintScenario(command.scenario);
        PrintFigures(SimulateClock(command.scenario));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "clock_sim: %s\n%s", error.what(), kUsage);
        return 2;
    }
}
