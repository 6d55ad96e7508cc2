#include "chart/chart_wnd.h"

#include "platform/dc.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const COLORREF kGridColor = RGB(0, 128, 0);
// A mark: a small triangle hanging from the top edge on a stem that points
// at its x (the painter's lines include both ends).
constexpr int kMarkHalfWidth = 5;
constexpr int kMarkHeight = 12;

void DrawHorizontalGrid(CDC& dc, int width, int height, unsigned int divisions)
{
    const int step = height / int(divisions);
    // Lower than the number of rows: no step to take, so no rows to draw.
    if (step <= 0)
        return;
    for (int row = step; row < height; row += step) {
        dc.MoveTo(0, row);
        dc.LineTo(width, row);
    }
}

void DrawMarker(CDC& dc, CPoint centre, long long radius)
{
    // A point far outside the window maps to the end of int's range; its
    // marker's box is held there rather than overflowing past it.
    const auto edge = [](long long value) {
        return int(std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    dc.Ellipse(edge(centre.x - radius), edge(centre.y - radius), edge(centre.x + radius), edge(centre.y + radius));
}

}  // namespace

CPoint CChartWnd::DataToClient(float x, float y) const
{
    RECT client;
    GetClientRect(&client);
    const double width = client.right;
    const double height = client.bottom;
    const int column = TruncateToInt(width * (double(x) - double(m_xStart)) / double(m_xSpan));
    // A range of zero height has no scale: everything lies on row H.
    int offset = 0;
    if (m_yMax != m_yMin)
        offset =
            TruncateToInt(height * (0.95 * (double(y) - double(m_yMin)) / (double(m_yMax) - double(m_yMin)) + 0.025));
    return CPoint{column, client.bottom - offset};
}

void CChartWnd::DrawMarks(CDC& dc) const
{
    CPen pen;
    pen.CreatePen(PS_SOLID, 1, m_markColor);
    CPen* oldPen = dc.SelectObject(&pen);
    const auto first = std::lower_bound(m_marks.begin(), m_marks.end(), m_xStart);
    const auto last = std::upper_bound(first, m_marks.end(), float(double(m_xStart) + double(m_xSpan)));
    for (auto it = first; it != last; ++it) {
        const int column = DataToClient(*it, 0.0f).x;
        for (int row = 0; row <= kMarkHalfWidth; ++row) {
            dc.MoveTo(column - (kMarkHalfWidth - row), row);
            dc.LineTo(column + (kMarkHalfWidth - row), row);
        }
        dc.MoveTo(column, 0);
        dc.LineTo(column, kMarkHeight - 1);
    }
    dc.SelectObject(oldPen);
}

void CChartWnd::OnPaint()
{
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);

    // Everything is composed off screen and reaches the window in one copy.
    CDC memDC;
    CBitmap bitmap;
    if (!memDC.CreateCompatibleDC(&dc) || !bitmap.CreateCompatibleBitmap(&dc, client.right, client.bottom))
        return;  // nowhere to draw: no client area
    CBitmap* oldBitmap = memDC.SelectObject(&bitmap);
    DrawBackground(memDC, client);
    if (m_gridOn)
        DrawGrid(memDC, client.right, client.bottom);
    DrawTraces(memDC);
    if (m_marksShown && !m_marks.empty())
        DrawMarks(memDC);
    dc.BitBlt(0, 0, client.right, client.bottom, &memDC, 0, 0, SRCCOPY);
    memDC.SelectObject(oldBitmap);
}

void CChartWnd::DrawBackground(CDC& dc, const RECT& client) const
{
    dc.SetBkMode(OPAQUE);
    dc.SetBkColor(m_backColor);
    dc.SetViewportOrg(0, 0);
    CBrush backBrush;
    backBrush.CreateSolidBrush(m_backColor);
    dc.FillRect(&client, &backBrush);
}

void CChartWnd::DrawGrid(CDC& dc, int width, int height) const
{
    CPen gridPen;
    gridPen.CreatePen(PS_SOLID, 1, kGridColor);
    CPen* oldPen = dc.SelectObject(&gridPen);
    if (m_yGridDivisions > 0)
        DrawHorizontalGrid(dc, width, height, m_yGridDivisions);
    if (m_xGridDivisions > 0)
        DrawVerticalGrid(dc, height);
    dc.SelectObject(oldPen);
}

// Columns at whole x positions about a step apart, counted from the multiple
// of the span at or below the window's start, so that they move with the
// data as it scrolls.
void CChartWnd::DrawVerticalGrid(CDC& dc, int height) const
{
    const double step = double(m_xSpan) / m_xGridDivisions;
    const double right = double(m_xStart) + double(m_xSpan);
    int position = TruncateToInt((step - std::fmod(double(m_xStart), double(m_xSpan))) + double(m_xStart));
    while (position < right) {
        const int column = DataToClient(float(position), 0.0f).x;
        dc.MoveTo(column, 0);
        dc.LineTo(column, height);
        // A step below one x unit would leave the whole-number
        // position where it is: move on by at least one unit.
        const int next = std::max(TruncateToInt(position + step), TruncateToInt(position + 1.0));
        if (next == position)
            break;  // held at the end of int's range
        position = next;
    }
}

void CChartWnd::DrawTraces(CDC& dc) const
{
    for (const auto& entry : m_lines) {
        const ChartLine& line = entry.second;
        if (!line.points.empty() && line.visible)
            DrawTrace(dc, line);
    }
}

void CChartWnd::DrawTrace(CDC& dc, const ChartLine& line) const
{
    CPen pen;
    pen.CreatePen(line.penStyle, line.width, line.color);
    CBrush brush;
    brush.CreateSolidBrush(line.color);
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* oldBrush = dc.SelectObject(&brush);
    const long long markerRadius = (long long)line.width + 2;

    // One point beyond each edge, so the line enters and leaves the window.
    auto it = line.points.lower_bound(m_xStart);
    if (it != line.points.begin())
        --it;
    CPoint previous = DataToClient(it->first, it->second);
    dc.MoveTo(previous);
    ++it;
    const float right = float(double(m_xStart) + double(m_xSpan));
    const auto beyondWindow = line.points.upper_bound(right);
    while (it != beyondWindow && it != line.points.end()) {
        const CPoint next = DataToClient(it->first, it->second);
        dc.LineTo(next);
        if (line.markers)
            DrawMarker(dc, previous, markerRadius);
        previous = next;
        ++it;
    }
    if (line.markers)
        DrawMarker(dc, previous, markerRadius);
    if (it != line.points.end()) {
        const CPoint trailing = DataToClient(it->first, it->second);
        dc.LineTo(trailing);
        if (line.markers)
            DrawMarker(dc, trailing, markerRadius);
    }

    dc.SelectObject(oldPen);
    dc.SelectObject(oldBrush);
}
