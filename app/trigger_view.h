// The trigger analysis in the dialog: it runs once a capture has ended,
// marks the anomalies on the chart, answers the chart's tooltip with the
// tooth under the pointer, and scrolls the chart to an anomaly.
#pragma once

#include "analysis/trigger_analysis.h"
#include "capture/capture_log.h"
#include "capture/trace_chart.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class CChartWnd;

namespace dentora {

class TriggerView : public QObject {
public:
    explicit TriggerView(CChartWnd& chart);
    ~TriggerView() override;

    // The chart's tooltips come from here (HoverText) until this goes.
    void Attach();

    // After each step of the test run: analyses the capture once it has
    // ended; forgets the last one when a new capture starts.
    void FollowCapture(const CaptureLog& log);

    // The last ended capture's report; empty while none.
    const std::optional<TriggerReport>& Report() const { return m_report; }

    // µs per tick for this run (nothing is saved); empty: unknown. The
    // ended capture is analysed again with it.
    void SetTickMicros(std::optional<double> micros);
    std::optional<double> TickMicros() const { return m_tickMicros; }

    void SetMarksShown(bool shown);
    bool MarksShown() const;

    // The chart the report is about: a window over it would hide what
    // choosing an anomaly scrolls to.
    const CChartWnd& Chart() const { return m_chart; }

    // Moves the chart's window to centre on the anomaly, through its scroll
    // bar as a drag of the thumb would.
    void ScrollTo(const Anomaly& anomaly);

    // The tooltip for chart x: the tooth there and any anomaly in its
    // period; empty where there is no tooth or no report.
    QString HoverText(double chartX) const;

    // Called whenever the report changes (a capture ended, a new one
    // started, the tick length changed).
    void SetOnReportChanged(std::function<void()> callback) { m_onReportChanged = std::move(callback); }

private:
    void Analyze();

    CChartWnd& m_chart;
    std::vector<TriggerRecord> m_records;
    std::optional<TriggerReport> m_report;
    std::optional<double> m_tickMicros;
    bool m_fallingEdgesReal = true;  // false: the capture's falling edges are made up
    std::function<void()> m_onReportChanged;
};

}  // namespace dentora
