// The console's History window under Wine, as a user waits for it: the time from the click on
// "History" (BM_CLICK posted to the button) until the window's first paint is done, with a
// history of 20000 rows and, as the peer measured in the same run, of 100 rows. Every row lies
// within the last day, so the window's first picture draws them all. Prints the median of 10
// openings of each and their ratio. Run it in a test session:
//   tools/wine-session.sh wine build/win64/bench/history_window.exe

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "common/HistoryCsv.h"
#include "common/ProductFacts.h"
#include "console/resource.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"
#include "tools/kit/WaitUntil.h"

namespace {

using namespace ui_driver;
using Clock = std::chrono::steady_clock;

constexpr int kOpenings = 10;
constexpr std::size_t kSizes[] = {20000, 100};

// Rows spread evenly over one day before 2026-12-09 12:00 UTC, slewing with a step every 500.
bool WriteHistory(std::size_t rows) {
    std::string text = std::string(kHistoryHeader) + std::string(kHistoryLineEnd);
    const std::int64_t spacingMs = 86400000 / static_cast<std::int64_t>(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        const std::int64_t ms = 36 * 3600000LL + static_cast<std::int64_t>(i) * spacingMs;
        HistoryRow row;
        row.utc = CalendarTime{2026,
                               12,
                               0,
                               static_cast<std::uint16_t>(8 + ms / 86400000),
                               static_cast<std::uint16_t>(ms / 3600000 % 24),
                               static_cast<std::uint16_t>(ms / 60000 % 60),
                               static_cast<std::uint16_t>(ms / 1000 % 60),
                               static_cast<std::uint16_t>(ms % 1000)};
        row.strLabel = "Continuously";
        row.strServer = "Bench server";
        row.strAddress = "127.0.0.1:123";
        row.action = i % 500 == 0 ? HistoryAction::Stepped : HistoryAction::Slewed;
        row.offsetMs = static_cast<double>(i % 37) - 18;
        row.delayMs = 10 + static_cast<double>(i % 7);
        row.stratum = 2;
        row.frequencyPpm = 11.5;
        text += FormatHistoryRow(row);
    }
    std::ofstream out(WindowsFile(kHistoryFileName), std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

// One opening in milliseconds; negative when the window did not open or close.
double OpenOnce(HWND main, DWORD pid) {
    const Clock::time_point start = Clock::now();
    clickAsync(main, IDC_HISTORY);
    HWND window = nullptr;
    if (!WaitUntil([&] { return (window = findWindow("History", pid)) != nullptr; },
                   std::chrono::seconds(30))) {
        return -1;
    }
    // Returns at once when the window has painted, else once its first WM_PAINT is handled.
    ::UpdateWindow(window);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return waitForWindowGone(window) ? ms : -1;
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main() {
    CTestDesktop desktop("horalux-history-bench");
    CChildProcess console;
    if (!desktop.ready() || !desktop.start(console, "\"" + ConsoleExePath() + "\"")) {
        std::fprintf(stderr, "history_window: the console did not start\n");
        return 1;
    }
    HWND main = waitForWindow("Horalux Clock Service Console", console.pid());
    std::vector<double> samples[std::size(kSizes)];
    for (int opening = 0; main != nullptr && opening < kOpenings; ++opening) {
        for (std::size_t s = 0; s < std::size(kSizes); ++s) {
            const double ms = WriteHistory(kSizes[s]) ? OpenOnce(main, console.pid()) : -1;
            if (ms < 0) {
                std::fprintf(stderr, "history_window: the window with %zu rows failed\n", kSizes[s]);
                ::DeleteFileA(WindowsFile(kHistoryFileName).c_str());
                return 1;
            }
            samples[s].push_back(ms);
        }
    }
    ::DeleteFileA(WindowsFile(kHistoryFileName).c_str());
    if (main == nullptr) {
        std::fprintf(stderr, "history_window: no console window\n");
        return 1;
    }
    const double large = Median(samples[0]);
    const double small = Median(samples[1]);
    std::printf("History window, click to first paint, median of %d:\n", kOpenings);
    std::printf("  %zu rows: %.1f ms\n  %zu rows: %.1f ms\n  ratio: %.2f\n", kSizes[0], large, kSizes[1],
                small, large / small);
    return 0;
}
