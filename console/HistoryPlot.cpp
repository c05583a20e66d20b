#include "console/HistoryPlot.h"

#include "common/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <optional>

namespace {

constexpr std::int64_t kMsPerHour = 3600000;
constexpr std::int64_t kMsPerDay = 24 * kMsPerHour;
constexpr double kSecondsPerDayPerPpm = 86400e-6;
// Below this the offset axis would only show noise in the last digit.
constexpr double kSmallestLimitMs = 0.01;
constexpr int kOffsetTicksPerSide = 4;

struct RangeFacts {
    HistoryRange range;
    std::int64_t spanMs;
    // The time ticks' candidate steps, finest first: the first whose labels fit is taken.
    std::vector<std::int64_t> tickSteps;
};

const RangeFacts kRanges[] = {
    {HistoryRange::Day,
     kMsPerDay,
     {kMsPerHour, 2 * kMsPerHour, 3 * kMsPerHour, 6 * kMsPerHour, 12 * kMsPerHour}},
    {HistoryRange::Week, 7 * kMsPerDay, {kMsPerDay, 2 * kMsPerDay, 7 * kMsPerDay}},
    {HistoryRange::Days90,
     90 * kMsPerDay,
     {kMsPerDay, 2 * kMsPerDay, 5 * kMsPerDay, 10 * kMsPerDay, 15 * kMsPerDay, 30 * kMsPerDay}},
};

struct ActionWords {
    HistoryAction action;
    const char* words;
};

// How the last run's sentence names what was done.
constexpr ActionWords kActionWords[] = {
    {HistoryAction::Stepped, "stepped"},    {HistoryAction::Slewed, "slewed"},
    {HistoryAction::None, "not corrected"}, {HistoryAction::Failed, "failed"},
    {HistoryAction::Refused, "refused"},
};

const char* actionWords(HistoryAction action) {
    return std::find_if(std::begin(kActionWords), std::end(kActionWords),
                        [action](const ActionWords& entry) { return entry.action == action; })
        ->words;
}

// A row whose offset the clock was corrected by (or found right): the line, band and axis.
bool applied(const HistoryRow& row) {
    return row.offsetMs && row.action != HistoryAction::Failed && row.action != HistoryAction::Refused;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

CalendarDate dateAt(std::int64_t ms) {
    return dateFromJulianDay(static_cast<std::int32_t>(floorDiv(ms, kMsPerDay)));
}

std::string timeOfDay(std::int64_t ms) {
    const std::int64_t inDay = ms - floorDiv(ms, kMsPerDay) * kMsPerDay;
    return FormatText("%02d:%02d", static_cast<int>(inDay / kMsPerHour),
                      static_cast<int>(inDay % kMsPerHour / 60000));
}

std::string dateText(std::int64_t ms) {
    const CalendarDate date = dateAt(ms);
    return FormatText("%04d-%02d-%02d", date.year, date.month, date.day);
}

std::string momentText(std::int64_t ms) {
    return dateText(ms) + " " + timeOfDay(ms);
}

std::string tickLabel(std::int64_t ms, std::int64_t step) {
    const CalendarDate date = dateAt(ms);
    return step < kMsPerDay ? timeOfDay(ms) : FormatText("%02d-%02d", date.month, date.day);
}

// 1, 2 or 5 times a power of ten, at least value.
double niceStep(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= value * (1 - 1e-9)) {
            return factor * power;
        }
    }
    return 10 * power;
}

std::string offsetLabel(double ms) {
    return ms == 0 ? std::string("0") : FormatText("%+g", ms);
}

class CMapping {
public:
    CMapping(const PlotRect& area, std::int64_t startMs, std::int64_t spanMs, double limitMs)
        : m_area(area), m_nStartMs(startMs), m_nSpanMs(spanMs), m_limitMs(limitMs) {}

    int X(std::int64_t ms) const {
        const double share = static_cast<double>(ms - m_nStartMs) / static_cast<double>(m_nSpanMs);
        return m_area.left + static_cast<int>(std::lround(share * (m_area.right - m_area.left)));
    }
    int Y(double offsetMs) const {
        const double share = (m_limitMs - offsetMs) / (2 * m_limitMs);
        return m_area.top + static_cast<int>(std::lround(share * (m_area.bottom - m_area.top)));
    }

private:
    PlotRect m_area;
    std::int64_t m_nStartMs;
    std::int64_t m_nSpanMs;
    double m_limitMs;
};

// The offset line through one pixel column after another: where it enters a column, its
// highest and lowest point there, and where it leaves.
class CColumnStroke {
public:
    void Add(const PlotPoint& point) {
        if (m_bOpen && point.x == m_nX) {
            m_nHighest = std::min(m_nHighest, point.y);
            m_nLowest = std::max(m_nLowest, point.y);
            m_nLast = point.y;
            return;
        }
        Flush();
        m_bOpen = true;
        m_nX = point.x;
        m_nFirst = m_nHighest = m_nLowest = m_nLast = point.y;
    }
    std::vector<PlotPoint> Finish() {
        Flush();
        return std::move(m_vecPoints);
    }

private:
    void Flush() {
        for (int y : {m_nFirst, m_nHighest, m_nLowest, m_nLast}) {
            if (m_bOpen && (m_vecPoints.empty() || !(m_vecPoints.back() == PlotPoint{m_nX, y}))) {
                m_vecPoints.push_back({m_nX, y});
            }
        }
        m_bOpen = false;
    }

    std::vector<PlotPoint> m_vecPoints;
    bool m_bOpen = false;
    int m_nX = 0;
    int m_nFirst = 0;
    int m_nHighest = 0;
    int m_nLowest = 0;
    int m_nLast = 0;
};

void AddSpan(std::vector<BandSpan>& band, const BandSpan& span) {
    if (band.empty() || band.back().x != span.x) {
        band.push_back(span);
        return;
    }
    band.back().yTop = std::min(band.back().yTop, span.yTop);
    band.back().yBottom = std::max(band.back().yBottom, span.yBottom);
}

void AddMarker(std::vector<PlotMarker>& markers, const PlotMarker& marker) {
    if (markers.empty() || !(markers.back().at == marker.at) || markers.back().action != marker.action) {
        markers.push_back(marker);
    }
}

// The largest reach of offset + delay/2 among the steps or among the other rows, if any.
std::optional<double> largestReach(const std::vector<HistoryRow>& rows, const std::vector<std::size_t>& shown,
                                   bool steps) {
    std::optional<double> largest;
    for (std::size_t index : shown) {
        const HistoryRow& row = rows[index];
        if (applied(row) && (row.action == HistoryAction::Stepped) == steps) {
            largest = std::max(largest.value_or(0), std::fabs(*row.offsetMs) + row.delayMs.value_or(0) / 2);
        }
    }
    return largest;
}

// Fits the rows that are not steps; the steps only when there is nothing else.
double offsetLimit(const std::vector<HistoryRow>& rows, const std::vector<std::size_t>& shown, double& step) {
    const std::optional<double> others = largestReach(rows, shown, false);
    const double largest =
        std::max(kSmallestLimitMs, others ? *others : largestReach(rows, shown, true).value_or(0));
    step = niceStep(largest / kOffsetTicksPerSide);
    return std::ceil(largest / step * (1 - 1e-9)) * step;
}

struct SizeUnit {
    double ms;
    int decimals;
    const char* name;
};

// Largest first: a step's size in the largest unit it reaches.
constexpr SizeUnit kSizeUnits[] = {
    {kMsPerDay, 1, "days"}, {kMsPerHour, 1, "h"}, {60000, 1, "min"}, {1000, 1, "s"}, {1, 0, "ms"},
};

std::string stepLabel(double ms) {
    const auto found = std::find_if(std::begin(kSizeUnits), std::end(kSizeUnits) - 1,
                                    [ms](const SizeUnit& unit) { return std::fabs(ms) >= unit.ms; });
    return FormatText("step %+.*f %s", found->decimals, ms / found->ms, found->name);
}

std::vector<AxisTick> timeTicks(const CMapping& map, const RangeFacts& facts, std::int64_t startMs,
                                const PlotRect& area, int minTickGap) {
    const int width = area.right - area.left;
    const auto fits = [&](std::int64_t step) {
        return static_cast<double>(step) / static_cast<double>(facts.spanMs) * width >= minTickGap;
    };
    const auto found = std::find_if(facts.tickSteps.begin(), facts.tickSteps.end(), fits);
    const std::int64_t step = found != facts.tickSteps.end() ? *found : facts.tickSteps.back();
    std::vector<AxisTick> ticks;
    for (std::int64_t ms = -floorDiv(-startMs, step) * step; ms <= startMs + facts.spanMs; ms += step) {
        ticks.push_back({map.X(ms), tickLabel(ms, step)});
    }
    return ticks;
}

std::string frequencyText(const std::vector<HistoryRow>& rows) {
    const auto found =
        std::find_if(rows.rbegin(), rows.rend(), [](const HistoryRow& r) { return r.frequencyPpm; });
    if (found == rows.rend()) {
        return "Learned frequency: not known yet.";
    }
    const double ppm = *found->frequencyPpm;
    return FormatText("Learned frequency: %+.3f ppm (%+.3f s a day).", ppm, ppm * kSecondsPerDayPerPpm);
}

std::string lastRunText(const std::vector<HistoryRow>& rows) {
    if (rows.empty()) {
        return "No synchronization is recorded yet.";
    }
    const HistoryRow& last = rows.back();
    const std::string when = momentText(HistoryMilliseconds(last.utc)) + " UTC";
    if (!applied(last)) {
        const std::string reason = last.strReason.empty() ? std::string() : ": " + last.strReason;
        return "Last run " + when + " " + actionWords(last.action) + reason + ".";
    }
    std::string text = "Last synchronized " + when + " with " + last.strServer + ": offset " +
                       FormatText("%+.1f ms", *last.offsetMs);
    if (last.delayMs) {
        text += FormatText(", delay %.1f ms", *last.delayMs);
    }
    return text + ", " + actionWords(last.action) + ".";
}

bool overlaps(const PlotRect& a, const PlotRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

PlotRect boxAt(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
}

// Whether the line passes through the box.
bool crossesLine(const PlotRect& box, const std::vector<PlotPoint>& line) {
    for (std::size_t i = 1; i < line.size(); ++i) {
        const PlotPoint& p = line[i - 1];
        const PlotPoint& q = line[i];
        const int from = std::max(p.x, box.left);
        const int to = std::min(q.x, box.right - 1);
        if (from > to) {
            continue;
        }
        const auto yAt = [&p, &q](int x) {
            return q.x == p.x ? p.y : p.y + static_cast<double>(q.y - p.y) * (x - p.x) / (q.x - p.x);
        };
        const double yFrom = q.x == p.x ? std::min(p.y, q.y) : yAt(from);
        const double yTo = q.x == p.x ? std::max(p.y, q.y) : yAt(to);
        if (std::min(yFrom, yTo) < box.bottom && std::max(yFrom, yTo) >= box.top) {
            return true;
        }
    }
    return false;
}

// Whether the box keeps off the line, the zero line and the marks.
bool clearOf(const HistoryPlot& plot, const PlotRect& area, const PlotRect& box, int markSize) {
    const auto onMark = [&](const PlotMarker& marker) {
        const PlotPoint centre = MarkCentre(marker, area, markSize);
        return overlaps(box, {centre.x - markSize, centre.y - markSize, centre.x + markSize + 1,
                              centre.y + markSize + 1});
    };
    return !crossesLine(box, plot.offsetLine) && !(box.top <= plot.zeroY && plot.zeroY < box.bottom) &&
           std::none_of(plot.markers.begin(), plot.markers.end(), onMark);
}

// The two names at the line's newest end, right-aligned there: the line's below it, or above it
// where the line, the zero line, a mark or the plot's end is in the way, and the band's above both the
// band and the line's name.
void placeNames(HistoryPlot& plot, const PlotRect& area, const LabelMetrics& metrics) {
    if (plot.offsetLine.empty()) {
        return;
    }
    const int h = metrics.textHeight;
    const PlotPoint end = plot.offsetLine.back();
    const int right = end.x - metrics.gap;
    const int width = metrics.textWidth("offset");
    const PlotRect below = boxAt(right - width, end.y + metrics.gap, width, h);
    int lineTop = below.bottom <= area.bottom && clearOf(plot, area, below, metrics.markSize)
                      ? below.top
                      : std::max(area.top, end.y - metrics.gap - h);
    if (!plot.band.empty()) {
        const int bandBottom = std::max(area.top + h, std::min(plot.band.back().yTop - metrics.gap, lineTop));
        lineTop = std::max(lineTop, bandBottom);  // pushed down when the band's name meets the top
        const int bandWidth = metrics.textWidth("delay band");
        plot.labels.push_back({boxAt(right - bandWidth, bandBottom - h, bandWidth, h), "delay band"});
    }
    plot.labels.push_back({boxAt(right - width, lineTop, width, h), "offset"});
}

// Beside its mark, on its right, then on its left unless that would leave the plot (the left
// alone where the right would); on each side just above the mark's centre, then just below it
// (a failure's centre is the zero line).
std::vector<PlotRect> markLabelPlaces(const PlotMarker& marker, const PlotRect& area,
                                      const LabelMetrics& metrics) {
    const int width = metrics.textWidth(marker.strLabel);
    const int h = metrics.textHeight;
    const PlotPoint centre = MarkCentre(marker, area, metrics.markSize);
    const int reach = metrics.markSize + metrics.gap;
    std::vector<int> lefts;
    if (centre.x + reach + width <= area.right) {
        lefts.push_back(centre.x + reach);
    }
    if (lefts.empty() || centre.x - reach - width >= area.left) {
        lefts.push_back(centre.x - reach - width);
    }
    std::vector<PlotRect> places;
    for (int left : lefts) {
        for (int top : {centre.y - h, centre.y + 1}) {
            places.push_back(boxAt(left, std::clamp(top, area.top, area.bottom - h), width, h));
        }
    }
    return places;
}

}  // namespace

HistoryPlot PlanHistoryPlot(const std::vector<HistoryRow>& rows, HistoryRange range, const PlotRect& area,
                            int minTickGap) {
    const RangeFacts& facts = *std::find_if(std::begin(kRanges), std::end(kRanges),
                                            [range](const RangeFacts& f) { return f.range == range; });
    HistoryPlot plot;
    plot.strFrequency = frequencyText(rows);
    plot.strLastRun = lastRunText(rows);
    std::int64_t endMs = 0;
    for (const HistoryRow& row : rows) {
        endMs = std::max(endMs, HistoryMilliseconds(row.utc));
    }
    const std::int64_t startMs = endMs - facts.spanMs;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (HistoryMilliseconds(rows[i].utc) >= startMs) {
            plot.shown.push_back(i);
        }
    }

    double step = 1;
    plot.offsetLimitMs = offsetLimit(rows, plot.shown, step);
    const CMapping map(area, startMs, facts.spanMs, plot.offsetLimitMs);
    plot.strTimeCaption = "Time (UTC), " + momentText(startMs) + " to " + momentText(endMs);
    plot.timeTicks = timeTicks(map, facts, startMs, area, minTickGap);
    plot.strOffsetCaption = "Offset (ms)";
    plot.zeroY = map.Y(0);
    const int nTicks = static_cast<int>(std::lround(plot.offsetLimitMs / step));
    for (int i = nTicks; i >= -nTicks; --i) {
        plot.offsetTicks.push_back({map.Y(i * step), offsetLabel(i * step)});
    }
    CColumnStroke line;
    for (std::size_t index : plot.shown) {
        const HistoryRow& row = rows[index];
        const int x = map.X(HistoryMilliseconds(row.utc));
        if (!applied(row)) {
            AddMarker(plot.markers, {{x, map.Y(0)}, row.action, false, actionWords(row.action)});
            continue;
        }
        const int y = map.Y(*row.offsetMs);
        if (row.action == HistoryAction::Stepped) {
            // The line stays on the offsets before and after: the step's is gone once made.
            const int edge = std::clamp(y, area.top, area.bottom);
            AddMarker(plot.markers, {{x, edge}, row.action, edge != y, stepLabel(*row.offsetMs)});
            continue;
        }
        line.Add({x, y});
        if (row.delayMs) {
            AddSpan(plot.band,
                    {x, map.Y(*row.offsetMs + *row.delayMs / 2), map.Y(*row.offsetMs - *row.delayMs / 2)});
        }
    }
    plot.offsetLine = line.Finish();
    return plot;
}

PlotPoint MarkCentre(const PlotMarker& marker, const PlotRect& area, int markSize) {
    const int inward = marker.at.y <= area.top ? markSize : -markSize;
    return {marker.at.x, marker.at.y + (marker.bPastEdge ? inward : 0)};
}

void PlaceHistoryLabels(HistoryPlot& plot, const PlotRect& area, const LabelMetrics& metrics) {
    plot.labels.clear();
    placeNames(plot, area, metrics);
    const auto free = [&plot](const PlotRect& box) {
        return std::none_of(plot.labels.begin(), plot.labels.end(),
                            [&box](const PlotLabel& placed) { return overlaps(box, placed.box); });
    };
    const auto clear = [&](const PlotRect& box) {
        return free(box) && clearOf(plot, area, box, metrics.markSize);
    };
    for (const PlotMarker& marker : plot.markers) {
        const std::vector<PlotRect> places = markLabelPlaces(marker, area, metrics);
        auto place = std::find_if(places.begin(), places.end(), clear);
        place = place != places.end() ? place : std::find_if(places.begin(), places.end(), free);
        if (place != places.end()) {
            plot.labels.push_back({*place, marker.strLabel});
        }
    }
}

std::string HistoryCopyText(const std::vector<HistoryRow>& rows, const std::vector<std::size_t>& shown) {
    std::string text = std::string(kHistoryHeader) + std::string(kHistoryLineEnd);
    for (std::size_t index : shown) {
        text += FormatHistoryRow(rows[index]);
    }
    return text;
}
