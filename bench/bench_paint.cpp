// What one paint of the chart costs as the capture grows, against a painter
// that walks every point of every line, and at other zooms. The chart shows the end of the
// capture, as it does during a test run: client 700 x 220, the crank and
// cam traces as square waves.
#include "capture/decoder.h"
#include "chart/chart_wnd.h"
#include "platform/dc.h"
#include "platform/wnd_testing.h"

#include <QCoreApplication>
#include <QImage>
#include <QScrollBar>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kClientWidth = 700;
constexpr int kClientHeight = 220;
constexpr int kLineWidth = 2;
constexpr COLORREF kCrankColor = RGB(0, 100, 255);
constexpr COLORREF kCamColor = RGB(255, 255, 0);
constexpr COLORREF kGridColor = RGB(0, 128, 0);
constexpr int kGridRows = 10;
constexpr int kGridColumns = 20;

// The baseline: paints what the chart paints, the same way, but walks every
// point of every line instead of only those around the window.
class FullWalkChart : public CWnd {
public:
    explicit FullWalkChart(const CChartWnd& model) : m_model(model) {}

protected:
    void OnPaint() override
    {
        CPaintDC dc(this);
        RECT client;
        GetClientRect(&client);
        CDC memDC;
        CBitmap bitmap;
        if (!memDC.CreateCompatibleDC(&dc) || !bitmap.CreateCompatibleBitmap(&dc, client.right, client.bottom))
            return;
        CBitmap* oldBitmap = memDC.SelectObject(&bitmap);
        memDC.SetBkMode(OPAQUE);
        memDC.SetBkColor(m_model.GetBackColor());
        CBrush background;
        background.CreateSolidBrush(m_model.GetBackColor());
        memDC.FillRect(&client, &background);
        DrawGrid(memDC, client);
        for (const UINT id : {kCrankLine, kCamLine})
            DrawWholeLine(memDC, client, id);
        dc.BitBlt(0, 0, client.right, client.bottom, &memDC, 0, 0, SRCCOPY);
        memDC.SelectObject(oldBitmap);
    }

private:
    CPoint ToClient(const RECT& client, float x, float y) const
    {
        const double column = client.right * (double(x) - m_model.XStart()) / m_model.XSpan();
        const double yRange = double(m_model.YMax()) - m_model.YMin();
        const double offset = client.bottom * (0.95 * (double(y) - m_model.YMin()) / yRange + 0.025);
        return CPoint{TruncateToInt(column), client.bottom - TruncateToInt(offset)};
    }

    void DrawGrid(CDC& dc, const RECT& client) const
    {
        CPen pen;
        pen.CreatePen(PS_SOLID, 1, kGridColor);
        CPen* oldPen = dc.SelectObject(&pen);
        for (int row = client.bottom / kGridRows; row < client.bottom; row += client.bottom / kGridRows) {
            dc.MoveTo(0, row);
            dc.LineTo(client.right, row);
        }
        const double step = double(m_model.XSpan()) / kGridColumns;
        for (double x = std::ceil(m_model.XStart() / step) * step; x < m_model.XStart() + m_model.XSpan(); x += step) {
            const int column = ToClient(client, float(x), 0.0f).x;
            dc.MoveTo(column, 0);
            dc.LineTo(column, client.bottom);
        }
        dc.SelectObject(oldPen);
    }

    void DrawWholeLine(CDC& dc, const RECT& client, UINT id) const
    {
        const std::map<float, float>& points = *m_model.LinePoints(id);
        if (points.empty())
            return;
        CPen pen;
        pen.CreatePen(PS_SOLID, kLineWidth, m_model.GetLineColor(id));
        CPen* oldPen = dc.SelectObject(&pen);
        dc.MoveTo(ToClient(client, points.begin()->first, points.begin()->second));
        for (const auto& point : points)
            dc.LineTo(ToClient(client, point.first, point.second));
        dc.SelectObject(oldPen);
    }

    const CChartWnd& m_model;
};

// A chart window with the dialog's traces holding a capture of a given
// length, the window at its end, and the baseline painter beside it.
class PaintedCapture {
public:
    explicit PaintedCapture(int pointsPerLine) : m_baseline(m_chart)
    {
        m_hostWnd.Attach(&m_host, nullptr, 0);
        const int barHeight = QScrollBar(Qt::Horizontal).sizeHint().height();
        const RECT frame{0, 0, kClientWidth, kClientHeight + barHeight};
        m_chart.Create(WS_VISIBLE, frame, &m_hostWnd, 1000);
        m_baseline.Create(WS_VISIBLE | WS_HSCROLL, frame, &m_hostWnd, 1001);
        m_host.resize(kClientWidth, kClientHeight + barHeight);
        m_host.show();
        for (const CWnd* window : {static_cast<CWnd*>(&m_chart), static_cast<CWnd*>(&m_baseline)}) {
            RECT client;
            window->GetClientRect(&client);
            if (client.right != kClientWidth || client.bottom != kClientHeight)
                throw std::runtime_error("a painted client area is not 700 x 220");
        }

        m_chart.AddLine(kCrankLine, kCrankColor, 0, kLineWidth, TRUE, 10);
        m_chart.AddLine(kCamLine, kCamColor, 0, kLineWidth, TRUE, 10);
        // An edge every 5 x units on each trace, two points per edge, as the
        // decoder draws them: about 400 points of each line in view.
        for (int edge = 0; edge < pointsPerLine / 2; ++edge) {
            const float x = 0.01f + 5.0f * float(edge);
            const bool high = edge % 2 == 0;
            m_chart.AddPoint(kCrankLine, x, high ? 0.0f : 0.5f, FALSE);
            m_chart.AddPoint(kCrankLine, x + 0.01f, high ? 0.5f : 0.0f, FALSE);
            m_chart.AddPoint(kCamLine, x + 2.5f, high ? 0.0f : 0.4f, FALSE);
            m_chart.AddPoint(kCamLine, x + 2.51f, high ? 0.4f : 0.0f, FALSE);
        }
    }

    void PaintChart() { ClientWidget(m_chart)->render(&m_image); }
    CChartWnd& Chart() { return m_chart; }
    void PaintBaseline() { ClientWidget(m_baseline)->render(&m_image); }

private:
    QWidget m_host;
    CWnd m_hostWnd;
    CChartWnd m_chart;
    FullWalkChart m_baseline;
    QImage m_image{kClientWidth, kClientHeight, QImage::Format_RGB32};
};

// Captures take long to fill: each is made once and kept for the run, until
// the application goes (their windows cannot outlive it).
std::map<int, std::unique_ptr<PaintedCapture>> g_captures;

PaintedCapture& CaptureOf(int pointsPerLine)
{
    if (g_captures.empty())
        qAddPostRoutine([] { g_captures.clear(); });
    auto& capture = g_captures[pointsPerLine];
    if (!capture)
        capture = std::make_unique<PaintedCapture>(pointsPerLine);
    return *capture;
}

void BM_ChartPaint(benchmark::State& state)
{
    PaintedCapture& capture = CaptureOf(int(state.range(0)));
    for (auto _ : state)
        capture.PaintChart();
}
BENCHMARK(BM_ChartPaint)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMicrosecond);

void BM_FullWalkPaint(benchmark::State& state)
{
    PaintedCapture& capture = CaptureOf(int(state.range(0)));
    for (auto _ : state)
        capture.PaintBaseline();
}
BENCHMARK(BM_FullWalkPaint)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMicrosecond);

// The median time of one paint over rounds of `paints` paints.
template <typename Paint>
double MedianPaintSeconds(int rounds, int paints, Paint paint)
{
    std::vector<double> perPaint;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < paints; ++i)
            paint();
        perPaint.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / paints);
    }
    std::nth_element(perPaint.begin(), perPaint.begin() + rounds / 2, perPaint.end());
    return perPaint[std::size_t(rounds / 2)];
}

// The two figures that matter, measured side by side in one run: how much
// longer a paint takes at a million points than at a thousand, and how
// much faster it is than the full walk at a million.
void BM_PaintGrowthAndSpeedUp(benchmark::State& state)
{
    PaintedCapture& small = CaptureOf(1000);
    PaintedCapture& large = CaptureOf(1000000);
    double smallSeconds = 0.0;
    double largeSeconds = 0.0;
    double fullWalkSeconds = 0.0;
    for (auto _ : state) {
        smallSeconds = MedianPaintSeconds(15, 20, [&] { small.PaintChart(); });
        largeSeconds = MedianPaintSeconds(15, 20, [&] { large.PaintChart(); });
        fullWalkSeconds = MedianPaintSeconds(3, 1, [&] { large.PaintBaseline(); });
    }
    state.counters["paint_1e3_us"] = smallSeconds * 1e6;
    state.counters["paint_1e6_us"] = largeSeconds * 1e6;
    state.counters["ratio_1e6_to_1e3"] = largeSeconds / smallSeconds;
    state.counters["speedup_vs_full_walk_1e6"] = fullWalkSeconds / largeSeconds;
}
BENCHMARK(BM_PaintGrowthAndSpeedUp)->Iterations(1)->Unit(benchmark::kMillisecond);

// A million edges (10^6 points on each of the two traces) at other zooms:
// 0 the whole capture in view (about 1,400 edges to a pixel column), 1 a
// view ten times the usual, 2 one a tenth of it, 3 the usual at the
// capture's middle. The view goes back to the capture's end afterwards.
void BM_MillionEdgesZoomedPaint(benchmark::State& state)
{
    PaintedCapture& capture = CaptureOf(1000000);
    CChartWnd& chart = capture.Chart();
    const double end = chart.XStart() + chart.XSpan();
    const double middle = (chart.XMin() + end) / 2.0;
    switch (state.range(0)) {
    case 0: chart.ZoomToWhole(); break;
    case 1: chart.ZoomToRange(middle, middle + 10.0 * CChartWnd::kUsualSpan); break;
    case 2: chart.ZoomToRange(middle, middle + CChartWnd::kUsualSpan / 10.0); break;
    default: chart.ZoomToRange(middle, middle + CChartWnd::kUsualSpan); break;
    }
    for (auto _ : state)
        capture.PaintChart();
    state.counters["span"] = chart.XSpan();
    chart.ZoomToRange(end - CChartWnd::kUsualSpan, end);
}
BENCHMARK(BM_MillionEdgesZoomedPaint)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

}  // namespace
