#include "trigger_view.h"

#include "analysis/trigger_text.h"
#include "capture/capture_files.h"
#include "chart/chart_wnd.h"
#include "formats/waveform_export.h"

#include <algorithm>
#include <cmath>

namespace dentora {

TriggerView::TriggerView(CChartWnd& chart) : m_chart(chart) {}

TriggerView::~TriggerView()
{
    m_chart.SetToolTipSource({});
}

void TriggerView::Attach()
{
    m_chart.SetToolTipSource([this](double chartX) { return HoverText(chartX); });
}

void TriggerView::FollowCapture(const CaptureLog& log)
{
    if (log.outcome == TestOutcome::kRunning) {
        if (!m_report)
            return;
        m_report.reset();
        m_records.clear();
        m_chart.SetMarks({}, kAnomalyMarkColor);
        if (m_onReportChanged)
            m_onReportChanged();
        return;
    }
    if (m_report)
        return;
    m_records = log.records;
    m_fallingEdgesReal = log.fallingEdgesReal;
    // A capture file's own tick length, as it was set when it was saved.
    if (log.tickNanoseconds) {
        m_tickMicros = double(*log.tickNanoseconds) / 1000.0;
        SetExportTickNanoseconds(*log.tickNanoseconds);
    }
    Analyze();
}

void TriggerView::SetTickMicros(std::optional<double> micros)
{
    m_tickMicros = micros;
    // One tick length for the run: the exports' time axis follows it too.
    if (micros)
        SetExportTickNanoseconds(std::uint64_t(std::llround(*micros * 1000.0)));
    else
        ForgetTickNanoseconds();
    if (m_report)
        Analyze();
}

void TriggerView::Analyze()
{
    m_report = AnalyzeTrigger(m_records, {m_tickMicros, m_fallingEdgesReal});
    MarkAnomalies(m_chart, *m_report);
    if (m_onReportChanged)
        m_onReportChanged();
}

void TriggerView::SetMarksShown(bool shown)
{
    m_chart.ShowMarks(shown ? TRUE : FALSE);
}

bool TriggerView::MarksShown() const
{
    return m_chart.MarksShown() != FALSE;
}

void TriggerView::ScrollTo(const Anomaly& anomaly)
{
    const double extent = double(m_chart.XMax()) - double(m_chart.XMin());
    if (!(extent > 0.0))
        return;
    // The bar runs from 0 to 1000 over the whole extent.
    const double start = anomaly.at.chartX - double(m_chart.XSpan()) / 2.0;
    const double position = std::round((start - double(m_chart.XMin())) * 1000.0 / extent);
    m_chart.PlaceScrollThumb(int(std::clamp(position, 0.0, 1000.0)));
}

QString TriggerView::HoverText(double chartX) const
{
    if (!m_report)
        return {};
    const CrankTooth* tooth = ToothAt(*m_report, chartX);
    if (!tooth)
        return {};
    QString text = QString::fromStdString(FormatTooth(*m_report, *tooth));
    for (const Anomaly& anomaly : m_report->anomalies) {
        if (anomaly.at.chartX >= tooth->rise.chartX && anomaly.at.chartX < tooth->nextRise.chartX)
            text += QStringLiteral("\n") + QString::fromUtf8(AnomalyKindName(anomaly.kind)) + QStringLiteral(": ") +
                QString::fromStdString(anomaly.reason);
    }
    return text;
}

}  // namespace dentora
