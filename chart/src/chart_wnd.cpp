#include "chart/chart_wnd.h"

#include <algorithm>
#include <cmath>
#include <limits>

CChartWnd g_chart;

int TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(value);
}

CChartWnd::CChartWnd() = default;
CChartWnd::~CChartWnd() = default;

BOOL CChartWnd::Create(DWORD style, const RECT& rect, CWnd* parent, UINT controlId)
{
    style |= WS_CHILD | WS_HSCROLL | WS_TABSTOP;
    m_notifyParent = (style & CWS_NOTIFY) ? TRUE : FALSE;
    style &= ~CWS_NOTIFY;
    const BOOL created = CWnd::Create(style, rect, parent, controlId);

    m_backColor = 0;
    m_gridOn = TRUE;
    m_yMin = 0.0f;
    m_xMax = m_xSpan;
    m_yMax = 0.0f;
    m_xGridDivisions = 20;
    m_yGridDivisions = 10;
    UpdateScrollBar();
    return created;
}

CChartWnd::ChartLine* CChartWnd::FindLine(UINT id)
{
    if (m_lineIds.count(id) == 0)
        return nullptr;
    return &m_lines.at(id);
}

const CChartWnd::ChartLine* CChartWnd::FindLine(UINT id) const
{
    if (m_lineIds.count(id) == 0)
        return nullptr;
    return &m_lines.at(id);
}

const std::map<float, float>* CChartWnd::LinePoints(UINT id) const
{
    const ChartLine* line = FindLine(id);
    return line ? &line->points : nullptr;
}

BOOL CChartWnd::AddLine(UINT id, COLORREF color, DWORD styleWord, int width, BOOL visible, int xStep)
{
    if (!m_lineIds.insert(id).second)
        return FALSE;
    ChartLine line;
    line.color = color;
    line.penStyle = int(styleWord & 0xFFFF);
    line.width = width;
    line.visible = visible;
    line.autoStep = (styleWord & CLS_AUTOSTEP) != 0;
    line.markers = (styleWord & CLS_MARKERS) != 0;
    line.xStep = float(xStep);
    m_lines[id] = line;
    return TRUE;
}

void CChartWnd::SetLineVisible(UINT id, BOOL visible, BOOL redraw)
{
    ChartLine* line = FindLine(id);
    if (!line)
        return;
    line->visible = visible;
    if (redraw)
        Invalidate(TRUE);
}

int CChartWnd::SetLinePenStyle(UINT id, int penStyle, BOOL redraw)
{
    ChartLine* line = FindLine(id);
    if (!line)
        return 0;
    const int previous = line->penStyle;
    line->penStyle = penStyle;
    if (redraw)
        Invalidate(TRUE);
    return previous;
}

int CChartWnd::SetLineWidth(UINT id, int width, BOOL redraw)
{
    ChartLine* line = FindLine(id);
    if (!line)
        return 0;
    const int previous = line->width;
    line->width = width;
    if (redraw)
        Invalidate(TRUE);
    return previous;
}

COLORREF CChartWnd::SetLineColor(UINT id, COLORREF color)
{
    ChartLine* line = FindLine(id);
    if (!line)
        return 0;
    const COLORREF previous = line->color;
    line->color = color;
    Invalidate(TRUE);
    return previous;
}

COLORREF CChartWnd::GetLineColor(UINT id) const
{
    const ChartLine* line = FindLine(id);
    return line ? line->color : 0;
}

COLORREF CChartWnd::SetBackColor(COLORREF color)
{
    const COLORREF previous = m_backColor;
    m_backColor = color;
    Invalidate(TRUE);
    return previous;
}

void CChartWnd::SetGrid(BOOL on)
{
    m_gridOn = on;
    Invalidate(TRUE);
}

BOOL CChartWnd::AddPoint(UINT id, float x, float y, BOOL redraw)
{
    ChartLine* line = FindLine(id);
    if (!line)
        return FALSE;
    // A point that is not a number has no place on an ordered axis; taking
    // one would corrupt the line's order and every range after it.
    if (!std::isfinite(x) || !std::isfinite(y))
        return FALSE;

    bool changed = false;
    if (AllLinesEmpty()) {
        m_yMax = y;
        m_yMin = y;
        NotifyParent();
    } else {
        const double span = m_xSpan;
        if (!line->points.empty()) {
            const double lastX = line->points.rbegin()->first;
            const bool endInView = double(m_xStart) <= lastX && lastX <= double(m_xStart) + span;
            if (endInView && double(x) > double(m_xStart) + 0.9 * span) {
                m_xStart = float(double(x) - 0.9 * span);
                changed = true;
            }
        }
        if (!changed && double(x) > double(m_xMax)) {
            m_xMax = float(double(x) + 0.1 * span);
            changed = true;
        }
        if (!changed && x < m_xMin) {
            m_xMin = x;
            changed = true;
        }
        if (y > m_yMax) {
            m_yMax = y;
            NotifyParent();
        }
        if (y < m_yMin) {
            m_yMin = y;
            NotifyParent();
        }
    }

    line->points[x] = y;
    line->index.Append(x, y);
    if (changed)
        ClampView();
    if (redraw)
        Invalidate(TRUE);
    if (changed)
        UpdateScrollBar();
    return TRUE;
}

BOOL CChartWnd::AppendPoint(UINT id, float y, BOOL redraw)
{
    const ChartLine* line = FindLine(id);
    if (!line || !line->autoStep)
        return FALSE;
    if (line->points.empty())
        return AddPoint(id, 0.0f, y, redraw);
    return AddPoint(id, float(double(line->points.rbegin()->first) + double(line->xStep)), y, redraw);
}

void CChartWnd::SetMarks(std::vector<float> xs, COLORREF color)
{
    xs.erase(std::remove_if(xs.begin(), xs.end(), [](float x) { return !std::isfinite(x); }), xs.end());
    std::sort(xs.begin(), xs.end());
    m_marks = std::move(xs);
    m_markColor = color;
    Invalidate(TRUE);
}

void CChartWnd::ShowMarks(BOOL show)
{
    m_marksShown = show;
    Invalidate(TRUE);
}

void CChartWnd::ClearPoints()
{
    m_marks.clear();
    m_expected.clear();
    m_cursors = {};
    for (auto& entry : m_lines) {
        entry.second.points.clear();
        entry.second.index.Clear();
    }
    m_yMax = 0.0f;
    m_yMin = 0.0f;
    m_xMin = 0.0f;
    NotifyParent();
    Invalidate(TRUE);
}

void CChartWnd::ResetView()
{
    m_xStart = 0.0f;
    m_xMin = 0.0f;
    m_xMax = m_xSpan;
    Invalidate(TRUE);
    UpdateScrollBar();
}

bool CChartWnd::AllLinesEmpty() const
{
    for (const auto& entry : m_lines) {
        if (!entry.second.points.empty())
            return false;
    }
    return true;
}

void CChartWnd::ClampView()
{
    if (m_xStart < m_xMin)
        m_xStart = m_xMin;
    if (double(m_xStart) + double(m_xSpan) > double(m_xMax))
        m_xMax = float(double(m_xStart) + double(m_xSpan));
}

void CChartWnd::HoldViewUpdates(BOOL hold)
{
    m_viewUpdatesHeld = hold;
    if (!hold && m_viewUpdateMissed) {
        m_viewUpdateMissed = FALSE;
        UpdateScrollBar();
    }
}

void CChartWnd::UpdateScrollBar()
{
    if (m_viewUpdatesHeld) {
        m_viewUpdateMissed = TRUE;
        return;
    }
    const double extent = double(m_xMax) - double(m_xMin);
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    info.nMin = 0;
    const double range = ScrollRange();
    info.nMax = int(range);
    info.nPos = TruncateToInt((double(m_xStart) - double(m_xMin)) * range / extent);
    info.nPage = UINT(std::max(0, TruncateToInt(double(m_xSpan) * range / extent)));
    SetScrollInfo(SB_HORZ, &info, TRUE);
    NotifyParent();
}

std::optional<QString> CChartWnd::OnToolTipNeeded(CPoint point)
{
    if (!m_toolTipSource)
        return std::nullopt;
    return m_toolTipSource(double(m_xStart) + (point.x + 0.5) * double(m_xSpan) / std::max(1, ClientWidth()));
}

void CChartWnd::NotifyParent()
{
    if (m_viewUpdatesHeld) {
        m_viewUpdateMissed = TRUE;  // UpdateScrollBar tells the parent at the end
        return;
    }
    if (m_onViewChanged)
        m_onViewChanged();
    if (!m_notifyParent || !IsWindow())
        return;
    CWnd* parent = GetParent();
    if (!parent)
        return;
    parent->PostMessage(WM_CHART_XVIEW, WPARAM(TruncateToInt(m_xStart)),
                        LPARAM(TruncateToInt(double(m_xStart) + double(m_xSpan))));
    parent->PostMessage(WM_CHART_YRANGE, WPARAM(TruncateToInt(m_yMin)), LPARAM(TruncateToInt(m_yMax)));
}
