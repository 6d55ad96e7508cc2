// The trigger analysis in the dialog: it runs once a capture has ended,
// marks the anomalies on the chart, answers the chart's tooltip with the
// tooth under the pointer and its cursor readout, gives it the time scale
// and the expected wheel, and scrolls the chart to an anomaly.
#pragma once

#include "analysis/trigger_analysis.h"
#include "capture/capture_log.h"
#include "capture/trace_chart.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class CChartWnd;

namespace dentora {

// Faint beside the crank's blue, wide enough to show round it.
inline constexpr unsigned long kExpectedWheelColor = 0x00505050;  // RGB(80, 80, 80)

class TriggerView : public QObject {
public:
    explicit TriggerView(CChartWnd& chart);
    ~TriggerView() override;

    // The chart's tooltips and cursor readout come from here (HoverText,
    // CursorReadoutText) until this goes; ] and [ step along the crank.
    void Attach();

    // The chart the report is about: the views that follow it, and the
    // windows that must not hide what choosing an anomaly scrolls to.
    CChartWnd& Chart() const { return m_chart; }

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

    // Moves the chart's window to centre on the anomaly, through its scroll
    // bar as a drag of the thumb would.
    void ScrollTo(const Anomaly& anomaly);
    void ScrollToX(double chartX);

    // The chart's readout for its cursors at chart x.
    QString CursorReadoutText(std::optional<double> first, std::optional<double> second) const;

    // The expected wheel's trace under the crank's (off by default).
    void SetExpectedWheelShown(bool shown);
    bool ExpectedWheelShown() const;

    // The tooltip for chart x: the tooth there and any anomaly in its
    // period; empty where there is no tooth or no report.
    QString HoverText(double chartX) const;

    // Called whenever the report changes (a capture ended, a new one
    // started, the tick length changed).
    void SetOnReportChanged(std::function<void()> callback) { m_onReportChanged = std::move(callback); }
    // Another such callback, for as long as listener lives.
    void AddReportListener(QObject* listener, std::function<void()> callback);

private:
    void Analyze();
    void ReportChanged();

    CChartWnd& m_chart;
    std::vector<TriggerRecord> m_records;
    std::optional<TriggerReport> m_report;
    std::optional<double> m_tickMicros;
    bool m_fallingEdgesReal = true;  // false: the capture's falling edges are made up
    std::function<void()> m_onReportChanged;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_listeners;
};

}  // namespace dentora
