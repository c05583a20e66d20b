// The History window's plot: a small known history mapped to pixels for a day and a week.

#include "console/HistoryPlot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

using ::testing::ElementsAre;

namespace {

HistoryRow Row(int day, int hour, HistoryAction action, std::optional<double> offset,
               std::optional<double> delay) {
    HistoryRow row;
    row.utc =
        CalendarTime{2026, 12, 0, static_cast<std::uint16_t>(day), static_cast<std::uint16_t>(hour), 0, 0, 0};
    row.strServer = "Loop";
    row.action = action;
    row.offsetMs = offset;
    row.delayMs = delay;
    return row;
}

// Ends 2026-12-09 12:00 UTC; the first row lies 25 hours before that.
std::vector<HistoryRow> KnownHistory() {
    std::vector<HistoryRow> rows = {
        Row(8, 11, HistoryAction::Slewed, 50, 10),   Row(8, 13, HistoryAction::Slewed, 2, 10),
        Row(8, 18, HistoryAction::Stepped, -620, 4), Row(8, 19, HistoryAction::Slewed, -8, 4),
        Row(9, 6, HistoryAction::Failed, {}, {}),    Row(9, 12, HistoryAction::Slewed, 1.2, 14),
    };
    rows[1].frequencyPpm = 3;
    rows[4].strReason = "no answer";
    rows[5].frequencyPpm = 11.574;
    return rows;
}

// 6 pixels a character, 10 high, a gap of 2, marks reaching 5 from their centre.
LabelMetrics SixPixelsACharacter() {
    return {10, 2, 5, [](const std::string& text) { return 6 * static_cast<int>(text.size()); }};
}

std::vector<int> Edges(const PlotLabel& label) {
    return {label.box.left, label.box.top, label.box.right, label.box.bottom};
}

std::vector<int> Positions(const std::vector<AxisTick>& ticks) {
    std::vector<int> positions;
    for (const AxisTick& tick : ticks) {
        positions.push_back(tick.position);
    }
    return positions;
}

}  // namespace

TEST(HistoryPlotTest, ADayOfAKnownHistoryInPixels) {
    // 10 pixels an hour; the offset axis +-10 ms over 200 pixels, 10 pixels a millisecond.
    const std::vector<HistoryRow> rows = KnownHistory();
    const HistoryPlot plot = PlanHistoryPlot(rows, HistoryRange::Day, PlotRect{0, 0, 240, 200}, 25);

    EXPECT_THAT(plot.shown, ElementsAre(1, 2, 3, 4, 5));  // the row of 25 hours ago is out of range
    EXPECT_EQ(plot.offsetLimitMs, 10);  // holds -8 - 4/2 ms, symmetric, and not the step's -620 ms
    EXPECT_THAT(Positions(plot.offsetTicks), ElementsAre(0, 50, 100, 150, 200));
    EXPECT_EQ(plot.offsetTicks.front().strLabel, "+10");
    EXPECT_EQ(plot.offsetTicks[2].strLabel, "0");
    EXPECT_EQ(plot.offsetTicks.back().strLabel, "-10");
    // Three-hour ticks: hourly labels 10 pixels apart would not fit in 25.
    EXPECT_THAT(Positions(plot.timeTicks), ElementsAre(0, 30, 60, 90, 120, 150, 180, 210, 240));
    EXPECT_EQ(plot.timeTicks[1].strLabel, "15:00");
    EXPECT_EQ(plot.strTimeCaption, "Time (UTC), 2026-12-08 12:00 to 2026-12-09 12:00");

    // The line leaves out the step: its offset was gone once it was made.
    EXPECT_THAT(plot.offsetLine, ElementsAre(PlotPoint{10, 80}, PlotPoint{70, 180}, PlotPoint{240, 88}));
    // The band spans offset + delay/2 (above) to offset - delay/2 (below).
    ASSERT_EQ(plot.band.size(), 3u);
    EXPECT_EQ(plot.band[0].yTop, 30);
    EXPECT_EQ(plot.band[0].yBottom, 130);
    EXPECT_EQ(plot.band[2].yTop, 18);
    EXPECT_EQ(plot.band[2].yBottom, 158);
    ASSERT_EQ(plot.markers.size(), 2u);
    EXPECT_EQ(plot.markers[0].at, (PlotPoint{60, 200}));  // the step, past the axis: at its bottom
    EXPECT_TRUE(plot.markers[0].bPastEdge);
    EXPECT_EQ(plot.markers[0].strLabel, "step -620 ms");
    EXPECT_EQ(plot.markers[1].at, (PlotPoint{180, 100}));  // the failure, on the zero line
    EXPECT_EQ(plot.markers[1].action, HistoryAction::Failed);

    // A thin band, the line coming down to its end: the band's name above the band, the line's
    // below the line; the failure's label would meet "offset" above the zero line and goes below
    // it; the step's stays inside the plot, beside its mark drawn inside the bottom edge.
    const LabelMetrics metrics = SixPixelsACharacter();
    std::vector<HistoryRow> thin = rows;
    thin[3].offsetMs = 8;
    thin.back().delayMs = 0.2;
    HistoryPlot named = PlanHistoryPlot(thin, HistoryRange::Day, PlotRect{0, 0, 240, 200}, 25);
    PlaceHistoryLabels(named, PlotRect{0, 0, 240, 200}, metrics);
    ASSERT_EQ(named.labels.size(), 4u);
    EXPECT_EQ(named.labels[0].strText, "delay band");
    EXPECT_THAT(Edges(named.labels[0]), ElementsAre(178, 75, 238, 85));
    EXPECT_EQ(named.labels[1].strText, "offset");
    EXPECT_THAT(Edges(named.labels[1]), ElementsAre(202, 90, 238, 100));
    EXPECT_EQ(named.labels[2].strText, "step -620 ms");
    EXPECT_THAT(Edges(named.labels[2]), ElementsAre(67, 185, 139, 195));  // its mark drawn inside
    EXPECT_EQ(named.labels[3].strText, "failed");
    EXPECT_THAT(Edges(named.labels[3]), ElementsAre(187, 101, 223, 111));
    // The line's name keeps off a mark and off the zero line below the line's end.
    for (const auto& [last, failure, top] : {std::tuple{1.2, true, 76}, std::tuple{0.5, false, 83}}) {
        std::vector<HistoryRow> ending = thin;
        ending.back().offsetMs = last;
        if (failure) {
            ending.push_back(Row(9, 12, HistoryAction::Failed, {}, {}));
        }
        HistoryPlot above = PlanHistoryPlot(ending, HistoryRange::Day, PlotRect{0, 0, 240, 200}, 25);
        PlaceHistoryLabels(above, PlotRect{0, 0, 240, 200}, metrics);
        ASSERT_GE(above.labels.size(), 2u);
        EXPECT_THAT(Edges(above.labels[1]), ElementsAre(202, top, 238, top + 10)) << last;
    }
    // The line coming up to its end would cross its name below it: the name goes above. It
    // crosses the failure's right side too: that label goes to the left.
    HistoryPlot rising = plot;
    PlaceHistoryLabels(rising, PlotRect{0, 0, 240, 200}, metrics);
    ASSERT_EQ(rising.labels.size(), 4u);
    EXPECT_THAT(Edges(rising.labels[1]), ElementsAre(202, 76, 238, 86));
    EXPECT_THAT(Edges(rising.labels[3]), ElementsAre(137, 90, 173, 100));

    EXPECT_EQ(plot.strFrequency, "Learned frequency: +11.574 ppm (+1.000 s a day).");
    EXPECT_EQ(plot.strLastRun,
              "Last synchronized 2026-12-09 12:00 UTC with Loop: offset +1.2 ms, delay 14.0 ms, slewed.");
    const std::vector<HistoryRow> untilFailure(rows.begin(), rows.begin() + 5);
    EXPECT_EQ(PlanHistoryPlot(untilFailure, HistoryRange::Day, PlotRect{0, 0, 240, 200}, 25).strLastRun,
              "Last run 2026-12-09 06:00 UTC failed: no answer.");

    std::string expected = std::string(kHistoryHeader) + "\r\n";
    for (std::size_t i = 1; i < rows.size(); ++i) {
        expected += FormatHistoryRow(rows[i]);
    }
    EXPECT_EQ(HistoryCopyText(rows, plot.shown), expected);
}

TEST(HistoryPlotTest, AWeekHoldsEveryRowTheAxisGrowsToTheLargestOffsetAndAColumnKeepsItsExtremes) {
    const HistoryPlot plot =
        PlanHistoryPlot(KnownHistory(), HistoryRange::Week, PlotRect{0, 0, 700, 120}, 60);
    EXPECT_EQ(plot.shown.size(), 6u);
    EXPECT_EQ(plot.offsetLimitMs, 60);  // 50 + 10/2 ms, in steps of 20
    EXPECT_EQ(plot.offsetTicks.front().strLabel, "+60");
    ASSERT_EQ(plot.timeTicks.size(), 7u);  // midnights, 100 pixels a day
    EXPECT_EQ(plot.timeTicks.front().strLabel, "12-03");
    EXPECT_EQ(plot.timeTicks.front().position, 50);
    // The failure near the right end: its label on the left, below the zero line (the line
    // crosses it there either way, and "offset" takes the place above).
    HistoryPlot named = plot;
    PlaceHistoryLabels(named, PlotRect{0, 0, 700, 120}, SixPixelsACharacter());
    ASSERT_EQ(named.labels.size(), 4u);
    EXPECT_EQ(named.labels[3].strText, "failed");
    EXPECT_THAT(Edges(named.labels[3]), ElementsAre(632, 61, 668, 71));
    // Steps alone: the axis fits them, and a step of seconds reads in seconds.
    const HistoryPlot steps = PlanHistoryPlot({Row(9, 12, HistoryAction::Stepped, 2400, 4)},
                                              HistoryRange::Week, PlotRect{0, 0, 700, 120}, 60);
    EXPECT_EQ(steps.offsetLimitMs, 3000);
    ASSERT_EQ(steps.markers.size(), 1u);
    EXPECT_EQ(steps.markers[0].at, (PlotPoint{700, 12}));
    EXPECT_FALSE(steps.markers[0].bPastEdge);
    EXPECT_EQ(steps.markers[0].strLabel, "step +2.4 s");

    // A pixel a day: the rows of 8 December share a column, drawn from 50 ms to -8 ms
    // with the band from 55 ms to -10 ms.
    const HistoryPlot narrow = PlanHistoryPlot(KnownHistory(), HistoryRange::Week, PlotRect{0, 0, 7, 120}, 1);
    EXPECT_THAT(narrow.offsetLine, ElementsAre(PlotPoint{6, 10}, PlotPoint{6, 68}, PlotPoint{7, 59}));
    // Ten days a pixel: every row in one column, entered at 50 ms, down to -8 ms, left at 1.2 ms.
    EXPECT_THAT(PlanHistoryPlot(KnownHistory(), HistoryRange::Days90, PlotRect{0, 0, 9, 120}, 1).offsetLine,
                ElementsAre(PlotPoint{9, 10}, PlotPoint{9, 68}, PlotPoint{9, 59}));
    ASSERT_EQ(narrow.band.size(), 2u);
    EXPECT_EQ(narrow.band[0].yTop, 5);
    EXPECT_EQ(narrow.band[0].yBottom, 70);
}
