#include "capture/trace_chart.h"

#include "capture/decoder.h"
#include "chart/chart_wnd.h"

namespace dentora {

void SetUpTraceChart(CChartWnd& chart)
{
    chart.AddLine(kCrankLine, RGB(0, 100, 255), 0, 1, TRUE, 10);
    chart.AddLine(kCamLine, RGB(255, 255, 0), 0, 1, TRUE, 10);
    chart.AddLine(kSpareLine, RGB(0, 255, 0), 0, 1, TRUE, 10);
    const UINT lineIds[] = {kCrankLine, kCamLine, kSpareLine};
    for (UINT id : lineIds)
        chart.SetLineVisible(id, TRUE, TRUE);
    for (UINT id : lineIds)
        chart.SetLinePenStyle(id, PS_SOLID, TRUE);
    for (UINT id : lineIds)
        chart.SetLineWidth(id, 2, TRUE);
    g_fCrankHigh = 0.5f;
    g_fCamHigh = 0.4f;
}

void MarkAnomalies(CChartWnd& chart, const TriggerReport& report)
{
    std::vector<float> marks;
    for (const Anomaly& anomaly : report.anomalies)
        marks.push_back(float(anomaly.at.chartX));
    chart.SetMarks(std::move(marks), kAnomalyMarkColor);
}

}  // namespace dentora
