#include "trigger_view.h"

#include "analysis/trigger_text.h"
#include "capture/capture_files.h"
#include "chart/chart_wnd.h"
#include "formats/waveform_export.h"

#include <QHelpEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace dentora {

TriggerView::TriggerView(CChartWnd& chart) : m_chart(chart) {}

void TriggerView::Attach()
{
    if (QWidget* client = m_chart.clientWidget())
        client->installEventFilter(this);
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
    Analyze();
}

void TriggerView::SetTickMicros(std::optional<double> micros)
{
    m_tickMicros = micros;
    // One tick length for the run: the exports' time axis follows it too.
    SetExportTickNanoseconds(micros ? std::uint64_t(std::llround(*micros * 1000.0)) : kDefaultTickNanoseconds);
    if (m_report)
        Analyze();
}

void TriggerView::Analyze()
{
    m_report = AnalyzeTrigger(m_records, {m_tickMicros});
    std::vector<float> marks;
    for (const Anomaly& anomaly : m_report->anomalies)
        marks.push_back(float(anomaly.at.chartX));
    m_chart.SetMarks(std::move(marks), kAnomalyMarkColor);
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
    QScrollBar* bar = m_chart.horizontalScrollBar();
    const double extent = double(m_chart.XMax()) - double(m_chart.XMin());
    if (!bar || !(extent > 0.0))
        return;
    // The bar runs from 0 to 1000 over the whole extent.
    const double start = anomaly.at.chartX - double(m_chart.XSpan()) / 2.0;
    const double position = std::round((start - double(m_chart.XMin())) * 1000.0 / extent);
    bar->setSliderPosition(int(std::clamp(position, double(bar->minimum()), double(bar->maximum()))));
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

bool TriggerView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ToolTip || watched != m_chart.clientWidget())
        return QObject::eventFilter(watched, event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QWidget* client = m_chart.clientWidget();
    // The middle of the pixel column under the pointer, in chart x.
    const double chartX = double(m_chart.XStart()) +
                          (help->pos().x() + 0.5) * double(m_chart.XSpan()) / std::max(1, client->width());
    const QString text = HoverText(chartX);
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, m_chart.clientWidget());
    return true;
}

}  // namespace dentora
