// Cost of one log write as the log grows: every line reads the file, keeps its newest lines
// and replaces it, so the time grows with the lines held. Prints the median time of one write with 100, 1000
// and 30000 lines held, and the growth ratio 30000/100 against the 100-line case of the same run.
//
// Usage: log_write [WRITES]   (default 50 timed writes per size)

#include "engine/SyncLog.h"
#include "tests/support/InProcessLock.h"
#include "tools/kit/TempDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The clock stands still and nobody listens: only the file work is timed.
class FixedClock final : public LocalClock {
public:
    CalendarTime nowLocal() const override { return CalendarTime{2005, 3, 4, 3, 14, 7, 9, 0}; }
    int utcBiasMinutes() const override { return 0; }
};

class SilentNotifier final : public ResultNotifier {
public:
    void notifyResult(int) override {}
};

// A line of the length the product writes for a successful run.
const std::string kText = "Manualy. Successful. Server: USA. NIST, Gaithersburg, Maryland - 1.";

double medianWriteMicroseconds(int linesHeld, int writes) {
    CTempDir dir;
    FixedClock clock;
    SilentNotifier notifier;
    CInProcessLock fileLock;
    SyncLog log(dir.file("zHoraluxServ.log"), clock, notifier, fileLock, [linesHeld] {
        return LogLimits{linesHeld, false};
    });
    {
        // A log already at its limit: every timed write then trims one line. Filled through
        // the file, not through write, which would take O(n^2).
        std::ofstream file(dir.file("zHoraluxServ.log"), std::ios::binary);
        for (int i = 0; i < linesHeld; ++i) {
            file << "[ 03/03/2005 14:07:09 ] " << kText << " Round Trip Delay: 48 ms\r\n";
        }
    }
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(writes));
    for (int i = 0; i < writes; ++i) {
        const auto start = std::chrono::steady_clock::now();
        log.write(kText, 1, 0.048);
        const auto end = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::nth_element(samples.begin(), samples.begin() + writes / 2, samples.end());
    return samples[static_cast<std::size_t>(writes / 2)];
}

}  // namespace

int main(int argc, char** argv) {
    const int writes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const int sizes[] = {100, 1000, 30000};
    double base = 0.0;
    std::printf("%-12s %16s %10s\n", "lines held", "median write us", "vs 100");
    for (int size : sizes) {
        const double us = medianWriteMicroseconds(size, writes);
        if (size == sizes[0]) {
            base = us;
        }
        std::printf("%-12d %16.1f %10.1f\n", size, us, base > 0.0 ? us / base : 0.0);
    }
    return 0;
}
