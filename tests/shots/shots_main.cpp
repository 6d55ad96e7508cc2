// dentora-shots: pictures of the real Dentora window, taken the way a user
// would get there: the port typed into the box, "Run Test" clicked, the
// capture awaited, then the scroll bar's thumb dragged back to the start,
// then the chart right-clicked for its context menu, then the chart given
// the keyboard, Escape pressed over the unsaved capture, and the window
// made as small as it goes.
// With --report, instead: the trigger report beside the dialog, its first
// anomaly chosen so the chart shows its mark, and the tooltip of the tooth
// next to it. With --instrument: the whole capture in view, one tooth
// zoomed with both cursors on its edges and the time ruler, and the
// tooth-time window beside the dialog. With --open FILE, instead: FILE
// opened as "Open capture..." opens it (import.png: the import dialog, when
// the file leaves the crank and cam open; open.png: the window with the
// capture drawn). Run it on a display (Xvfb will do); scripts/screenshot does.
#include "analyzer_app.h"
#include "analyzer_dlg.h"
#include "capture/capture_files.h"
#include "capture/fetch_options.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "import_dialog.h"
#include "platform/wnd_testing.h"
#include "res/resource.h"
#include "tooth_time_view.h"
#include "trigger_report_window.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QHelpEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <optional>

namespace {

constexpr int kCaptureTimeoutMs = 5 * 60 * 1000;
const char kUsage[] =
    "Usage: dentora-shots --port DEVICE --out DIRECTORY [--report | --instrument]\n"
    "       dentora-shots --open FILE --out DIRECTORY\n";

bool WritePicture(const QPixmap& picture, const QString& path)
{
    if (picture.isNull() || !picture.save(path, "PNG")) {
        std::fprintf(stderr, "dentora-shots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool Save(QWidget* window, const QString& path)
{
    // What the display shows, where there is one; the widget's own
    // rendering on a headless platform.
    QPixmap picture;
    if (QScreen* screen = window->screen())
        picture = screen->grabWindow(window->winId());
    if (picture.isNull())
        picture = window->grab();
    return WritePicture(picture, path);
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
    // From the screen's left edge, the report opens where it opens for a user.
    window->move(0, 0);
    QTest::qWait(300);
    auto* report = dentora::ShowTriggerReport(dialog.Trigger(), window);
    if (!QTest::qWaitForWindowExposed(report) || report->anomalies()->count() == 0) {
        std::fputs("dentora-shots: no report window with an anomaly to picture\n", stderr);
        return false;
    }
    report->anomalies()->setCurrentRow(0);
    QTest::qWait(300);
    const auto& anomaly = dialog.Trigger().Report()->anomalies.front();
    QWidget* client = ClientWidget(g_chart);
    const int column = int(client->width() * (anomaly.at.chartX - g_chart.XStart()) / g_chart.XSpan());
    const QPoint pointer(column + 40, client->height() / 2);
    QHelpEvent help(QEvent::ToolTip, pointer, client->mapToGlobal(pointer));
    QApplication::sendEvent(client, &help);
    QTest::qWait(500);
    const QRect both = window->frameGeometry().united(report->frameGeometry()).adjusted(-4, -4, 4, 4);
    return WritePicture(window->screen()->grabWindow(0, both.x(), both.y(), both.width(), both.height()), path);
}

// The chart's context menu, as a right click asks for it; the menu is a
// window of its own, so the picture is of the whole screen.
bool SaveMenu(QWidget* window, const QString& path)
{
    QWidget* chart = ClientWidget(g_chart);
    const QPoint at = chart->rect().center();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, chart->mapToGlobal(at));
    QCoreApplication::sendEvent(chart, &rightClick);
    QTest::qWait(300);
    return WritePicture(window->screen()->grabWindow(0), path);
}

// The chart with the keyboard (its focus frame), the question Escape asks
// about the unsaved capture (the screen, for the box is a window of its
// own, answered No), and the window at the least size it takes.
bool SaveKeyboardAndClosing(CAnalyzerDlg& dialog, const QDir& out)
{
    QWidget* window = dialog.GetSafeWidget();
    if (QWidget* menu = QApplication::activePopupWidget())
        menu->close();
    window->activateWindow();
    QWidget* lastButton = dialog.GetDlgItem(IDC_CAM_COLOR)->GetSafeWidget();
    lastButton->setFocus();
    QTest::keyClick(lastButton, Qt::Key_Tab);
    QTest::qWait(300);
    if (!ClientWidget(g_chart)->hasFocus() || !Save(window, out.filePath(QStringLiteral("focus.png"))))
        return false;
    bool asked = false;
    QTimer::singleShot(700, window, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        asked = WritePicture(window->screen()->grabWindow(0), out.filePath(QStringLiteral("closing.png")));
        box->button(QMessageBox::No)->click();
    });
    QTest::keyClick(window, Qt::Key_Escape);
    if (!asked)
        return false;
    window->resize(1, 1);
    QTest::qWait(500);
    return Save(window, out.filePath(QStringLiteral("smallest.png")));
}

// The window after the capture, after the thumb was dragged back to the
// start, and with the chart's menu open.
bool SaveCaptureShots(CAnalyzerDlg& dialog, const QDir& out)
{
    QWidget* window = dialog.GetSafeWidget();
    if (!Save(window, out.filePath(QStringLiteral("capture.png"))))
        return false;
    DragThumbToTheStart(HorizontalScrollBar(g_chart));
    QTest::qWait(300);
    if (g_chart.XStart() != g_chart.XMin()) {
        std::fprintf(stderr, "dentora-shots: the drag left the chart at x %g\n", double(g_chart.XStart()));
        return false;
    }
    return Save(window, out.filePath(QStringLiteral("scrolled.png"))) &&
        SaveMenu(window, out.filePath(QStringLiteral("menu.png"))) && SaveKeyboardAndClosing(dialog, out);
}

// Keys as a user types them on the chart (it has the keyboard) or in the dialog.
void Type(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(widget, key, modifiers);
    QTest::qWait(50);
}

// The chart at the whole capture, then zoomed to a tooth with a cursor on
// each of its rising edges, the ruler and the expected wheel on, then the tooth-time window
// beside the dialog.
bool SaveInstrumentShots(CAnalyzerDlg& dialog, const QDir& out)
{
    QWidget* window = dialog.GetSafeWidget();
    window->move(0, 0);
    QWidget* chart = ClientWidget(g_chart);
    chart->setFocus();
    Type(chart, Qt::Key_0, Qt::ControlModifier);
    if (!Save(window, out.filePath(QStringLiteral("whole.png"))))
        return false;
    const auto& teeth = dialog.Trigger().Report()->teeth;
    const auto& tooth = teeth[teeth.size() / 2];
    const double margin = (tooth.nextRise.chartX - tooth.rise.chartX) / 4.0;
    g_chart.ZoomToRange(tooth.rise.chartX - margin, tooth.nextRise.chartX + margin);
    g_chart.SetCursor(0, tooth.rise.chartX - 1.0);
    Type(chart, Qt::Key_BracketRight);
    g_chart.SetCursor(1, tooth.nextRise.chartX - 1.0);
    Type(chart, Qt::Key_BracketRight);
    g_chart.ShowTimeRuler(TRUE);
    dialog.Trigger().SetExpectedWheelShown(true);
    QTest::qWait(200);
    if (!Save(window, out.filePath(QStringLiteral("cursors.png"))))
        return false;
    g_chart.HideCursors();
    g_chart.ShowTimeRuler(FALSE);
    dialog.Trigger().SetExpectedWheelShown(false);
    g_chart.ZoomToUsual();
    auto* toothTimes = dentora::ShowToothTimes(dialog.Trigger(), window);
    toothTimes->move(window->frameGeometry().topRight() + QPoint(8, 0));
    if (!QTest::qWaitForWindowExposed(toothTimes))
        return false;
    QTest::qWait(300);
    const QRect both = window->frameGeometry().united(toothTimes->frameGeometry()).adjusted(-4, -4, 4, 4);
    return WritePicture(window->screen()->grabWindow(0, both.x(), both.y(), both.width(), both.height()),
                        out.filePath(QStringLiteral("toothtimes.png")));
}

struct ShotsOptions {
    QString port;
    QString open;
    QString outDirectory;
    bool report = false;
    bool instrument = false;
};

std::optional<ShotsOptions> ParseArguments(QStringList arguments)
{
    ShotsOptions options;
    options.report = arguments.removeAll(QStringLiteral("--report")) > 0;
    options.instrument = arguments.removeAll(QStringLiteral("--instrument")) > 0;
    for (int i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--port"))
            options.port = arguments[i + 1];
        else if (arguments[i] == QLatin1String("--out"))
            options.outDirectory = arguments[i + 1];
        else if (arguments[i] == QLatin1String("--open"))
            options.open = arguments[i + 1];
    }
    if (options.port.isEmpty() == options.open.isEmpty() || options.outDirectory.isEmpty() || arguments.size() != 4)
        return std::nullopt;
    return options;
}

// "Run Test" clicked as a user would, and the capture awaited to its end.
bool RunCapture(CAnalyzerDlg& dialog)
{
    auto* runButton = qobject_cast<QPushButton*>(dialog.GetDlgItem(IDC_RUN_TEST)->GetSafeWidget());
    QTest::mouseClick(runButton, Qt::LeftButton);
    const bool ended = QTest::qWaitFor([] { return g_nTestState == kIdle; }, kCaptureTimeoutMs);
    if (!ended || CurrentCaptureLog().outcome != dentora::TestOutcome::kFinished) {
        const QString how = ended ? TestEndingText(CurrentCaptureLog()) : QStringLiteral("it was still running");
        std::fprintf(stderr, "dentora-shots: the capture did not finish: %s\n", qPrintable(how));
        return false;
    }
    QTest::qWait(300);
    return true;
}

// The file opened as the chart menu's "Open capture..." does: the import
// dialog, when it asks, pictured with the screen and accepted as suggested.
bool SaveOpenShots(CAnalyzerDlg& dialog, const QString& file, const QDir& out)
{
    QWidget* window = dialog.GetSafeWidget();
    bool pictured = true;
    dentora::ImportRequest request = dentora::ImportAsking(window);
    const dentora::AskSignals ask = request.ask;
    request.ask = [&](const dentora::ImportedWaveforms& waveforms, const dentora::SignalChoice& suggested,
                      dentora::ImportOptions* options) {
        QTimer::singleShot(500, [&] {
            pictured = WritePicture(window->screen()->grabWindow(0), out.filePath(QStringLiteral("import.png")));
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                modal->accept();
        });
        return ask(waveforms, suggested, options);
    };
    QString error;
    if (!dentora::OpenCaptureFile(file, &error, request)) {
        std::fprintf(stderr, "dentora-shots: %s\n", qPrintable(error));
        return false;
    }
    QTest::qWait(500);
    return pictured && Save(window, out.filePath(QStringLiteral("open.png")));
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const std::optional<ShotsOptions> options = ParseArguments(QCoreApplication::arguments().mid(1));
    if (!options) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QDir().mkpath(options->outDirectory);
    const QDir out(options->outDirectory);

    CAnalyzerApp app;  // the tool's name and help, as on a user's screen
    CAnalyzerDlg dialog;
    dialog.SetInitialPortText(options->port);
    if (options->report || options->instrument)
        dialog.Trigger().SetTickMicros(4.0);  // dentora-sim's tick, as --tick-us 4 would set it
    if (options->instrument)
        dentora::SetFetchOptions({true, dentora::kDefaultAhead});  // a long capture, fetched as --fast does
    dialog.CreateModeless();
    if (!QTest::qWaitForWindowExposed(dialog.GetSafeWidget())) {
        std::fputs("dentora-shots: the window did not appear\n", stderr);
        return 1;
    }
    if (!options->open.isEmpty())
        return SaveOpenShots(dialog, options->open, out) ? 0 : 1;
    if (!RunCapture(dialog))
        return 1;
    if (options->report)
        return SaveReport(dialog, out.filePath(QStringLiteral("report.png"))) ? 0 : 1;
    if (options->instrument)
        return SaveInstrumentShots(dialog, out) ? 0 : 1;
    return SaveCaptureShots(dialog, out) ? 0 : 1;
}
