// The cursors, the stepping keys and the mouse: what a user measures with.
#include "chart/chart_wnd.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// How near a cursor's column a press takes hold of it; how far a
// Shift-drag must go to be a stretch rather than a slip.
constexpr int kCursorGrabPixels = 3;
constexpr int kLeastZoomBandPixels = 3;

}  // namespace

void CChartWnd::SetCursor(int index, std::optional<double> x)
{
    if (index < 0 || index > 1 || (x && !std::isfinite(*x)))
        return;
    m_cursors[std::size_t(index)] = x;
    if (x)
        m_activeCursor = index;
    Invalidate(TRUE);
}

void CChartWnd::HideCursors()
{
    m_cursors = {};
    m_draggedCursor.reset();
    Invalidate(TRUE);
}

void CChartWnd::SetCursorReadoutSource(CursorReadout source)
{
    m_readoutSource = std::move(source);
    Invalidate(TRUE);
}

void CChartWnd::PlaceCursorAt(int index, CPoint point)
{
    SetCursor(index, ClientToData(point.x));
}

std::optional<int> CChartWnd::CursorNear(CPoint point) const
{
    for (int index = 0; index < 2; ++index) {
        const std::optional<double>& x = m_cursors[std::size_t(index)];
        if (x && std::abs(DataToClient(float(*x), 0.0f).x - point.x) <= kCursorGrabPixels)
            return index;
    }
    return std::nullopt;
}

void CChartWnd::OnLButtonDown(UINT flags, CPoint point)
{
    m_pointer = point;
    if (flags & MK_SHIFT) {
        m_zoomBandStart = point.x;
        m_zoomBandEnd = point.x;
        return;
    }
    m_draggedCursor = CursorNear(point);
    if (m_draggedCursor)
        m_activeCursor = *m_draggedCursor;
}

void CChartWnd::OnMouseMove(UINT, CPoint point)
{
    m_pointer = point;
    if (m_draggedCursor) {
        PlaceCursorAt(*m_draggedCursor, point);
    } else if (m_zoomBandStart) {
        m_zoomBandEnd = point.x;
        Invalidate(TRUE);
    }
}

void CChartWnd::OnLButtonUp(UINT, CPoint point)
{
    m_draggedCursor.reset();
    if (!m_zoomBandStart)
        return;
    const int from = std::min(*m_zoomBandStart, point.x);
    const int to = std::max(*m_zoomBandStart, point.x);
    m_zoomBandStart.reset();
    m_zoomBandEnd.reset();
    if (to - from >= kLeastZoomBandPixels)
        ZoomToRange(ClientToData(from), ClientToData(to));
    else
        Invalidate(TRUE);
}

bool CChartWnd::StepToMark(int direction)
{
    if (m_marks.empty())
        return false;
    // From the mark stepped to last while it is in view, else from the
    // view's centre; the ends of the extent may keep a mark off centre.
    const double right = double(m_xStart) + double(m_xSpan);
    double from = double(m_xStart) + double(m_xSpan) / 2.0;
    if (m_steppedMark && *m_steppedMark >= m_xStart && double(*m_steppedMark) <= right)
        from = *m_steppedMark;
    std::vector<float>::const_iterator target;
    if (direction > 0) {
        target = std::upper_bound(m_marks.begin(), m_marks.end(), float(from));
        if (target == m_marks.end())
            return false;
    } else {
        target = std::lower_bound(m_marks.begin(), m_marks.end(), float(from));
        if (target == m_marks.begin())
            return false;
        --target;
    }
    m_steppedMark = *target;
    PlaceView(double(*target) - double(m_xSpan) / 2.0);
    return true;
}

const CChartWnd::ChartLine* CChartWnd::VisibleEdgeLine() const
{
    const ChartLine* line = FindLine(m_edgeLine);
    return line && line->visible && line->points.size() >= 2 ? line : nullptr;
}

bool CChartWnd::StepToEdge(int direction)
{
    const ChartLine* line = VisibleEdgeLine();
    if (!line)
        return false;
    const std::map<float, float>& points = line->points;
    const std::optional<double>& active = m_cursors[std::size_t(m_activeCursor)];
    const float from = float(active ? *active : double(m_xStart) + double(m_xSpan) / 2.0);
    // An edge is a change of level: the point at its time holds the old
    // level, the next one the new.
    std::optional<float> edge;
    if (direction > 0) {
        for (auto it = points.upper_bound(from); it != points.end() && std::next(it) != points.end(); ++it) {
            if (std::next(it)->second != it->second) {
                edge = it->first;
                break;
            }
        }
    } else {
        for (auto it = points.lower_bound(from); it != points.begin();) {
            --it;
            if (std::next(it) != points.end() && std::next(it)->second != it->second) {
                edge = it->first;
                break;
            }
        }
    }
    if (!edge)
        return false;
    SetCursor(m_activeCursor, double(*edge));
    ShowX(double(*edge));
    return true;
}

void CChartWnd::SetTimeScale(double unitsPerTick, std::optional<double> microsPerTick)
{
    m_unitsPerTick =
        unitsPerTick > 0.0 && std::isfinite(unitsPerTick) ? std::optional<double>(unitsPerTick) : std::nullopt;
    m_microsPerTick = microsPerTick;
    if (m_rulerShown)
        Invalidate(TRUE);
}

void CChartWnd::ShowTimeRuler(BOOL show)
{
    m_rulerShown = show;
    Invalidate(TRUE);
}

void CChartWnd::SetExpectedTrace(std::vector<std::pair<float, float>> points, COLORREF color)
{
    m_expected = std::move(points);
    m_expectedColor = color;
    Invalidate(TRUE);
}

void CChartWnd::ShowExpectedTrace(BOOL show)
{
    m_expectedShown = show;
    Invalidate(TRUE);
}
