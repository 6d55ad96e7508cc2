// dentora-shots: pictures of the real Dentora window, taken the way a user
// would get there: the port typed into the box, "Run Test" clicked, the
// capture awaited, then the scroll bar's thumb dragged back to the start,
// then the chart right-clicked for its context menu.
// With --report, instead: the trigger report beside the dialog, its first
// anomaly chosen so the chart shows its mark, and the tooltip of the tooth
// next to it. Run it on a display (Xvfb will do); scripts/screenshot does.
#include "analyzer_dlg.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "res/resource.h"
#include "trigger_report_window.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QHelpEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWindow>

#include <cstdio>

namespace {

constexpr int kCaptureTimeoutMs = 5 * 60 * 1000;
const char kUsage[] = "Usage: dentora-shots --port DEVICE --out DIRECTORY [--report]\n";

bool Save(QWidget* window, const QString& path)
{
    // What the display shows, where there is one; the widget's own
    // rendering on a headless platform.
    QPixmap picture;
    if (QScreen* screen = window->screen())
        picture = screen->grabWindow(window->winId());
    if (picture.isNull())
        picture = window->grab();
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "dentora-shots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

QRect ThumbRect(QScrollBar* bar)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
}

void DragThumbToTheStart(QScrollBar* bar)
{
    const QPoint grip = ThumbRect(bar).center();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, grip);
    for (int x = grip.x(); x > 0; x -= 8) {
        QTest::mouseMove(bar, QPoint(x, grip.y()));
        QTest::qWait(15);
    }
    QTest::mouseMove(bar, QPoint(0, grip.y()));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(0, grip.y()));
}

// The report window beside the dialog, its first anomaly chosen, and the
// tooltip of the tooth just right of that anomaly's mark: one picture of
// the screen around both windows.
bool SaveReport(CAnalyzerDlg& dialog, const QString& path)
{
    QWidget* window = dialog.GetSafeWidget();
    // Both side by side from the screen's left edge, so that both fit on it.
    window->move(0, 0);
    auto* report = dentora::ShowTriggerReport(dialog.Trigger(), window);
    report->move(window->frameGeometry().topRight() + QPoint(8, 0));
    if (!QTest::qWaitForWindowExposed(report) || report->anomalies()->count() == 0) {
        std::fputs("dentora-shots: no report window with an anomaly to picture\n", stderr);
        return false;
    }
    report->anomalies()->setCurrentRow(0);
    QTest::qWait(300);
    const auto& anomaly = dialog.Trigger().Report()->anomalies.front();
    QWidget* client = g_chart.clientWidget();
    const int column = int(client->width() * (anomaly.at.chartX - g_chart.XStart()) / g_chart.XSpan());
    const QPoint pointer(column + 40, client->height() / 2);
    QHelpEvent help(QEvent::ToolTip, pointer, client->mapToGlobal(pointer));
    QApplication::sendEvent(client, &help);
    QTest::qWait(500);
    const QRect both = window->frameGeometry().united(report->frameGeometry()).adjusted(-4, -4, 4, 4);
    const QPixmap picture = window->screen()->grabWindow(0, both.x(), both.y(), both.width(), both.height());
    if (picture.isNull() || !picture.save(path, "PNG")) {
        std::fprintf(stderr, "dentora-shots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QString port;
    QString outDirectory;
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const bool reportMode = arguments.removeAll(QStringLiteral("--report")) > 0;
    for (int i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--port"))
            port = arguments[i + 1];
        else if (arguments[i] == QLatin1String("--out"))
            outDirectory = arguments[i + 1];
    }
    if (port.isEmpty() || outDirectory.isEmpty() || arguments.size() != 4) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QDir().mkpath(outDirectory);

    CAnalyzerDlg dialog;
    dialog.SetInitialPortText(port);
    if (reportMode)
        dialog.Trigger().SetTickMicros(4.0);  // dentora-sim's tick, as --tick-us 4 would set it
    dialog.CreateModeless();
    QWidget* window = dialog.GetSafeWidget();
    if (!QTest::qWaitForWindowExposed(window)) {
        std::fputs("dentora-shots: the window did not appear\n", stderr);
        return 1;
    }

    auto* runButton = qobject_cast<QPushButton*>(dialog.GetDlgItem(IDC_RUN_TEST)->GetSafeWidget());
    QTest::mouseClick(runButton, Qt::LeftButton);
    const bool ended = QTest::qWaitFor([] { return g_nTestState == kIdle; }, kCaptureTimeoutMs);
    if (!ended || CurrentCaptureLog().outcome != dentora::TestOutcome::kFinished) {
        const QString how = ended ? TestEndingText(CurrentCaptureLog()) : QStringLiteral("it was still running");
        std::fprintf(stderr, "dentora-shots: the capture did not finish: %s\n", qPrintable(how));
        return 1;
    }
    QTest::qWait(300);
    if (reportMode)
        return SaveReport(dialog, QDir(outDirectory).filePath(QStringLiteral("report.png"))) ? 0 : 1;
    if (!Save(window, QDir(outDirectory).filePath(QStringLiteral("capture.png"))))
        return 1;

    DragThumbToTheStart(g_chart.horizontalScrollBar());
    QTest::qWait(300);
    if (g_chart.XStart() != g_chart.XMin()) {
        std::fprintf(stderr, "dentora-shots: the drag left the chart at x %g\n", double(g_chart.XStart()));
        return 1;
    }
    if (!Save(window, QDir(outDirectory).filePath(QStringLiteral("scrolled.png"))))
        return 1;

    // The chart's context menu, as a right click asks for it; the menu is a
    // window of its own, so the picture is of the whole screen.
    QWidget* chart = g_chart.clientWidget();
    const QPoint at = chart->rect().center();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, chart->mapToGlobal(at));
    QCoreApplication::sendEvent(chart, &rightClick);
    QTest::qWait(300);
    const QPixmap screen = window->screen()->grabWindow(0);
    const QString menuPath = QDir(outDirectory).filePath(QStringLiteral("menu.png"));
    if (screen.isNull() || !screen.save(menuPath, "PNG")) {
        std::fprintf(stderr, "dentora-shots: cannot write %s\n", qPrintable(menuPath));
        return 1;
    }
    std::printf("%s\n", qPrintable(menuPath));
    return 0;
}
