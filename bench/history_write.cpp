// Cost of one history row as the history grows: a row is appended to the file's end, and the
// file is rewritten only when a bound is reached, a batch of rows at a time. Prints the mean,
// median and longest append with 100 and 20000 rows held, and the ratio of the means (the
// rewrites included) against the 100-row case of the same run.
//
// Usage: history_write [APPENDS]   (default 1000 timed appends per size: one batch)

#include "engine/HistoryFile.h"
#include "engine/HistoryFileStore.h"
#include "tests/support/InProcessLock.h"
#include "tools/kit/TempDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

namespace {

// A row of the length the product writes for a slewed run.
HistoryRow SampleRow() {
    HistoryRow row;
    row.utc = CalendarTime{2026, 12, 3, 9, 7, 7, 33, 123};
    row.strLabel = "Continuously";
    row.strServer = "USA. NIST, Gaithersburg, Maryland - 1";
    row.strAddress = "129.6.15.28:123";
    row.offsetMs = -0.412;
    row.delayMs = 48.125;
    row.stratum = 1;
    row.action = HistoryAction::Slewed;
    row.frequencyPpm = 12.345;
    return row;
}

struct Figures {
    double mean = 0.0;
    double median = 0.0;
    double longest = 0.0;
};

Figures appendMicroseconds(std::size_t rowsHeld, int appends) {
    CTempDir dir;
    const std::string path = dir.file("zHoraluxHistory.csv");
    const HistoryRow row = SampleRow();
    {
        // A history already at its bound: the first timed append trims a batch, as one in
        // every batch does. Filled through the file, not through the writer.
        std::ofstream file(path, std::ios::binary);
        file << kHistoryHeader << kHistoryLineEnd;
        for (std::size_t i = 0; i < rowsHeld; ++i) {
            file << FormatHistoryRow(row);
        }
    }
    CHistoryFileStore store(path);
    CInProcessLock lock;
    CHistoryFile history(store, lock);
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(appends));
    for (int i = 0; i < appends; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!history.AppendRow(row)) {
            std::fprintf(stderr, "history_write: an append failed\n");
            std::exit(1);
        }
        const auto end = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    Figures figures;
    figures.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / samples.size();
    figures.longest = *std::max_element(samples.begin(), samples.end());
    std::nth_element(samples.begin(), samples.begin() + appends / 2, samples.end());
    figures.median = samples[static_cast<std::size_t>(appends / 2)];
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const int appends = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const std::size_t sizes[] = {100, HistoryLimits().nMaxRows};
    double base = 0.0;
    std::printf("%-10s %14s %16s %16s %12s\n", "rows held", "mean append us", "median append us",
                "longest us", "mean vs 100");
    for (std::size_t size : sizes) {
        const Figures figures = appendMicroseconds(size, appends);
        if (size == sizes[0]) {
            base = figures.mean;
        }
        std::printf("%-10zu %14.1f %16.1f %16.1f %12.2f\n", size, figures.mean, figures.median,
                    figures.longest, base > 0.0 ? figures.mean / base : 0.0);
    }
    return 0;
}
