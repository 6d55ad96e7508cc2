#include "trigger_report_window.h"

#include "analysis/trigger_text.h"
#include "trigger_view.h"

#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace dentora {
namespace {

const char kWindowName[] = "triggerReport";

}  // namespace

TriggerReportWindow::TriggerReportWindow(TriggerView& view, QWidget* parent) : QDialog(parent), m_view(&view)
{
    setObjectName(QLatin1String(kWindowName));
    setWindowTitle(QStringLiteral("Trigger Report"));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_summary = new QLabel(this);
    m_summary->setFont(fixed);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setWordWrap(true);
    m_anomalyHeading = new QLabel(this);
    m_anomalies = new QListWidget(this);
    m_anomalies->setFont(fixed);
    m_anomalies->setWordWrap(true);
    m_anomalies->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_anomalies->setToolTip(QStringLiteral("Choose an anomaly to scroll the chart to it"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_anomalyHeading);
    layout->addWidget(m_anomalies, 1);
    connect(m_anomalies, &QListWidget::currentRowChanged, this, [this](int row) { OnAnomalyChosen(row); });
    connect(m_anomalies, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { OnAnomalyChosen(m_anomalies->row(item)); });
    view.SetOnReportChanged([this] { Refresh(); });
    connect(this, &QObject::destroyed, [guarded = m_view] {
        if (guarded)
            guarded->SetOnReportChanged({});
    });
    resize(900, 420);
    Refresh();
}

void TriggerReportWindow::Refresh()
{
    m_anomalies->clear();
    if (!m_view || !m_view->Report()) {
        m_summary->setText(QStringLiteral("No capture has ended yet: run a test, and the report follows its end."));
        m_anomalyHeading->setText(QString());
        return;
    }
    const auto& report = m_view->Report();
    m_summary->setText(QString::fromStdString(FormatTriggerSummary(*report)).trimmed());
    m_anomalyHeading->setText(
        report->anomalies.empty()
            ? QStringLiteral("Anomalies: none")
            : QStringLiteral("Anomalies: %1 (choose one to scroll the chart to it)").arg(report->anomalies.size()));
    for (const Anomaly& anomaly : report->anomalies)
        m_anomalies->addItem(QString::fromStdString(FormatAnomaly(anomaly)));
}

void TriggerReportWindow::OnAnomalyChosen(int row)
{
    if (!m_view || !m_view->Report())
        return;
    const auto& anomalies = m_view->Report()->anomalies;
    if (row >= 0 && std::size_t(row) < anomalies.size())
        m_view->ScrollTo(anomalies[std::size_t(row)]);
}

TriggerReportWindow* ShowTriggerReport(TriggerView& view, QWidget* parent)
{
    auto* window = parent->findChild<TriggerReportWindow*>(QLatin1String(kWindowName), Qt::FindDirectChildrenOnly);
    if (!window)
        window = new TriggerReportWindow(view, parent);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace dentora
