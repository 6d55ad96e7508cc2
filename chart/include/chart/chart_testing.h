// Test hooks: the chart's private state, for tests that set up a picture or
// a scroll position directly and read each line's settings. Product code
// never includes this header.
#pragma once

#include "chart/chart_wnd.h"

#include <cstddef>

struct ChartWndInspector {
    static float& XStart(CChartWnd& chart) { return chart.m_xStart; }
    static float& XMin(CChartWnd& chart) { return chart.m_xMin; }
    static float& XMax(CChartWnd& chart) { return chart.m_xMax; }
    static float& YMin(CChartWnd& chart) { return chart.m_yMin; }
    static float& YMax(CChartWnd& chart) { return chart.m_yMax; }
    static unsigned int& XGridDivisions(CChartWnd& chart) { return chart.m_xGridDivisions; }
    static unsigned int& YGridDivisions(CChartWnd& chart) { return chart.m_yGridDivisions; }
    static void UpdateScrollBar(CChartWnd& chart) { chart.UpdateScrollBar(); }

    static int Width(const CChartWnd& chart, UINT id) { return chart.m_lines.at(id).width; }
    static int PenStyle(const CChartWnd& chart, UINT id) { return chart.m_lines.at(id).penStyle; }
    static BOOL Visible(const CChartWnd& chart, UINT id) { return chart.m_lines.at(id).visible; }
    static std::size_t LineCount(const CChartWnd& chart) { return chart.m_lines.size(); }
};
