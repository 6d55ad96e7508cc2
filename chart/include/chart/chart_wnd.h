// A self-contained line chart: lines keyed by id, each an x-ordered series of
// points, shown through a window of fixed width that follows new points,
// scrolls over a growing x extent and stretches its y range to every point.
#pragma once

#include "platform/wnd.h"

#include "chart/trace_index.h"

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>
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

    // Zoom: how many x units the view is wide. kUsualSpan is the chart's
    // own scale, the one it starts at; the grid keeps its 20 columns there.
    static constexpr float kUsualSpan = 1000.0f;
    static constexpr double kLeastSpan = 2.0;  // a fifth of a half-tooth at the usual calibration
    // The view factor times narrower (above 1) or wider, chart x anchorX
    // staying where it is on the screen; the span is held between
    // kLeastSpan and the whole extent (at least kUsualSpan).
    void ZoomBy(double factor, double anchorX);
    // These two about the view's centre, or about the newest point while it
    // is in view, so that a chart following new points goes on following.
    void ZoomAroundCentre(double factor);
    void ZoomToUsual();  // kUsualSpan
    void ZoomToWhole();  // the first to the last point of the lines shown
    void ZoomToRange(double left, double right);
    // Scrolls so that x stands in the view (centred, when it was outside).
    void ShowX(double x);
    // The scroll bar's positions over the whole extent: 1000, and finer
    // once the view is narrower than kUsualSpan.
    int ScrollRange() const;

    // A time ruler along the top, off by default: ticks of the controller's
    // clock (units per tick), and ms when the tick length is known.
    void SetTimeScale(double unitsPerTick, std::optional<double> microsPerTick);
    void ShowTimeRuler(BOOL show);
    BOOL TimeRulerShown() const { return m_rulerShown; }

    // Two cursors at chart x (index 0 and 1), none by default. Keys 1 and 2
    // place them at the pointer, a drag moves one, Escape hides both; the
    // readout beside them comes from the source (a difference in x units
    // without one).
    void SetCursor(int index, std::optional<double> x);
    std::optional<double> Cursor(int index) const { return m_cursors.at(std::size_t(index)); }
    void HideCursors();
    using CursorReadout = std::function<QString(std::optional<double> first, std::optional<double> second)>;
    void SetCursorReadoutSource(CursorReadout source);

    // Stepping: N and P to the next and previous mark (scrolled into view),
    // ] and [ the active cursor to the next and previous edge of the line
    // set here (a change of its y). Each returns false where there is none.
    void SetEdgeLine(UINT id) { m_edgeLine = id; }
    bool StepToMark(int direction);
    bool StepToEdge(int direction);

    // A faint step trace under the lines (what they should look like), off
    // by default; points as a line's, by ascending x.
    void SetExpectedTrace(std::vector<std::pair<float, float>> points, COLORREF color);
    void ShowExpectedTrace(BOOL show);
    BOOL ExpectedTraceShown() const { return m_expectedShown; }

    // Called after the view moved or was zoomed (whoever draws a picture of it).
    void SetOnViewChanged(std::function<void()> callback) { m_onViewChanged = std::move(callback); }

    // The tooltip for the chart x under the pointer (the middle of its pixel
    // column), empty for none. Without a source the chart has no tooltip of
    // its own; an empty source takes it away again.
    void SetToolTipSource(std::function<QString(double chartX)> source) { m_toolTipSource = std::move(source); }

protected:
    void OnPaint() override;
    void OnHScroll(UINT code, UINT position, CScrollBar* scrollBar) override;
    // Left and Right arrows, Page Up and Page Down scroll as the bar's
    // arrows and page areas do; 1, 2 and Escape place and hide the cursors,
    // N, P, ] and [ step.
    void OnKeyDown(UINT key, UINT repeatCount, UINT flags) override;
    UINT OnGetDlgCode() override;
    // A cursor dragged, or Shift and a drag over a stretch to zoom into it.
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    // Ctrl and the wheel zoom about the pointer.
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;
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
        mutable TraceIndex index;  // the points again, for painting many per column
    };

    ChartLine* FindLine(UINT id);
    const ChartLine* FindLine(UINT id) const;
    bool AllLinesEmpty() const;
    void ClampView();
    void UpdateScrollBar();
    void NotifyParent();
    CPoint DataToClient(float x, float y) const;
    double ClientToData(int column) const;
    int ClientWidth() const;
    // Holds the view inside the extent as the scroll bar does, then repaints.
    void PlaceView(double start);
    void PlaceCursorAt(int index, CPoint point);
    std::optional<int> CursorNear(CPoint point) const;
    const ChartLine* VisibleEdgeLine() const;
    // OnPaint's layers, from the bottom up.
    void DrawBackground(CDC& dc, const RECT& client) const;
    void DrawGrid(CDC& dc, int width, int height) const;
    void DrawVerticalGrid(CDC& dc, int height) const;
    void DrawTraces(CDC& dc) const;
    void DrawTrace(CDC& dc, const ChartLine& line) const;
    void DrawEveryPoint(CDC& dc, const ChartLine& line) const;
    void DrawByColumn(CDC& dc, const ChartLine& line) const;
    std::size_t ColumnEnd(const TraceIndex& index, std::size_t i, int column, std::size_t end) const;
    void DrawExpectedTrace(CDC& dc) const;
    void DrawMarks(CDC& dc) const;
    void DrawRuler(CDC& dc, int width) const;
    void DrawCursors(CDC& dc, int width, int height) const;
    void DrawReadout(CDC& dc, int width) const;
    void DrawZoomBand(CDC& dc, int height) const;
    // The vertical grid's step in x units: a 20th of the view at kUsualSpan,
    // a round step about as wide at other zooms.
    double GridStep() const;
    double ZoomAnchor() const;
    int RulerHeight() const;  // 0 while it is hidden

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

    std::optional<double> m_unitsPerTick;
    std::optional<double> m_microsPerTick;
    BOOL m_rulerShown = FALSE;
    std::array<std::optional<double>, 2> m_cursors;
    int m_activeCursor = 0;
    std::optional<int> m_draggedCursor;
    CursorReadout m_readoutSource;
    std::optional<CPoint> m_pointer;     // the last place the pointer was seen over the client area
    std::optional<int> m_zoomBandStart;  // the column a Shift-drag began at
    std::optional<int> m_zoomBandEnd;
    std::optional<float> m_steppedMark;  // the mark N or P went to last
    UINT m_edgeLine = 0;
    std::vector<std::pair<float, float>> m_expected;
    COLORREF m_expectedColor = 0;
    BOOL m_expectedShown = FALSE;
    std::function<void()> m_onViewChanged;
};

// The smallest of 1, 2 and 5 times a power of ten at or above value (> 0):
// steps a reader counts in.
double RoundStepAtLeast(double value);

// Chart coordinates to int: truncated toward zero, with values beyond int's
// range held at its ends (and NaN as 0) instead of being undefined.
int TruncateToInt(double value);

// The tool's one chart, made before the application starts; its window is
// created by the main dialog.
extern CChartWnd g_chart;
