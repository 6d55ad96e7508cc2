// The chart a capture is drawn on, as the dialog shows it: its lines, their
// looks, the levels the decoder draws edges at, and the analysis's marks.
// The dialog and dentora-cli's picture set it up alike, so that both draw
// the same pixels.
#pragma once

#include "analysis/trigger_analysis.h"
#include "platform/wintypes.h"

class CChartWnd;

namespace dentora {

// Distinct from the traces (blue, yellow, green), the grid and the background.
inline constexpr COLORREF kAnomalyMarkColor = RGB(255, 0, 255);

// On a chart just created: the crank, cam and spare lines, solid and 2
// pixels wide, and the crank and cam levels (0.5 and 0.4).
void SetUpTraceChart(CChartWnd& chart);

// A mark over the traces at each anomaly of the report.
void MarkAnomalies(CChartWnd& chart, const TriggerReport& report);

}  // namespace dentora
