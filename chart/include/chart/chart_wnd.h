// A self-contained line chart: lines keyed by id, each an x-ordered series of
// points, shown through a window of fixed width that follows new points,
// scrolls over a growing x extent and stretches its y range to every point.
#pragma once

#include "platform/wnd.h"

#include <functional>
#include <map>
#include <set>
#include <vector>

// Posted to the parent when asked for at creation (CWS_NOTIFY):
// wParam and lParam carry the new left and right x of the visible window...
constexpr UINT WM_CHART_XVIEW = WM_USER + 701;
// ...and the new bottom and top of the y range, each truncated to int.
constexpr UINT WM_CHART_YRANGE = WM_USER + 702;

// Window style bit of Create: tell the parent about view and range changes.
constexpr DWORD CWS_NOTIFY = 0x00000001;

// Line style bits of AddLine, above the pen style in the low 16 bits.
constexpr DWORD CLS_AUTOSTEP = 0x00010000;
constexpr DWORD CLS_MARKERS = 0x00020000;

class CDC;

class CChartWnd : public CWnd {
public:
    CChartWnd();
    ~CChartWnd() override;

    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT controlId);

    BOOL AddLine(UINT id, COLORREF color, DWORD styleWord, int width, BOOL visible, int xStep);
    void SetLineVisible(UINT id, BOOL visible, BOOL redraw);
    int SetLinePenStyle(UINT id, int penStyle, BOOL redraw);
    int SetLineWidth(UINT id, int width, BOOL redraw);
    COLORREF SetLineColor(UINT id, COLORREF color);
    COLORREF GetLineColor(UINT id) const;
    COLORREF SetBackColor(COLORREF color);
    COLORREF GetBackColor() const { return m_backColor; }
    void SetGrid(BOOL on);

    BOOL AddPoint(UINT id, float x, float y, BOOL redraw);
    BOOL AppendPoint(UINT id, float y, BOOL redraw);
    void ClearPoints();
    // Puts the visible window and the scroll bar back where Create put them:
    // at x 0, over an extent one window wide. A new series of data (a new
    // test) then shows from its start and is followed as the first one was;
    // ClearPoints alone keeps the window where it is.
    void ResetView();

    // While a whole series is added at once (a capture replayed), the scroll
    // bar and the parent follow only once, when the hold ends: the same end
    // state without a scroll-bar update and two posted messages per point.
    void HoldViewUpdates(BOOL hold);

    // What the chart shows, for whoever has to know (status, tests, tools).
    float XStart() const { return m_xStart; }
    float XSpan() const { return m_xSpan; }
    float XMin() const { return m_xMin; }
    float XMax() const { return m_xMax; }
    float YMin() const { return m_yMin; }
    float YMax() const { return m_yMax; }
    BOOL GridOn() const { return m_gridOn; }
    // The line's points by ascending x, or null for an undefined id.
    const std::map<float, float>* LinePoints(UINT id) const;

    // Marks painted over the traces at the top of the plot, one per x (where
    // an analysis found something). None by default and after ClearPoints,
    // so the chart looks as it always did until someone sets them.
    void SetMarks(std::vector<float> xs, COLORREF color);
    void ShowMarks(BOOL show);
    BOOL MarksShown() const { return m_marksShown; }
    const std::vector<float>& Marks() const { return m_marks; }
    COLORREF MarkColor() const { return m_markColor; }

    // The tooltip for the chart x under the pointer (the middle of its pixel
    // column), empty for none. Without a source the chart has no tooltip of
    // its own; an empty source takes it away again.
    void SetToolTipSource(std::function<QString(double chartX)> source) { m_toolTipSource = std::move(source); }

protected:
    void OnPaint() override;
    void OnHScroll(UINT code, UINT position, CScrollBar* scrollBar) override;
    // Left and Right arrows, Page Up and Page Down scroll as the bar's
    // arrows and page areas do.
    void OnKeyDown(UINT key, UINT repeatCount, UINT flags) override;
    std::optional<QString> OnToolTipNeeded(CPoint point) override;

private:
    friend struct ChartWndInspector;  // chart/chart_testing.h, for the tests alone

    struct ChartLine {
        std::map<float, float> points;
        COLORREF color = 0;
        int penStyle = 0;
        int width = 0;
        BOOL visible = FALSE;
        BOOL autoStep = FALSE;
        BOOL markers = FALSE;
        float xStep = 0.0f;
    };

    ChartLine* FindLine(UINT id);
    const ChartLine* FindLine(UINT id) const;
    bool AllLinesEmpty() const;
    void ClampView();
    void UpdateScrollBar();
    void NotifyParent();
    CPoint DataToClient(float x, float y) const;
    // OnPaint's layers, from the bottom up.
    void DrawBackground(CDC& dc, const RECT& client) const;
    void DrawGrid(CDC& dc, int width, int height) const;
    void DrawVerticalGrid(CDC& dc, int height) const;
    void DrawTraces(CDC& dc) const;
    void DrawTrace(CDC& dc, const ChartLine& line) const;
    void DrawMarks(CDC& dc) const;

    float m_yMax = 0.0f;
    float m_yMin = 0.0f;
    float m_xStart = 0.0f;
    float m_xMax = 1000.0f;
    float m_xMin = 0.0f;
    float m_xSpan = 1000.0f;
    std::map<UINT, ChartLine> m_lines;
    COLORREF m_backColor = 0;
    BOOL m_gridOn = TRUE;
    BOOL m_notifyParent = FALSE;
    BOOL m_viewUpdatesHeld = FALSE;
    BOOL m_viewUpdateMissed = FALSE;
    unsigned int m_xGridDivisions = 7;
    unsigned int m_yGridDivisions = 14;
    std::set<UINT> m_lineIds;
    std::vector<float> m_marks;  // ascending
    COLORREF m_markColor = 0;
    BOOL m_marksShown = TRUE;
    std::function<QString(double)> m_toolTipSource;
};

// Chart coordinates to int: truncated toward zero, with values beyond int's
// range held at its ends (and NaN as 0) instead of being undefined.
int TruncateToInt(double value);

// The tool's one chart, made before the application starts; its window is
// created by the main dialog.
extern CChartWnd g_chart;
