#include "console/HistoryWnd_win.h"

#include "common/OptionalFunctions_win.h"
#include "console/resource.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr UINT_PTR kFollowTimerId = 1;
constexpr int kBaseDpi = 96;

struct RangeButton {
    int id;
    HistoryRange range;
};

constexpr RangeButton kRangeButtons[] = {
    {IDC_HISTORY_DAY, HistoryRange::Day},
    {IDC_HISTORY_WEEK, HistoryRange::Week},
    {IDC_HISTORY_90_DAYS, HistoryRange::Days90},
};

int WindowDpi(HWND window) {
    if (OptionalFunctions().getDpiForWindow != nullptr) {
        return static_cast<int>(OptionalFunctions().getDpiForWindow(window));
    }
    const UniqueScreenDc screen(::GetDC(nullptr));
    return screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : kBaseDpi;
}

int Scaled(int pixels, int dpi) {
    return ::MulDiv(pixels, dpi, kBaseDpi);
}

int MarkSize(int dpi) {
    return Scaled(5, dpi);
}

// An object selected into a device context for as long as this lives.
class CSelection {
public:
    CSelection(HDC dc, HGDIOBJ object) : m_hDc(dc), m_hOld(::SelectObject(dc, object)) {}
    ~CSelection() { ::SelectObject(m_hDc, m_hOld); }
    CSelection(const CSelection&) = delete;
    CSelection& operator=(const CSelection&) = delete;

private:
    HDC m_hDc;
    HGDIOBJ m_hOld;
};

UniqueGdiObject Pen(int style, int width, int colorIndex) {
    return UniqueGdiObject(::CreatePen(style, width, ::GetSysColor(colorIndex)));
}

SIZE TextSize(HDC dc, const std::string& text) {
    SIZE size{};
    ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

void Label(HDC dc, const std::string& text, int x, int y, UINT align) {
    ::SetTextAlign(dc, align);
    ::TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    ::MoveToEx(dc, x0, y0, nullptr);
    ::LineTo(dc, x1, y1);
}

}  // namespace

// As in the template of the History window.
const CHistoryWnd::Anchor CHistoryWnd::kAnchors[] = {
    {IDC_HISTORY_LAST_RUN, {7, 170, 353, 188}, false, true, true},
    {IDC_HISTORY_FREQUENCY, {7, 190, 353, 199}, false, true, true},
    {IDC_HISTORY_COPY, {249, 209, 299, 223}, true, true, false},
    {IDCANCEL, {303, 209, 353, 223}, true, true, false},
};

CHistoryWnd::CHistoryWnd(std::string path) : CDialogBase(IDD_HISTORY), m_strPath(std::move(path)) {}

bool CHistoryWnd::OnInit() {
    const HWND window = GetHwnd();
    ::CheckRadioButton(window, IDC_HISTORY_DAY, IDC_HISTORY_90_DAYS, IDC_HISTORY_DAY);
    m_bInitialised = true;
    FileChanged();
    ReadHistory(m_strPath, m_vecRows);  // a missing or unreadable file shows as no runs
    Layout();
    if (::SetTimer(window, kFollowTimerId, kFollowPeriodMs, nullptr) != 0) {
        m_hFollowTimer.reset({window, kFollowTimerId});
    }
    return true;
}

bool CHistoryWnd::OnCommand(int id, int notifyCode) {
    const auto button = std::find_if(std::begin(kRangeButtons), std::end(kRangeButtons),
                                     [id](const RangeButton& b) { return b.id == id; });
    if (notifyCode == BN_CLICKED && button != std::end(kRangeButtons)) {
        m_range = button->range;
        Replan();
        return true;
    }
    if (notifyCode == BN_CLICKED && id == IDC_HISTORY_COPY) {
        Copy();
        return true;
    }
    return CDialogBase::OnCommand(id, notifyCode);  // Close and Escape: IDCANCEL
}

void CHistoryWnd::OnTimer(UINT_PTR /*id*/) {
    if (FileChanged()) {
        Reload();
    }
}

bool CHistoryWnd::OnMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    if (message == WM_PAINT) {
        Paint();
        return true;
    }
    if (message == WM_ERASEBKGND) {
        return true;  // the paint covers every pixel
    }
    if (message == WM_SIZE && m_bInitialised) {
        Layout();
        return true;
    }
    if (message == WM_GETMINMAXINFO && m_bInitialised) {
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = MinimumSize();
        return true;
    }
    return false;
}

// Whether the file's size or time moved since the last look (a missing file reads as zeros).
bool CHistoryWnd::FileChanged() {
    WIN32_FILE_ATTRIBUTE_DATA now{};
    if (!::GetFileAttributesExA(m_strPath.c_str(), GetFileExInfoStandard, &now)) {
        now = WIN32_FILE_ATTRIBUTE_DATA{};
    }
    const bool bChanged = now.nFileSizeLow != m_seen.nFileSizeLow ||
                          now.nFileSizeHigh != m_seen.nFileSizeHigh ||
                          ::CompareFileTime(&now.ftLastWriteTime, &m_seen.ftLastWriteTime) != 0;
    m_seen = now;
    return bChanged;
}

void CHistoryWnd::Reload() {
    ReadHistory(m_strPath, m_vecRows);
    Replan();
}

void CHistoryWnd::Replan() {
    const HWND window = GetHwnd();
    const UniqueScreenDc screen(::GetDC(nullptr));
    const CSelection font(screen.get(), reinterpret_cast<HGDIOBJ>(::SendMessageA(window, WM_GETFONT, 0, 0)));
    const int gap = Scaled(4, WindowDpi(window));
    const SIZE time = TextSize(screen.get(), "00:00");
    // The offset labels' width is known once they are: plan, measure, and plan again when wider.
    // Above the plot the offset caption and half of the top tick's label; below it the time
    // labels and the time caption.
    PlotRect area{m_rcPanel.left + gap + TextSize(screen.get(), "+00").cx + gap,
                  m_rcPanel.top + gap / 2 + time.cy + time.cy / 2 + gap / 2,
                  m_rcPanel.right - time.cx / 2 - gap, m_rcPanel.bottom - 2 * time.cy - gap};
    m_plot = PlanHistoryPlot(m_vecRows, m_range, area, 2 * time.cx);
    int widest = 0;
    for (const AxisTick& tick : m_plot.offsetTicks) {
        widest = std::max<int>(widest, TextSize(screen.get(), tick.strLabel).cx);
    }
    if (m_rcPanel.left + gap + widest + gap != area.left) {
        area.left = m_rcPanel.left + gap + widest + gap;
        m_plot = PlanHistoryPlot(m_vecRows, m_range, area, 2 * time.cx);
    }
    m_plotArea = area;
    const HDC dc = screen.get();
    const LabelMetrics metrics{time.cy, gap, MarkSize(WindowDpi(window)), [dc](const std::string& text) {
                                   return static_cast<int>(TextSize(dc, text).cx);
                               }};
    PlaceHistoryLabels(m_plot, area, metrics);
    ::SetDlgItemTextA(window, IDC_HISTORY_LAST_RUN, m_plot.strLastRun.c_str());
    ::SetDlgItemTextA(window, IDC_HISTORY_FREQUENCY, m_plot.strFrequency.c_str());
    ::InvalidateRect(window, nullptr, FALSE);
}

RECT CHistoryWnd::Pixels(RECT dialogUnits) const {
    ::MapDialogRect(GetHwnd(), &dialogUnits);
    return dialogUnits;
}

// The template's size: everything fits.
POINT CHistoryWnd::MinimumSize() const {
    RECT frame = Pixels(kTemplateClient);
    const HWND window = GetHwnd();
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrA(window, GWL_EXSTYLE)));
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// Moves the anchored controls by the window's growth past the template and fits the plot
// between the range buttons and the sentences.
void CHistoryWnd::Layout() {
    const HWND window = GetHwnd();
    RECT client{};
    ::GetClientRect(window, &client);
    const RECT start = Pixels(kTemplateClient);
    const int dx = client.right - start.right;
    const int dy = client.bottom - start.bottom;
    for (const Anchor& anchor : kAnchors) {
        const RECT place = Pixels(anchor.templateRect);
        const int x = place.left + (anchor.bMovesRight ? dx : 0);
        const int y = place.top + (anchor.bMovesDown ? dy : 0);
        const int width = place.right - place.left + (anchor.bWidens ? dx : 0);
        ::SetWindowPos(::GetDlgItem(window, anchor.id), nullptr, x, y, width, place.bottom - place.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(::GetDlgItem(window, anchor.id), nullptr, TRUE);
    }
    // Dialog units: the sides, below the range buttons, above the sentences.
    const RECT margins = Pixels({7, 20, 7, 4});
    m_rcPanel = {margins.left, margins.top, client.right - margins.right,
                 Pixels(kAnchors[0].templateRect).top + dy - margins.bottom};
    Replan();
}

void CHistoryWnd::Paint() {
    const HWND window = GetHwnd();
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(window, &paint);
    RECT client{};
    ::GetClientRect(window, &client);
    // Drawn off screen and copied in one go, so that following the file never flickers.
    const UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    const UniqueGdiObject bitmap(::CreateCompatibleBitmap(dc, client.right, client.bottom));
    if (memory && bitmap) {
        const CSelection selected(memory.get(), bitmap.get());
        ::FillRect(memory.get(), &client, ::GetSysColorBrush(COLOR_3DFACE));
        DrawPlot(memory.get());
        ::BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    }
    ::EndPaint(window, &paint);
}

void CHistoryWnd::DrawPlot(HDC dc) const {
    const int dpi = WindowDpi(GetHwnd());
    ::FillRect(dc, &m_rcPanel, ::GetSysColorBrush(COLOR_WINDOW));
    ::FrameRect(dc, &m_rcPanel, ::GetSysColorBrush(COLOR_WINDOWTEXT));
    const CSelection font(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(GetHwnd(), WM_GETFONT, 0, 0)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    DrawAxes(dc, dpi);
    if (m_plot.shown.empty()) {
        Label(dc, "No run is recorded in this range.", (m_plotArea.left + m_plotArea.right) / 2,
              (m_plotArea.top + m_plotArea.bottom) / 2, TA_CENTER | TA_BASELINE);
        return;
    }
    DrawData(dc, dpi);
    DrawMarkers(dc, dpi);
    for (const PlotLabel& label : m_plot.labels) {
        Label(dc, label.strText, label.box.left, label.box.top, TA_LEFT | TA_TOP);
    }
}

void CHistoryWnd::DrawAxes(HDC dc, int dpi) const {
    const PlotRect& a = m_plotArea;
    const int gap = Scaled(4, dpi);
    const UniqueGdiObject grid = Pen(PS_DOT, 1, COLOR_GRAYTEXT);
    const UniqueGdiObject axis = Pen(PS_SOLID, Scaled(1, dpi), COLOR_WINDOWTEXT);
    const CSelection pen(dc, grid.get());
    const int height = TextSize(dc, "0").cy;
    for (const AxisTick& tick : m_plot.offsetTicks) {
        Line(dc, a.left, tick.position, a.right, tick.position);
        Label(dc, tick.strLabel, a.left - gap, tick.position - height / 2, TA_RIGHT | TA_TOP);
    }
    for (const AxisTick& tick : m_plot.timeTicks) {
        Line(dc, tick.position, a.top, tick.position, a.bottom);
        Label(dc, tick.strLabel, tick.position, a.bottom + gap / 2, TA_CENTER | TA_TOP);
    }
    const CSelection solid(dc, axis.get());
    Line(dc, a.left, m_plot.zeroY, a.right, m_plot.zeroY);
    Line(dc, a.left, a.top, a.left, a.bottom);
    Label(dc, m_plot.strOffsetCaption, a.left, m_rcPanel.top + gap / 2, TA_LEFT | TA_TOP);
    Label(dc, m_plot.strTimeCaption, (a.left + a.right) / 2, m_rcPanel.bottom - gap / 2,
          TA_CENTER | TA_BOTTOM);
}

void CHistoryWnd::DrawData(HDC dc, int dpi) const {
    // The band: along its top edge, and back along its bottom edge.
    std::vector<POINT> outline;
    for (const BandSpan& span : m_plot.band) {
        outline.push_back({span.x, span.yTop});
    }
    for (auto span = m_plot.band.rbegin(); span != m_plot.band.rend(); ++span) {
        outline.push_back({span->x, span->yBottom});
    }
    const UniqueGdiObject hatch(::CreateHatchBrush(HS_BDIAGONAL, ::GetSysColor(COLOR_GRAYTEXT)));
    const UniqueGdiObject edge = Pen(PS_SOLID, 1, COLOR_GRAYTEXT);
    const UniqueGdiObject line = Pen(PS_SOLID, Scaled(2, dpi), COLOR_WINDOWTEXT);
    if (!outline.empty()) {
        const CSelection brush(dc, hatch.get());
        const CSelection pen(dc, edge.get());
        ::SetPolyFillMode(dc, WINDING);  // a band that crosses itself stays filled
        ::Polygon(dc, outline.data(), static_cast<int>(outline.size()));
    }
    std::vector<POINT> points;
    std::transform(m_plot.offsetLine.begin(), m_plot.offsetLine.end(), std::back_inserter(points),
                   [](const PlotPoint& p) {
                       return POINT{p.x, p.y};
                   });
    const CSelection pen(dc, line.get());
    ::Polyline(dc, points.data(), static_cast<int>(points.size()));
}

void CHistoryWnd::DrawMarkers(HDC dc, int dpi) const {
    const int size = MarkSize(dpi);
    const UniqueGdiObject brush(::CreateSolidBrush(::GetSysColor(COLOR_HIGHLIGHT)));
    const UniqueGdiObject pen = Pen(PS_SOLID, 1, COLOR_HIGHLIGHT);
    const CSelection fill(dc, brush.get());
    const CSelection edge(dc, pen.get());
    for (const PlotMarker& marker : m_plot.markers) {
        const auto [x, y] = MarkCentre(marker, m_plotArea, size);
        const POINT diamond[] = {{x, y - size}, {x + size, y}, {x, y + size}, {x - size, y}};
        const POINT triangle[] = {{x - size, y - size}, {x + size, y - size}, {x, y + size}};
        const bool bStep = marker.action == HistoryAction::Stepped;  // a failure: a triangle pointing down
        ::Polygon(dc, bStep ? diamond : triangle, bStep ? 4 : 3);
    }
}

void CHistoryWnd::Copy() {
    const std::string text = HistoryCopyText(m_vecRows, m_plot.shown);
    UniqueGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    void* bytes = memory ? ::GlobalLock(memory.get()) : nullptr;
    if (bytes != nullptr) {
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        ::GlobalUnlock(memory.get());
    }
    const UniqueOpenClipboard clipboard(::OpenClipboard(GetHwnd()) ? GetHwnd() : nullptr);
    if (bytes != nullptr && clipboard && ::EmptyClipboard() &&
        ::SetClipboardData(CF_TEXT, memory.get()) != nullptr) {
        memory.release();  // the clipboard owns it now
        return;
    }
    ::MessageBoxA(GetHwnd(), "The rows could not be put on the clipboard.", "History", MB_OK | MB_ICONERROR);
}
