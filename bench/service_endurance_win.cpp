// HoraluxServ.exe over many manual runs in a row, as a console drives it:
//   service_endurance COUNT [EVERY]
// answers as a time server on 127.0.0.1 itself (the only loopback address Wine's replies come
// from), starts the service as a process (-d) with that server as its only entry, posts 2020
// COUNT times, each as soon as the previous 2021 came back (the service keeps its own 4 s
// between two queries to the server), and every EVERY runs samples the service's handle count,
// working set and private bytes and the log's size and lines. Run it in a test session:
// bench/run_service_endurance.sh.

#include "tools/kit/ServiceProgram_win.h"

#include "common/LogResult.h"
#include "common/ProductFacts.h"
#include "common/WindowMessages.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/FakeSntpServer.h"

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
    DWORD handles = 0;
    double workingSetMiB = 0.0;
    double privateMiB = 0.0;
    unsigned long long logBytes = 0;
    long logLines = 0;
};

// Read only between runs, when the service does not write the log.
Sample Measure(HANDLE process) {
    Sample sample;
    ::GetProcessHandleCount(process, &sample.handles);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(process, &memory, sizeof memory)) {
        sample.workingSetMiB = memory.WorkingSetSize / 1048576.0;
        sample.privateMiB = memory.PagefileUsage / 1048576.0;
    }
    const std::string log = ReadWholeFile(WindowsFile(kLogFileName));
    sample.logBytes = log.size();
    sample.logLines = static_cast<long>(std::count(log.begin(), log.end(), '\n'));
    return sample;
}

// What is left to see when a run got no answer: is the service alive, and its last lines.
void ReportStall(int run, HANDLE process) {
    DWORD exitCode = 0;
    const bool bAlive = ::GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    std::fprintf(stderr, "run %d: no 2021 within 60 s; the service %s (exit code %lu)\n", run,
                 bAlive ? "still runs" : "has ended", static_cast<unsigned long>(exitCode));
    const std::string log = ReadWholeFile(WindowsFile(kLogFileName));
    std::fprintf(stderr, "the log's end:\n%s\n", log.substr(log.size() > 600 ? log.size() - 600 : 0).c_str());
}

void Print(const char* when, int runs, const Sample& s, double seconds) {
    std::printf(
        "%-6s %4d runs %7.0f s: handles %4lu, working set %6.2f MiB, private %6.2f MiB, log %6llu bytes "
        "%4ld lines\n",
        when, runs, seconds, static_cast<unsigned long>(s.handles), s.workingSetMiB, s.privateMiB, s.logBytes,
        s.logLines);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: service_endurance COUNT [EVERY]\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const int every = std::max(1, argc == 3 ? std::atoi(argv[2]) : 50);

    CFakeSntpServer server;
    if (!server.start("127.0.0.1")) {
        std::fprintf(stderr, "cannot answer on 127.0.0.1:123\n");
        return 1;
    }
    CChildProcess service;
    CConsoleStandIn console;
    const HWND hWindow = StartGreetedService(
        ServiceSettings(kModeDemandOnly, server.address(), {"Endurance server"}), service, console);
    if (hWindow == nullptr) {
        return 1;
    }

    const auto begin = Clock::now();
    const auto seconds = [&begin] { return std::chrono::duration<double>(Clock::now() - begin).count(); };
    Print("start", 0, Measure(service.handle()), 0.0);
    int failures = 0;
    for (int i = 1; i <= count; ++i) {
        WPARAM parameter = 0;
        if (!::PostMessageA(hWindow, UM_SYNC_NOW, 0, 0) ||
            !console.waitFor(UM_SYNC_RESULT, parameter, std::chrono::seconds(60))) {
            ReportStall(i, service.handle());
            return 1;
        }
        failures += parameter != static_cast<WPARAM>(LOG_SUCCEEDED);
        if (i == 1 || i % every == 0 || i == count) {
            Print(i == count ? "end" : "after", i, Measure(service.handle()), seconds());
        }
    }
    std::printf("%d manual runs, %d failed, %zu requests reached the server\n", count, failures,
                server.requestCount());
    return failures == 0 ? 0 : 1;
}
