// The History window as a user opens it from the console's main window, over a known history
// file: the last run and the frequency under the plot, the step and failure marks drawn in the
// highlight colour, Copy's rows for each range, a row appended while it is open, and Escape.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/HistoryCsv.h"
#include "common/ProductFacts.h"
#include "common/WinHandle_win.h"
#include "console/resource.h"
#include "tests/e2e/ConsoleSession_win.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"
#include "tools/kit/WaitUntil.h"

namespace {

using namespace ui_driver;
using namespace std::chrono_literals;

HistoryRow Row(int day, int hour, HistoryAction action, double offset, double delay) {
    HistoryRow row;
    row.utc =
        CalendarTime{2026, 12, 0, static_cast<std::uint16_t>(day), static_cast<std::uint16_t>(hour), 0, 0, 0};
    row.strLabel = "Daily";
    row.strServer = "Loopback one";
    row.strAddress = "127.0.0.1:123";
    row.action = action;
    if (action != HistoryAction::Failed) {
        row.offsetMs = offset;
        row.delayMs = delay;
        row.stratum = 2;
        row.frequencyPpm = 11.574;
    } else {
        row.strReason = "No answer";
    }
    return row;
}

// The first row is two days older than the last, out of the last day.
const std::vector<HistoryRow> kRows = {
    Row(7, 12, HistoryAction::Slewed, 3.5, 20),  Row(8, 14, HistoryAction::Slewed, 2.0, 12),
    Row(8, 18, HistoryAction::Stepped, -9.0, 6), Row(8, 22, HistoryAction::Failed, 0, 0),
    Row(9, 4, HistoryAction::Slewed, 1.0, 10),   Row(9, 12, HistoryAction::Slewed, 1.2, 14),
};

std::string Csv(std::vector<HistoryRow>::const_iterator first, std::vector<HistoryRow>::const_iterator last) {
    std::string text = std::string(kHistoryHeader) + "\r\n";
    for (; first != last; ++first) {
        text += FormatHistoryRow(*first);
    }
    return text;
}

std::string ClipboardText() {
    std::string text;
    WaitUntil(
        [&] {
            if (!::OpenClipboard(nullptr)) {
                return false;
            }
            const HANDLE data = ::GetClipboardData(CF_TEXT);
            const char* bytes = data != nullptr ? static_cast<const char*>(::GlobalLock(data)) : nullptr;
            text = bytes != nullptr ? bytes : "";
            if (bytes != nullptr) {
                ::GlobalUnlock(data);
            }
            ::CloseClipboard();
            return true;
        },
        5s);
    return text;
}

// The pixels in the given colour that the screen shows of a window's client area between two of
// its controls (the plot lies below the range buttons and above the sentences).
int PixelsOfColourBetween(HWND window, int above, int below, COLORREF colour) {
    RECT client{};
    ::GetClientRect(window, &client);
    POINT top{0, 0};
    RECT upper{};
    RECT lower{};
    ::GetWindowRect(control(window, above), &upper);
    ::GetWindowRect(control(window, below), &lower);
    ::ClientToScreen(window, &top);
    const int height = lower.top - upper.bottom;
    const UniqueScreenDc screen(::GetDC(nullptr));
    const UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    const UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.get(), client.right, height));
    const HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, client.right, height, screen.get(), top.x, upper.bottom, SRCCOPY);
    ::SelectObject(memory.get(), old);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<RGBQUAD> pixels(static_cast<std::size_t>(client.right * height));
    ::GetDIBits(memory.get(), static_cast<HBITMAP>(bitmap.get()), 0, height, pixels.data(), &info,
                DIB_RGB_COLORS);
    int count = 0;
    for (const RGBQUAD& p : pixels) {
        count += RGB(p.rgbRed, p.rgbGreen, p.rgbBlue) == colour ? 1 : 0;
    }
    return count;
}

class HistoryWindowE2eTest : public CConsoleSession {
protected:
    void SetUp() override {
        WriteText(ini,
                  "[Servers]\r\nServers_Counter=1\r\nServers 0=Loopback one~127.0.0.1~1\r\n[Options]\r\n"
                  "nSynPeriod=3\r\n");
        WriteText(history, Csv(kRows.begin(), kRows.end()));
        CConsoleSession::SetUp();
    }
    void TearDown() override {
        CConsoleSession::TearDown();
        ::DeleteFileA(history.c_str());
    }

    const std::string history = WindowsFile(kHistoryFileName);
};

}  // namespace

TEST_F(HistoryWindowE2eTest, ShowsAKnownHistoryMarksStepsAndFailuresCopiesItsRangeAndFollowsTheFile) {
    HWND main = startConsole();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(text(main, IDC_HISTORY), "History");
    clickAsync(main, IDC_HISTORY);
    HWND window = waitForWindow("History", console.pid());
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(
        text(window, IDC_HISTORY_LAST_RUN),
        "Last synchronized 2026-12-09 12:00 UTC with Loopback one: offset +1.2 ms, delay 14.0 ms, slewed.");
    EXPECT_EQ(text(window, IDC_HISTORY_FREQUENCY), "Learned frequency: +11.574 ppm (+1.000 s a day).");
    EXPECT_TRUE(isChecked(window, IDC_HISTORY_DAY));
    waitForPaint(window);
    EXPECT_TRUE(screenshot(ScreenshotPath("history-window.png"), window));
    // Only the marks of the step and the failure are drawn in the highlight colour.
    EXPECT_GT(
        PixelsOfColourBetween(window, IDC_HISTORY_DAY, IDC_HISTORY_LAST_RUN, ::GetSysColor(COLOR_HIGHLIGHT)),
        2 * 5 * 5);

    click(window, IDC_HISTORY_COPY);
    EXPECT_EQ(ClipboardText(), Csv(kRows.begin() + 1, kRows.end()));
    click(window, IDC_HISTORY_WEEK);
    click(window, IDC_HISTORY_COPY);
    EXPECT_EQ(ClipboardText(), Csv(kRows.begin(), kRows.end()));

    std::ofstream(history, std::ios::binary | std::ios::app)
        << FormatHistoryRow(Row(9, 13, HistoryAction::Failed, 0, 0));
    EXPECT_TRUE(
        waitForText(window, IDC_HISTORY_LAST_RUN, "Last run 2026-12-09 13:00 UTC failed: No answer.", 10s));

    // Made larger, the buttons keep to the lower right corner and the plot grows.
    RECT frame{};
    ::GetWindowRect(window, &frame);
    ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 200, frame.bottom - frame.top + 100,
                   SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    RECT close{};
    ::GetClientRect(window, &client);
    ::GetWindowRect(control(window, IDCANCEL), &close);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&close), 2);
    EXPECT_GT(close.right, client.right - 20);
    EXPECT_GT(close.bottom, client.bottom - 20);
    waitForPaint(window);
    EXPECT_TRUE(screenshot(ScreenshotPath("history-window-larger.png"), window));

    pressKey(window, VK_ESCAPE);
    EXPECT_TRUE(waitForWindowGone(window, 10s));
}
