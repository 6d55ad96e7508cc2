// Zoom: the view's width in x units changes, the scrolling, the following
// of new points and the extent stay as they are.
#include "chart/chart_wnd.h"

#include <algorithm>
#include <cmath>

double RoundStepAtLeast(double value)
{
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (const double mantissa : {1.0, 2.0, 5.0}) {
        if (mantissa * power >= value)
            return mantissa * power;
    }
    return 10.0 * power;
}

int CChartWnd::ScrollRange() const
{
    // 1000 positions at the chart's own scale; zoomed in, enough for the
    // thumb to move by less than a view.
    constexpr double kMostPositions = 1e6;
    if (m_xSpan >= kUsualSpan)
        return 1000;
    return int(std::min(kMostPositions, 1000.0 * std::ceil(double(kUsualSpan) / double(m_xSpan))));
}

void CChartWnd::PlaceView(double start)
{
    // As the scroll bar does: the right end first, so that the left end
    // wins when both bite; a view wider than the extent widens it.
    if (double(m_xMax) - double(m_xSpan) < start)
        start = double(m_xMax) - double(m_xSpan);
    if (start < double(m_xMin))
        start = double(m_xMin);
    m_xStart = float(start);
    ClampView();
    Invalidate(TRUE);
    UpdateScrollBar();
}

void CChartWnd::ZoomBy(double factor, double anchorX)
{
    if (!(factor > 0.0) || !std::isfinite(anchorX))
        return;
    const double mostSpan = std::max(double(kUsualSpan), double(m_xMax) - double(m_xMin));
    const double span = std::clamp(double(m_xSpan) / factor, kLeastSpan, mostSpan);
    const double anchorFraction = (anchorX - double(m_xStart)) / double(m_xSpan);
    m_xSpan = float(span);
    PlaceView(anchorX - anchorFraction * span);
}

// The view's centre; but while the newest point is in view (the chart
// follows it), that point, so that zooming keeps it in view and the
// following goes on.
double CChartWnd::ZoomAnchor() const
{
    const double right = double(m_xStart) + double(m_xSpan);
    std::optional<double> newest;
    for (const auto& entry : m_lines) {
        if (!entry.second.points.empty())
            newest = std::max(newest.value_or(entry.second.points.rbegin()->first),
                              double(entry.second.points.rbegin()->first));
    }
    if (newest && *newest >= double(m_xStart) && *newest <= right)
        return *newest;
    return double(m_xStart) + double(m_xSpan) / 2.0;
}

void CChartWnd::ZoomAroundCentre(double factor)
{
    ZoomBy(factor, ZoomAnchor());
}

void CChartWnd::ZoomToUsual()
{
    ZoomBy(double(m_xSpan) / double(kUsualSpan), ZoomAnchor());
    m_xSpan = kUsualSpan;  // exactly, whatever the division left
    PlaceView(m_xStart);
}

void CChartWnd::ZoomToRange(double left, double right)
{
    if (right < left)
        std::swap(left, right);
    if (!std::isfinite(left) || !std::isfinite(right))
        return;
    const double centre = (left + right) / 2.0;
    const double mostSpan = std::max(double(kUsualSpan), double(m_xMax) - double(m_xMin));
    m_xSpan = float(std::clamp(right - left, kLeastSpan, mostSpan));
    PlaceView(centre - double(m_xSpan) / 2.0);
}

void CChartWnd::ZoomToWhole()
{
    bool any = false;
    double first = 0.0;
    double last = 0.0;
    for (const auto& entry : m_lines) {
        const ChartLine& line = entry.second;
        if (!line.visible || line.points.empty())
            continue;
        const double lineFirst = line.points.begin()->first;
        const double lineLast = line.points.rbegin()->first;
        first = any ? std::min(first, lineFirst) : lineFirst;
        last = any ? std::max(last, lineLast) : lineLast;
        any = true;
    }
    if (any)
        ZoomToRange(first, last);
}

void CChartWnd::ShowX(double x)
{
    if (!std::isfinite(x))
        return;
    if (x >= double(m_xStart) && x <= double(m_xStart) + double(m_xSpan))
        return;
    PlaceView(x - double(m_xSpan) / 2.0);
}

BOOL CChartWnd::OnMouseWheel(UINT flags, short delta, CPoint point)
{
    if ((flags & MK_CONTROL) == 0 || delta == 0)
        return FALSE;
    // A notch zooms by a quarter; a touchpad's fractions of one by as much less.
    constexpr double kFactorPerNotch = 1.25;
    ZoomBy(std::pow(kFactorPerNotch, delta / 120.0), ClientToData(point.x));
    return TRUE;
}
