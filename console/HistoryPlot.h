#pragma once
// What the History window draws, in pixels: the rows of the chosen range, the time axis (UTC,
// as the file keeps it) and the offset axis with their labelled ticks, the offset line, the
// delay band around it, the marks of steps and failures, and the two sentences under the plot.
// The range ends at the newest row, so a picture of a given history is always the same.

#include "common/HistoryCsv.h"

#include <functional>
#include <string>
#include <vector>

enum class HistoryRange { Day, Week, Days90 };

struct PlotRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct PlotPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PlotPoint& a, const PlotPoint& b) { return a.x == b.x && a.y == b.y; }
};

// A tick's place along its axis (x for time, y for offset) and its label.
struct AxisTick {
    int position = 0;
    std::string strLabel;
};

// The delay's extent at one row: from offset + delay/2 (top) to offset - delay/2 (bottom).
struct BandSpan {
    int x = 0;
    int yTop = 0;
    int yBottom = 0;
};

// A step at its offset, or at the offset axis's edge on its side when it lies past it; a
// failure or refusal on the zero line when it has no offset.
struct PlotMarker {
    PlotPoint at;
    HistoryAction action = HistoryAction::Failed;
    bool bPastEdge = false;
    std::string strLabel;  // "failed", or a step's size: "step -620 ms"
};

// A text's box, its top left where it is written.
struct PlotLabel {
    PlotRect box;
    std::string strText;
};

// What the labels' places depend on, in the window's pixels.
struct LabelMetrics {
    int textHeight = 0;
    int gap = 0;       // between a label and what it names
    int markSize = 0;  // a mark's reach from its centre
    std::function<int(const std::string&)> textWidth;
};

struct HistoryPlot {
    std::vector<std::size_t> shown;  // the rows in range, as indexes into the history
    std::string strTimeCaption;
    std::vector<AxisTick> timeTicks;
    std::string strOffsetCaption;
    // The offset axis runs from -limit (bottom) to +limit (top), fitted to the slewed and
    // uncorrected rows: a step is made only for a large offset and would flatten them.
    double offsetLimitMs = 1;
    int zeroY = 0;  // the zero line
    std::vector<AxisTick> offsetTicks;
    // Rows that fall on one pixel column make one stroke and one span there, so that the
    // drawing costs the plot's width, however many rows there are.
    std::vector<PlotPoint> offsetLine;
    std::vector<BandSpan> band;
    std::vector<PlotMarker> markers;
    // The names of the line and the band where they end, and the marks' labels; none overlaps
    // another. Filled by PlaceHistoryLabels.
    std::vector<PlotLabel> labels;
    std::string strFrequency;
    std::string strLastRun;
};

// rows: the whole history, oldest first. minTickGap: the fewest pixels between two time
// labels (the widest label and a gap, in the window's scale).
HistoryPlot PlanHistoryPlot(const std::vector<HistoryRow>& rows, HistoryRange range, const PlotRect& area,
                            int minTickGap);

// Places the names "offset" and "delay band" at the newest row, the band's above its top edge
// and the line's below it (above it when the line or the plot's edge is in the way), and each
// mark's label beside it: on its right, above or below its centre, clear of the line where it
// can be, and on its left when the right would leave the plot, is taken or is crossed. A label never overlaps
// another: a mark's that finds no free place is left out.
void PlaceHistoryLabels(HistoryPlot& plot, const PlotRect& area, const LabelMetrics& metrics);

// Where a mark is drawn: at its point, or, past the axis, wholly inside the plot with its tip
// on the edge.
PlotPoint MarkCentre(const PlotMarker& marker, const PlotRect& area, int markSize);

// "Copy": the header line and the shown rows as the file keeps them.
std::string HistoryCopyText(const std::vector<HistoryRow>& rows, const std::vector<std::size_t>& shown);
