#include "trigger_report_window.h"

#include "analysis/trigger_text.h"
#include "chart/chart_wnd.h"
#include "trigger_view.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <vector>

namespace dentora {
namespace {

const char kWindowName[] = "triggerReport";
// The size it opens at where the screen has room: anomaly lines unwrapped.
const QSize kDesignedSize(900, 420);

// The part of the available area on one side of edge (a screen rectangle).
enum class Side { kRightOf, kLeftOf, kBelow, kAbove };
QRect Beyond(const QRect& available, const QRect& edge, Side side)
{
    QRect part = available;
    switch (side) {
    case Side::kRightOf: part.setLeft(edge.right() + 1); break;
    case Side::kLeftOf: part.setRight(edge.left() - 1); break;
    case Side::kBelow: part.setTop(edge.bottom() + 1); break;
    case Side::kAbove: part.setBottom(edge.top() - 1); break;
    }
    return part;
}

// A frame of at most wanted in part, as near to anchor (the dialog's
// top-left) as part allows, touching the side it was cut off at.
QRect PlaceIn(const QRect& part, Side side, const QSize& wanted, const QPoint& anchor)
{
    const QSize size = wanted.boundedTo(part.size());
    QPoint at(std::clamp(anchor.x(), part.left(), part.right() - size.width() + 1),
              std::clamp(anchor.y(), part.top(), part.bottom() - size.height() + 1));
    if (side == Side::kRightOf)
        at.setX(part.left());
    else if (side == Side::kLeftOf)
        at.setX(part.right() - size.width() + 1);
    else if (side == Side::kBelow)
        at.setY(part.top());
    else
        at.setY(part.bottom() - size.height() + 1);
    return QRect(at, size);
}

struct Room {
    QRect part;
    Side side;
};

// Beside the dialog where the report fits at its least; otherwise in the
// roomiest part of the screen the chart leaves free, so that an anomaly
// chosen in the report can be seen on the chart.
QRect ReportFrame(const QRect& available, const QRect& dialog, const QRect& chart, const QSize& wanted,
                  const QSize& least)
{
    const auto area = [](const QSize& size) { return qint64(size.width()) * size.height(); };
    const auto best = [&](const std::vector<Room>& rooms, bool mustFit) -> std::optional<QRect> {
        std::optional<QRect> chosen;
        for (const Room& room : rooms) {
            const QRect part = room.part & available;
            const bool fits = part.width() >= least.width() && part.height() >= least.height();
            if (part.isEmpty() || (mustFit && !fits))
                continue;
            const QRect frame = PlaceIn(part, room.side, wanted, dialog.topLeft());
            if (!chosen || area(frame.size()) > area(chosen->size()))
                chosen = frame;
        }
        return chosen;
    };
    const Side sides[] = {Side::kRightOf, Side::kLeftOf, Side::kBelow, Side::kAbove};
    const auto around = [&](const QRect& edge, int count) {
        std::vector<Room> rooms;
        for (int i = 0; i < count; ++i)
            rooms.push_back({Beyond(available, edge, sides[i]), sides[i]});
        return rooms;
    };
    const std::vector<Room> besideDialog = around(dialog, 2);
    const std::vector<Room> besideChart = around(chart, 4);
    if (auto frame = best(besideDialog, true))
        return *frame;
    if (auto frame = best(besideChart, true))
        return *frame;
    // No free part holds it: the roomiest, at the least size it is usable at.
    const QRect roomiest = best(besideChart, false).value_or(QRect(available.topLeft(), least));
    QRect frame(roomiest.topLeft(), roomiest.size().expandedTo(least));
    frame.moveLeft(std::min(frame.left(), available.right() - frame.width() + 1));
    frame.moveTop(std::min(frame.top(), available.bottom() - frame.height() + 1));
    return frame;
}

// Places the report for a dialog that shows chart (a screen rectangle).
void PlaceBeside(QWidget& report, const QWidget& dialog, const QRect& chart)
{
    const QScreen* screen = dialog.screen();
    if (!screen)
        return;
    // The report's own frame is not known before it is first shown; the
    // dialog's is the same kind of window's.
    const QMargins frame(dialog.geometry().left() - dialog.frameGeometry().left(),
                         dialog.geometry().top() - dialog.frameGeometry().top(),
                         dialog.frameGeometry().right() - dialog.geometry().right(),
                         dialog.frameGeometry().bottom() - dialog.geometry().bottom());
    const QSize margins(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QFontMetrics metrics(report.font());
    const QSize least =
        QSize(metrics.averageCharWidth() * 50, metrics.height() * 16).expandedTo(report.minimumSizeHint()) + margins;
    const QRect placed =
        ReportFrame(screen->availableGeometry(), dialog.frameGeometry(), chart, kDesignedSize + margins, least);
    report.resize(placed.size() - margins);
    report.move(placed.topLeft());
}

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
    resize(kDesignedSize);
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
    // Where the user put it stays as long as it is open.
    if (!window->isVisible()) {
        RECT chart;
        view.Chart().GetWindowRect(&chart);
        PlaceBeside(*window, *parent, QRect(QPoint(chart.left, chart.top), QPoint(chart.right - 1, chart.bottom - 1)));
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace dentora
