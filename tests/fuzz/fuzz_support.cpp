#include "fuzz_support.h"

#include <QApplication>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
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

void RequireViewInsideExtent(const CChartWnd& chart)
{
    Require(chart.XMin() <= chart.XStart(), "the window starts left of the extent");
    // In the chart's own single precision, as it stores and compares them.
    if (chart.XMax() - chart.XMin() >= chart.XSpan())
        Require(chart.XStart() + chart.XSpan() <= chart.XMax(), "the window ends right of the extent");
}

void DeliverPostedEvents()
{
    QApplication::sendPostedEvents();
}

void PaintChart(CChartWnd& chart)
{
    chart.clientWidget()->grab();
}
