// HoraluxServ.exe under Wine, measured as a console sees it:
//   service_roundtrip ADDRESS COUNT IDLE_SECONDS
// starts the service as a process (-d) with ADDRESS as its only server, posts 2020 COUNT times
// and times each until 2021 comes back, then leaves it idle for IDLE_SECONDS and reports the
// processor time it used meanwhile and its working set. Run it in a test session
// (tools/wine-session.sh) with a time server on ADDRESS: bench/run_service_measures.sh.

#include "tools/kit/ServiceProgram_win.h"

#include "common/LogResult.h"
#include "common/WindowMessages.h"
#include "tools/kit/ConsoleStandIn_win.h"

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The client asks one server at most every 4 s; waiting that long after a reply keeps the
// pause out of the figure.
constexpr std::chrono::milliseconds kServerSpacing{4100};

double Milliseconds(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

ULONGLONG ProcessorTime100ns(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    const auto value = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: service_roundtrip ADDRESS COUNT IDLE_SECONDS\n");
        return 2;
    }
    const std::string address = argv[1];
    const int count = std::atoi(argv[2]);
    const int idleSeconds = std::atoi(argv[3]);

    CChildProcess service;
    CConsoleStandIn console;
    const HWND hWindow =
        StartGreetedService(ServiceSettings(kModeDemandOnly, address, {"Bench server"}), service, console);
    if (hWindow == nullptr) {
        return 1;
    }
    WPARAM parameter = 0;

    std::vector<double> runMs;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const auto posted = Clock::now();
        if (!::PostMessageA(hWindow, UM_SYNC_NOW, 0, 0) ||
            !console.waitFor(UM_SYNC_RESULT, parameter, std::chrono::seconds(60))) {
            std::fprintf(stderr, "run %d: no 2021\n", i + 1);
            return 1;
        }
        const auto answered = Clock::now();
        if (parameter == static_cast<WPARAM>(LOG_SUCCEEDED)) {
            runMs.push_back(Milliseconds(answered - posted));
        } else {
            ++failures;
        }
        std::this_thread::sleep_until(answered + kServerSpacing);
    }
    if (runMs.empty()) {
        std::fprintf(stderr, "no run succeeded\n");
        return 1;
    }
    std::sort(runMs.begin(), runMs.end());
    std::printf("2020 -> 2021 against %s: median %.1f ms, min %.1f, max %.1f (%zu runs, %d failed)\n",
                address.c_str(), runMs[runMs.size() / 2], runMs.front(), runMs.back(), runMs.size(),
                failures);

    const ULONGLONG cpuBefore = ProcessorTime100ns(service.handle());
    const auto idleBegin = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const ULONGLONG cpuAfter = ProcessorTime100ns(service.handle());
    const double wallMs = Milliseconds(Clock::now() - idleBegin);
    const double cpuMs = static_cast<double>(cpuAfter - cpuBefore) / 1e4;
    std::printf(
        "idle %.0f s: processor time %.1f ms = %.3f %% of one processor; %.1f ms since start "
        "(GetProcessTimes)\n",
        wallMs / 1000.0, cpuMs, 100.0 * cpuMs / wallMs, static_cast<double>(cpuAfter) / 1e4);

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(service.handle(), &memory, sizeof memory)) {
        std::printf(
            "working set %.1f MiB (peak %.1f MiB), committed private %.1f MiB (GetProcessMemoryInfo)\n",
            memory.WorkingSetSize / 1048576.0, memory.PeakWorkingSetSize / 1048576.0,
            memory.PagefileUsage / 1048576.0);
    }
    std::fflush(stdout);
    return 0;
}
