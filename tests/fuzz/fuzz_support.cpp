#include "fuzz_support.h"

#include "platform/wnd_testing.h"

#include <QApplication>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt's own event dispatcher wakes its loop once for a run of posted
    // events; the GLib one writes to an eventfd for every event the chart
    // posts, a system call per point.
    setenv("QT_NO_GLIB", "1", 1);
    // Lives for the whole process, as the fuzzer runs inputs until it ends.
    new QApplication(*argc, *argv);
    return 0;
}

CWnd& FuzzHostWindow()
{
    static QWidget* widget = [] {
        auto* host = new QWidget;
        host->resize(800, 300);
        return host;
    }();
    static CWnd host;
    if (!host.IsWindow())
        host.Attach(widget, nullptr, 0);
    return host;
}

void Require(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "Invariant broken: %s\n", what);
    std::abort();
}

void RequireFinitePoints(const CChartWnd& chart, std::initializer_list<UINT> lineIds)
{
    for (const UINT id : lineIds) {
        const auto* points = chart.LinePoints(id);
        if (!points)
            continue;
        for (const auto& point : *points)
            Require(std::isfinite(point.first) && std::isfinite(point.second), "a chart point is not finite");
    }
}

namespace {

bool StartsInside(const CChartWnd& chart)
{
    return chart.XMin() <= chart.XStart();
}

bool EndsInside(const CChartWnd& chart)
{
    // In the chart's own single precision, as it stores and compares them.
    const bool oneWindowWide = chart.XMax() - chart.XMin() >= chart.XSpan();
    return !oneWindowWide || chart.XStart() + chart.XSpan() <= chart.XMax();
}

}  // namespace

bool ViewInsideExtent(const CChartWnd& chart)
{
    return StartsInside(chart) && EndsInside(chart);
}

void RequireViewInsideExtent(const CChartWnd& chart)
{
    if (ViewInsideExtent(chart))
        return;
    std::fprintf(stderr, "extent %.9g .. %.9g, window %.9g + %.9g\n", double(chart.XMin()), double(chart.XMax()),
                 double(chart.XStart()), double(chart.XSpan()));
    Require(StartsInside(chart), "the window starts left of the extent");
    Require(EndsInside(chart), "the window ends right of the extent");
}

void DeliverPostedEvents()
{
    QApplication::sendPostedEvents();
}

void PaintChart(CChartWnd& chart)
{
    ClientWidget(chart)->grab();
}
