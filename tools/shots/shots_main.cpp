// dentora-shots: pictures of the real Dentora window, taken the way a user
// would get there: the port typed into the box, "Run Test" clicked, the
// capture awaited, then the scroll bar's thumb dragged back to the start,
// then the chart right-clicked for its context menu.
// Run it on a display (Xvfb will do); scripts/screenshot does.
#include "analyzer_dlg.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "res/resource.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
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
const char kUsage[] = "Usage: dentora-shots --port DEVICE --out DIRECTORY\n";

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

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QString port;
    QString outDirectory;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
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
    dialog.CreateModeless();
    QWidget* window = dialog.GetSafeWidget();
    if (!QTest::qWaitForWindowExposed(window)) {
        std::fputs("dentora-shots: the window did not appear\n", stderr);
        return 1;
    }

    auto* runButton = qobject_cast<QPushButton*>(dialog.GetDlgItem(IDC_RUN_TEST)->GetSafeWidget());
    QTest::mouseClick(runButton, Qt::LeftButton);
    const bool ended = QTest::qWaitFor([] { return g_nTestState == kIdle; }, kCaptureTimeoutMs);
    const QString status = g_pStatus->GetWindowText();
    if (!ended || CurrentCaptureLog().outcome != dentora::TestOutcome::kFinished) {
        std::fprintf(stderr, "dentora-shots: the capture did not finish (status \"%s\")\n", qPrintable(status));
        return 1;
    }
    QTest::qWait(300);
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
