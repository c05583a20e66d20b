#pragma once
// The History window (template 153): the offset against time for the chosen range, with the
// delay as a band around it and steps and failures marked (HistoryPlot.h decides every pixel),
// the last run and the learned frequency, and "Copy". Modal: the console's main window runs in
// the dialog manager's own loop, which would give a modeless window no Tab, Escape or access
// keys. It follows the file while open by a cheap look at its size and time. Include only from
// Windows-only files.

#include "common/HistoryCsv.h"
#include "common/WinHandle_win.h"
#include "console/DialogBase_win.h"
#include "console/HistoryPlot.h"

#include <string>
#include <vector>

class CHistoryWnd final : public CDialogBase {
public:
    // path: the history file.
    explicit CHistoryWnd(std::string path);

    static constexpr UINT kFollowPeriodMs = 2000;

protected:
    bool OnInit() override;
    bool OnCommand(int id, int notifyCode) override;
    void OnTimer(UINT_PTR id) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Where a control goes as the window grows: its place in the template (dialog units) and
    // whether it moves with the right edge, with the bottom, or widens. Dialog units keep the
    // layout right when the window moves to a monitor of another scale.
    struct Anchor {
        int id;
        RECT templateRect;  // left, top, right, bottom
        bool bMovesRight;
        bool bMovesDown;
        bool bWidens;
    };
    static const Anchor kAnchors[];
    static constexpr RECT kTemplateClient{0, 0, 360, 230};

    void Reload();
    void Replan();
    void Layout();
    RECT Pixels(RECT dialogUnits) const;
    POINT MinimumSize() const;
    void Paint();
    void DrawPlot(HDC dc) const;
    void DrawAxes(HDC dc, int dpi) const;
    void DrawData(HDC dc, int dpi) const;
    void DrawMarkers(HDC dc, int dpi) const;
    void Copy();
    bool FileChanged();

    const std::string m_strPath;
    std::vector<HistoryRow> m_vecRows;
    HistoryRange m_range = HistoryRange::Day;
    HistoryPlot m_plot;
    RECT m_rcPanel{};  // the plot's frame, labels inside
    PlotRect m_plotArea;
    bool m_bInitialised = false;
    WIN32_FILE_ATTRIBUTE_DATA m_seen{};
    UniqueWindowTimer m_hFollowTimer;
};
