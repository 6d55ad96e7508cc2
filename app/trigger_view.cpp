#include "trigger_view.h"

#include "analysis/trigger_text.h"
#include "capture/capture_files.h"
#include "capture/decoder.h"
#include "chart/chart_wnd.h"
#include "cursor_readout.h"
#include "formats/waveform_export.h"

#include <algorithm>
#include <cmath>

namespace dentora {

namespace {

// The wheel's expected crank edges as chart points, drawn as the decoder
// draws the crank: the old level at the edge's x, the new one a hair later.
// Where the wheel does not fix a tooth's falling edge, it falls after the
// capture's mean duty of a tooth's usual period (not of a gap's).
std::vector<std::pair<float, float>> ExpectedTrace(const TriggerReport& report)
{
    const std::vector<ExpectedCrankEdge>& edges = report.expectedCrankEdges;
    std::vector<double> spacings;
    for (std::size_t i = 1; i < edges.size(); ++i) {
        if (edges[i].rising && edges[i - 1].rising)
            spacings.push_back(edges[i].at.chartX - edges[i - 1].at.chartX);
    }
    double usual = 0.0;
    if (!spacings.empty()) {
        std::nth_element(spacings.begin(), spacings.begin() + std::ptrdiff_t(spacings.size() / 2), spacings.end());
        usual = spacings[spacings.size() / 2];
    }
    double dutySum = 0.0;
    int duties = 0;
    for (const CrankTooth& tooth : report.teeth) {
        if (tooth.duty) {
            dutySum += *tooth.duty;
            ++duties;
        }
    }
    const double duty = duties > 0 ? dutySum / duties : 0.5;

    constexpr float kEdgeWidth = 0.01f;
    std::vector<std::pair<float, float>> points;
    const auto addEdge = [&](double x, bool rising) {
        points.emplace_back(float(x), rising ? 0.0f : g_fCrankHigh);
        points.emplace_back(float(x) + kEdgeWidth, rising ? g_fCrankHigh : 0.0f);
    };
    for (std::size_t i = 0; i < edges.size(); ++i) {
        addEdge(edges[i].at.chartX, edges[i].rising);
        const bool fallFollows = i + 1 < edges.size() && !edges[i + 1].rising;
        if (edges[i].rising && !fallFollows && usual > 0.0) {
            const double next = i + 1 < edges.size() ? edges[i + 1].at.chartX - edges[i].at.chartX : usual;
            addEdge(edges[i].at.chartX + duty * std::min(next, usual), false);
        }
    }
    return points;
}

}  // namespace

TriggerView::TriggerView(CChartWnd& chart) : m_chart(chart) {}

TriggerView::~TriggerView()
{
    m_chart.SetToolTipSource({});
    m_chart.SetCursorReadoutSource({});
}

void TriggerView::Attach()
{
    m_chart.SetToolTipSource([this](double chartX) { return HoverText(chartX); });
    m_chart.SetCursorReadoutSource(
        [this](std::optional<double> first, std::optional<double> second) { return CursorReadoutText(first, second); });
    m_chart.SetEdgeLine(kCrankLine);
}

void TriggerView::FollowCapture(const CaptureLog& log)
{
    if (log.outcome == TestOutcome::kRunning) {
        // The ruler reads ticks from the calibration while the capture arrives.
        m_chart.SetTimeScale(g_dTimeScale, m_tickMicros);
        if (!m_report)
            return;
        m_report.reset();
        m_records.clear();
        m_chart.SetMarks({}, kAnomalyMarkColor);
        m_chart.SetExpectedTrace({}, kExpectedWheelColor);
        ReportChanged();
        return;
    }
    // An ended capture replaced by another (a file opened) is analysed anew.
    if (m_report && log.records == m_records)
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
    m_chart.SetTimeScale(m_report->chartUnitsPerTick, m_tickMicros);
    m_chart.SetExpectedTrace(ExpectedTrace(*m_report), kExpectedWheelColor);
    ReportChanged();
}

void TriggerView::ReportChanged()
{
    if (m_onReportChanged)
        m_onReportChanged();
    m_listeners.erase(std::remove_if(m_listeners.begin(), m_listeners.end(),
                                     [](const auto& listener) { return listener.first.isNull(); }),
                      m_listeners.end());
    for (const auto& listener : m_listeners)
        listener.second();
}

void TriggerView::AddReportListener(QObject* listener, std::function<void()> callback)
{
    m_listeners.emplace_back(listener, std::move(callback));
}

QString TriggerView::CursorReadoutText(std::optional<double> first, std::optional<double> second) const
{
    return QString::fromStdString(FormatCursorReadout(m_report ? &*m_report : nullptr, first, second));
}

void TriggerView::SetExpectedWheelShown(bool shown)
{
    m_chart.ShowExpectedTrace(shown ? TRUE : FALSE);
}

bool TriggerView::ExpectedWheelShown() const
{
    return m_chart.ExpectedTraceShown() != FALSE;
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
    ScrollToX(anomaly.at.chartX);
}

void TriggerView::ScrollToX(double chartX)
{
    const double extent = double(m_chart.XMax()) - double(m_chart.XMin());
    if (!(extent > 0.0))
        return;
    // The bar runs from 0 to its range over the whole extent.
    const double range = m_chart.ScrollRange();
    const double start = chartX - double(m_chart.XSpan()) / 2.0;
    const double position = std::round((start - double(m_chart.XMin())) * range / extent);
    m_chart.PlaceScrollThumb(int(std::clamp(position, 0.0, range)));
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
