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

// Where several points share a column, up to this many are drawn one by
// one: too few for a search to pay.
constexpr std::size_t kPointsDrawnOneByOne = 4;

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

int CChartWnd::ClientWidth() const
{
    RECT client;
    GetClientRect(&client);
    return client.right;
}

double CChartWnd::ClientToData(int column) const
{
    // The middle of the column, as the tooltip takes it.
    return double(m_xStart) + (column + 0.5) * double(m_xSpan) / std::max(1, ClientWidth());
}

CPoint CChartWnd::DataToClient(float x, float y) const
{
    RECT client;
    GetClientRect(&client);
    const double width = client.right;
    // The ruler, when shown, takes a band off the top of the traces' room.
    const double height = client.bottom - RulerHeight();
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
    if (m_expectedShown && !m_expected.empty())
        DrawExpectedTrace(memDC);
    DrawTraces(memDC);
    if (m_rulerShown)
        DrawRuler(memDC, client.right);
    if (m_marksShown && !m_marks.empty())
        DrawMarks(memDC);
    DrawCursors(memDC, client.right, client.bottom);
    if (m_zoomBandStart && m_zoomBandEnd)
        DrawZoomBand(memDC, client.bottom);
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

// At the chart's own scale: columns at whole x positions about a step
// apart, counted from the multiple of the span at or below the window's
// start, so that they move with the data as it scrolls. Zoomed: at the
// multiples of a round step, about as far apart.
void CChartWnd::DrawVerticalGrid(CDC& dc, int height) const
{
    const double right = double(m_xStart) + double(m_xSpan);
    const auto drawColumn = [&](double x) {
        const int column = DataToClient(float(x), 0.0f).x;
        dc.MoveTo(column, 0);
        dc.LineTo(column, height);
    };
    if (m_xSpan != kUsualSpan) {
        const double step = GridStep();
        for (double k = std::ceil(double(m_xStart) / step); k * step < right; k += 1.0)
            drawColumn(k * step);
        return;
    }
    const double step = double(m_xSpan) / m_xGridDivisions;
    int position = TruncateToInt((step - std::fmod(double(m_xStart), double(m_xSpan))) + double(m_xStart));
    while (position < right) {
        drawColumn(position);
        // A step below one x unit would leave the whole-number
        // position where it is: move on by at least one unit.
        const int next = std::max(TruncateToInt(position + step), TruncateToInt(position + 1.0));
        if (next == position)
            break;  // held at the end of int's range
        position = next;
    }
}

double CChartWnd::GridStep() const
{
    const double plain = double(m_xSpan) / std::max(1u, m_xGridDivisions);
    return m_xSpan == kUsualSpan ? plain : RoundStepAtLeast(plain);
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
    if (line.markers)
        DrawEveryPoint(dc, line);
    else
        DrawByColumn(dc, line);
    dc.SelectObject(oldPen);
    dc.SelectObject(oldBrush);
}

// A marker at every point: each point of the window and one beyond each edge.
void CChartWnd::DrawEveryPoint(CDC& dc, const ChartLine& line) const
{
    const long long markerRadius = (long long)line.width + 2;
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
        DrawMarker(dc, previous, markerRadius);
        previous = next;
        ++it;
    }
    DrawMarker(dc, previous, markerRadius);
    if (it != line.points.end()) {
        const CPoint trailing = DataToClient(it->first, it->second);
        dc.LineTo(trailing);
        DrawMarker(dc, trailing, markerRadius);
    }
}

// The points of the window and one beyond each edge, joined in order. The
// points of one pixel column all lie on its vertical line, so however many
// there are, the path through them covers the same pixels as one stroke
// from their lowest to their highest: that stroke is drawn instead, which
// keeps a paint's cost to the columns, not the points.
void CChartWnd::DrawByColumn(CDC& dc, const ChartLine& line) const
{
    TraceIndex& index = line.index;
    if (index.Stale())
        index.Rebuild(line.points);
    std::size_t first = index.LowerBound(m_xStart);
    if (first > 0)
        --first;
    const std::size_t end = std::min(index.UpperBound(float(double(m_xStart) + double(m_xSpan))) + 1, index.Size());
    const auto pointAt = [&](std::size_t i) { return DataToClient(index.X(i), index.Y(i)); };
    dc.MoveTo(pointAt(first));
    for (std::size_t i = first + 1; i < end;) {
        const CPoint point = pointAt(i);
        const std::size_t next = ColumnEnd(index, i, point.x, end);
        if (next - i <= kPointsDrawnOneByOne) {
            for (; i < next; ++i)
                dc.LineTo(pointAt(i));
            continue;
        }
        dc.LineTo(point);
        const auto [low, high] = index.YRange(i, next);
        dc.MoveTo(point.x, DataToClient(0.0f, low).y);
        dc.LineTo(point.x, DataToClient(0.0f, high).y);
        dc.MoveTo(pointAt(next - 1));
        i = next;
    }
}

// The first point after i (up to end) outside i's pixel column.
std::size_t CChartWnd::ColumnEnd(const TraceIndex& index, std::size_t i, int column, std::size_t end) const
{
    const auto columnOf = [&](std::size_t k) { return DataToClient(index.X(k), 0.0f).x; };
    for (std::size_t k = i + 1; k <= i + kPointsDrawnOneByOne; ++k) {
        if (k >= end || columnOf(k) != column)
            return std::min(k, end);
    }
    const double columnRight = double(m_xStart) + (column + 1.0) * double(m_xSpan) / std::max(1, ClientWidth());
    std::size_t next = std::clamp(index.LowerBound(float(columnRight), i + 1), i + 1, end);
    // The search's float boundary may be a point off the truncated column.
    while (next < end && columnOf(next) == column)
        ++next;
    while (next > i + 1 && columnOf(next - 1) != column)
        --next;
    return next;
}
