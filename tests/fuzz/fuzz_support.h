// What both fuzzers share: a Qt application made once, a parent window for
// charts, and the chart's invariants, checked by aborting so that libFuzzer
// keeps the input that broke them.
#pragma once

#include "chart/chart_wnd.h"

#include <initializer_list>

// A window that is never shown, to create charts on.
CWnd& FuzzHostWindow();

// Aborts, naming what broke, when holds is false.
void Require(bool holds, const char* what);

// Every point of the given lines has finite coordinates.
void RequireFinitePoints(const CChartWnd& chart, std::initializer_list<UINT> lineIds);

// The window lies inside the extent whenever the extent is a window wide.
bool ViewInsideExtent(const CChartWnd& chart);
void RequireViewInsideExtent(const CChartWnd& chart);

// Delivers what the input left posted (the chart's messages to its parent,
// deferred deletions), so that nothing piles up from input to input.
void DeliverPostedEvents();

// Paints the chart as its window would, into an image.
void PaintChart(CChartWnd& chart);
