#include "tooth_time_view.h"

#include "chart/chart_wnd.h"
#include "trigger_view.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace dentora {
namespace {

const char kWindowName[] = "toothTimes";
const QColor kPlotBack(0, 0, 0);
const QColor kAxisInk(200, 200, 200);
const QColor kSpeedLine(240, 240, 240);
const QColor kChartViewFill(255, 255, 255, 48);
// Room for the period labels at the left, the speed labels at the right.
constexpr int kSideMargin = 64;
constexpr int kTopMargin = 8;
constexpr int kBottomMargin = 22;
constexpr double kHeadroom = 1.1;
constexpr double kLeastTeethShown = 8.0;
// A bar per tooth is split from its neighbour when it is this wide.
constexpr int kLeastSplitBar = 3;
// Values of each axis a plot is high.
constexpr int kAxisLabels = 4;

int Severity(ToothKind kind)
{
    return int(kind);  // declared from the least to the most severe
}

}  // namespace

std::vector<ToothKind> ClassifyTeeth(const TriggerReport& report)
{
    std::vector<ToothKind> kinds(report.teeth.size(), ToothKind::kNormal);
    for (std::size_t i = 0; i < report.teeth.size(); ++i) {
        if (report.teeth[i].span >= 2)
            kinds[i] = ToothKind::kGap;
    }
    for (const Anomaly& anomaly : report.anomalies) {
        const CrankTooth* tooth = ToothAt(report, anomaly.at.chartX);
        if (!tooth)
            continue;
        ToothKind& kind = kinds[std::size_t(tooth - report.teeth.data())];
        const ToothKind found = anomaly.kind == AnomalyKind::kGlitch ? ToothKind::kGlitch : ToothKind::kAnomaly;
        if (Severity(found) > Severity(kind))
            kind = found;
    }
    return kinds;
}

ToothTimePlot::ToothTimePlot(TriggerView& view, QWidget* parent) : QWidget(parent), m_view(&view)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 160);
    Reload();
}

const TriggerReport* ToothTimePlot::Report() const
{
    return m_view && m_view->Report() ? &*m_view->Report() : nullptr;
}

void ToothTimePlot::Reload()
{
    const TriggerReport* report = Report();
    m_kinds = report ? ClassifyTeeth(*report) : std::vector<ToothKind>{};
    ShowTeeth(0.0, double(m_kinds.size()));
}

void ToothTimePlot::ShowTeeth(double first, double count)
{
    const double teeth = double(m_kinds.size());
    m_count = std::clamp(count, std::min(kLeastTeethShown, teeth), teeth);
    m_first = std::clamp(first, 0.0, teeth - m_count);
    update();
    if (m_onShownChanged)
        m_onShownChanged();
}

QRect ToothTimePlot::PlotArea() const
{
    return rect().adjusted(kSideMargin, kTopMargin, -kSideMargin, -kBottomMargin);
}

QColor ToothTimePlot::KindColor(ToothKind kind)
{
    switch (kind) {
    case ToothKind::kGap: return QColor(0, 200, 200);
    case ToothKind::kGlitch: return QColor(255, 60, 60);
    case ToothKind::kAnomaly: return QColor(255, 0, 255);
    case ToothKind::kNormal: break;
    }
    return QColor(0, 100, 255);  // the crank trace's blue
}

ToothTimePlot::Column ToothTimePlot::ColumnTeeth(int x) const
{
    const QRect area = PlotArea();
    const double perPixel = m_count / std::max(1, area.width());
    const int first = int(std::floor(m_first + (x - area.left()) * perPixel));
    const int last = int(std::floor(m_first + (x + 1 - area.left()) * perPixel));
    const int teeth = int(m_kinds.size());
    return {std::clamp(first, 0, teeth), std::clamp(std::max(last, first + 1), 0, teeth)};
}

int ToothTimePlot::ToothAtColumn(int x) const
{
    const QRect area = PlotArea();
    if (x < area.left() || x > area.right() || m_kinds.empty())
        return -1;
    const Column column = ColumnTeeth(x);
    return column.firstTooth < column.lastTooth ? column.firstTooth : -1;
}

void ToothTimePlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kPlotBack);
    const TriggerReport* report = Report();
    const QRect area = PlotArea();
    if (!report || m_kinds.empty() || area.width() <= 0 || area.height() <= 0) {
        painter.setPen(kAxisInk);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No teeth: the plot follows the end of a capture."));
        return;
    }
    const int firstTooth = int(std::floor(m_first));
    const int lastTooth = std::min(int(m_kinds.size()), int(std::ceil(m_first + m_count)));
    std::uint64_t longest = 1;
    for (int i = firstTooth; i < lastTooth; ++i)
        longest = std::max(longest, report->teeth[std::size_t(i)].periodTicks);
    const double top = double(longest) * kHeadroom;
    DrawChartView(painter, area);
    DrawBars(painter, area, top);
    DrawSpeed(painter, area);
    DrawAxes(painter, area, top);
}

// A bar per tooth while they are wider than a pixel; else a bar per pixel
// column as high as its longest period, in the colour of its most severe
// tooth, so that 10^5 teeth still show every gap and glitch.
void ToothTimePlot::DrawBars(QPainter& painter, const QRect& area, double top) const
{
    const auto& teeth = Report()->teeth;
    const auto barTop = [&](std::uint64_t period) {
        return area.bottom() + 1 - int(std::lround(double(period) / top * area.height()));
    };
    const double pixelsPerTooth = area.width() / m_count;
    if (pixelsPerTooth >= 1.0) {
        for (int i = int(std::floor(m_first)); i < int(std::ceil(m_first + m_count)) && i < int(teeth.size()); ++i) {
            const int left = area.left() + int(std::floor((i - m_first) * pixelsPerTooth));
            const int right = area.left() + int(std::floor((i + 1 - m_first) * pixelsPerTooth));
            const int width = right - left - (right - left >= kLeastSplitBar ? 1 : 0);
            const int y = barTop(teeth[std::size_t(i)].periodTicks);
            const QRect bar = QRect(left, y, std::max(1, width), area.bottom() + 1 - y).intersected(area);
            painter.fillRect(bar, KindColor(m_kinds[std::size_t(i)]));
        }
        return;
    }
    for (int x = area.left(); x <= area.right(); ++x) {
        const Column column = ColumnTeeth(x);
        std::uint64_t longest = 0;
        ToothKind kind = ToothKind::kNormal;
        for (int i = column.firstTooth; i < column.lastTooth; ++i) {
            longest = std::max(longest, teeth[std::size_t(i)].periodTicks);
            if (Severity(m_kinds[std::size_t(i)]) > Severity(kind))
                kind = m_kinds[std::size_t(i)];
        }
        if (column.firstTooth < column.lastTooth)
            painter.fillRect(QRect(x, barTop(longest), 1, area.bottom() + 1 - barTop(longest)), KindColor(kind));
    }
}

// The instant speed of each tooth (or the mean of a column's), on its own
// scale at the right; nothing while speeds are unknown.
void ToothTimePlot::DrawSpeed(QPainter& painter, const QRect& area) const
{
    const auto& teeth = Report()->teeth;
    if (!Report()->speed.maxRpm)
        return;
    const double top = *Report()->speed.maxRpm * kHeadroom;
    const double pixelsPerTooth = area.width() / m_count;
    QPolygon line;
    const auto add = [&](int x, double rpm) {
        line << QPoint(x, area.bottom() - int(std::lround(rpm / top * area.height())));
    };
    for (int x = area.left(); x <= area.right(); x += std::max(1, int(pixelsPerTooth))) {
        const Column column = ColumnTeeth(x);
        double sum = 0.0;
        int count = 0;
        for (int i = column.firstTooth; i < column.lastTooth; ++i) {
            if (teeth[std::size_t(i)].rpm) {
                sum += *teeth[std::size_t(i)].rpm;
                ++count;
            }
        }
        if (count > 0)
            add(x + int(pixelsPerTooth / 2.0), sum / count);
    }
    painter.setPen(QPen(kSpeedLine, 1));
    painter.drawPolyline(line);
}

// The stretch of teeth the chart shows now.
void ToothTimePlot::DrawChartView(QPainter& painter, const QRect& area) const
{
    const auto& teeth = Report()->teeth;
    const CChartWnd& chart = m_view->Chart();
    const double left = chart.XStart();
    const double right = double(chart.XStart()) + double(chart.XSpan());
    const auto byRise = [](const CrankTooth& tooth, double x) { return tooth.rise.chartX < x; };
    const auto first = std::lower_bound(teeth.begin(), teeth.end(), left, byRise);
    const auto last = std::lower_bound(first, teeth.end(), right, byRise);
    // Fractions of a tooth where the view starts or ends inside a period.
    const auto toothPosition = [&](double x, std::vector<CrankTooth>::const_iterator at) {
        if (at == teeth.begin())
            return 0.0;
        const CrankTooth& before = *std::prev(at);
        const double fraction =
            std::clamp((x - before.rise.chartX) / (before.nextRise.chartX - before.rise.chartX), 0.0, 1.0);
        return double(std::prev(at) - teeth.begin()) + fraction;
    };
    const double pixelsPerTooth = area.width() / m_count;
    const int x0 = area.left() + int(std::floor((toothPosition(left, first) - m_first) * pixelsPerTooth));
    const int x1 = area.left() + int(std::ceil((toothPosition(right, last) - m_first) * pixelsPerTooth));
    const QRect band = QRect(QPoint(x0, area.top()), QPoint(std::max(x0, x1), area.bottom())).intersected(area);
    painter.fillRect(band, kChartViewFill);
}

void ToothTimePlot::DrawAxes(QPainter& painter, const QRect& area, double top) const
{
    const TriggerReport& report = *Report();
    painter.setPen(kAxisInk);
    painter.drawRect(area.adjusted(-1, -1, 0, 0));
    const bool inMicros = report.tickMicros.has_value();
    const double unit = inMicros ? *report.tickMicros : 1.0;
    const double step = RoundStepAtLeast(top * unit / kAxisLabels);
    const QFontMetrics metrics = painter.fontMetrics();
    for (double value = step; value < top * unit; value += step) {
        const int y = area.bottom() - int(std::lround(value / unit / top * area.height()));
        painter.drawLine(area.left() - 4, y, area.left() - 1, y);
        painter.drawText(QRect(0, y - metrics.height() / 2, kSideMargin - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(value));
    }
    painter.drawText(QRect(0, area.bottom() + 2, kSideMargin - 6, kBottomMargin), Qt::AlignRight | Qt::AlignTop,
                     inMicros ? QStringLiteral("\u00b5s") : QStringLiteral("ticks"));
    if (report.speed.maxRpm) {
        const double rpmTop = *report.speed.maxRpm * kHeadroom;
        const double rpmStep = RoundStepAtLeast(rpmTop / kAxisLabels);
        painter.setPen(kSpeedLine);
        for (double rpm = rpmStep; rpm < rpmTop; rpm += rpmStep) {
            const int y = area.bottom() - int(std::lround(rpm / rpmTop * area.height()));
            painter.drawText(QRect(area.right() + 6, y - metrics.height() / 2, kSideMargin - 6, metrics.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, QString::number(rpm));
        }
        painter.drawText(QRect(area.right() + 6, area.bottom() + 2, kSideMargin, kBottomMargin),
                         Qt::AlignLeft | Qt::AlignTop, QStringLiteral("rpm"));
    }
    painter.setPen(kAxisInk);
    painter.drawText(area.left(), area.bottom() + 2, area.width(), kBottomMargin, Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("teeth %1 to %2 of %3")
                         .arg(int(m_first) + 1)
                         .arg(int(std::ceil(m_first + m_count)))
                         .arg(m_kinds.size()));
}

void ToothTimePlot::mousePressEvent(QMouseEvent* event)
{
    const int tooth = ToothAtColumn(int(event->position().x()));
    if (event->button() != Qt::LeftButton || tooth < 0 || !Report()) {
        QWidget::mousePressEvent(event);
        return;
    }
    const CrankTooth& chosen = Report()->teeth[std::size_t(tooth)];
    m_view->ScrollToX((chosen.rise.chartX + chosen.nextRise.chartX) / 2.0);
    update();
}

void ToothTimePlot::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    const QRect area = PlotArea();
    if (event->modifiers() & Qt::ControlModifier) {
        const double fraction = std::clamp((event->position().x() - area.left()) / std::max(1, area.width()), 0.0, 1.0);
        const double anchor = m_first + fraction * m_count;
        const double count = m_count / std::pow(1.25, notches);
        ShowTeeth(anchor - fraction * count, count);
    } else {
        ShowTeeth(m_first - notches * m_count / 10.0, m_count);
    }
    event->accept();
}

void ToothTimePlot::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_0 || event->key() == Qt::Key_Home) {
        ShowTeeth(0.0, double(m_kinds.size()));
        return;
    }
    QWidget::keyPressEvent(event);
}

bool ToothTimePlot::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int tooth = ToothAtColumn(help->pos().x());
    if (tooth < 0 || !Report())
        return QWidget::event(event);  // the plot's own tooltip: how to use it
    const CrankTooth& chosen = Report()->teeth[std::size_t(tooth)];
    QString text = QStringLiteral("Tooth %1 (%2 of the capture): %3 ticks")
                       .arg(chosen.number > 0 ? QString::number(chosen.number) : QStringLiteral("?"))
                       .arg(tooth + 1)
                       .arg(chosen.periodTicks);
    if (Report()->tickMicros)
        text += QStringLiteral(" = %1 \u00b5s").arg(double(chosen.periodTicks) * *Report()->tickMicros, 0, 'f', 1);
    if (chosen.rpm)
        text += QStringLiteral(", %1 rpm").arg(*chosen.rpm, 0, 'f', 0);
    QToolTip::showText(help->globalPos(), text, this);
    return true;
}

ToothTimeWindow::ToothTimeWindow(TriggerView& view, QWidget* parent) : QDialog(parent)
{
    setObjectName(QLatin1String(kWindowName));
    setWindowTitle(QStringLiteral("Tooth Times"));
    m_plot = new ToothTimePlot(view, this);
    m_plot->setToolTip(QStringLiteral("Click a bar to scroll the chart there; Ctrl and the wheel zoom"));
    m_scrollBar = new QScrollBar(Qt::Horizontal, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_scrollBar);
    m_plot->SetOnShownChanged([this] { SyncScrollBar(); });
    connect(m_scrollBar, &QScrollBar::valueChanged, this,
            [this](int value) { m_plot->ShowTeeth(value / 100.0, m_plot->CountShown()); });
    view.AddReportListener(this, [this] { m_plot->Reload(); });
    view.Chart().SetOnViewChanged([plot = QPointer<ToothTimePlot>(m_plot)] {
        if (plot)
            plot->update();
    });
    connect(this, &QObject::destroyed, [&chart = view.Chart()] { chart.SetOnViewChanged({}); });
    resize(720, 300);
    SyncScrollBar();
}

// The bar counts hundredths of a tooth.
void ToothTimeWindow::SyncScrollBar()
{
    const QSignalBlocker blocker(m_scrollBar);
    const double shown = m_plot->CountShown();
    m_scrollBar->setRange(0, int(std::lround(100.0 * (double(m_plot->TeethCount()) - shown))));
    m_scrollBar->setPageStep(int(std::lround(100.0 * shown)));
    m_scrollBar->setValue(int(std::lround(100.0 * m_plot->FirstShown())));
}

ToothTimeWindow* ShowToothTimes(TriggerView& view, QWidget* parent)
{
    auto* window = parent->findChild<ToothTimeWindow*>(QLatin1String(kWindowName), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new ToothTimeWindow(view, parent);
        // Beside the dialog where the screen has room, else over its right.
        const QRect dialog = parent->window()->frameGeometry();
        const QRect screen = parent->screen() ? parent->screen()->availableGeometry() : QRect();
        const int x = std::min(dialog.right() + 1, std::max(screen.left(), screen.right() - window->width()));
        window->move(x, dialog.top());
    }
    window->show();
    window->raise();
    return window;
}

}  // namespace dentora
