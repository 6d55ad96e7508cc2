// The built-in demo and the options that fill the port box: in process
// through the real dialog, and as a user starts the executable.
#include "analyzer_dlg.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "demo_mode.h"
#include "fresh_state.h"
#include "platform/wnd_testing.h"
#include "res/resource.h"
#include "run_dentora.h"
#include "serial/serial_link.h"
#include "simulator/pty_controller.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTimerEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kFinished = QStringLiteral(">>> Finished <<<");

TEST(DemoMode, BuiltInControllerRunsAWholeCaptureThroughTheDialog)
{
    ResetProcessState();
    DemoController demo;
    QString error;
    const QString device = demo.Start(&error);
    ASSERT_FALSE(device.isEmpty()) << error.toStdString();

    auto dialog = std::make_unique<CAnalyzerDlg>();
    dialog->SetInitialPortText(device);
    ASSERT_TRUE(dialog->CreateModeless());
    auto* portBox = qobject_cast<QComboBox*>(dialog->GetDlgItem(IDC_COMPORT)->GetSafeWidget());
    EXPECT_EQ(portBox->currentText(), device);

    const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(dialog->GetSafeWidget());
    ASSERT_EQ(timers.size(), 1);
    qobject_cast<QPushButton*>(dialog->GetDlgItem(IDC_RUN_TEST)->GetSafeWidget())->click();
    ASSERT_NE(g_nTestState, kIdle) << g_pStatus->GetWindowText().toStdString();
    for (int tick = 0; tick < 2000 && g_nTestState != kIdle; ++tick) {
        QTimerEvent timerEvent(timers.front().timerId);
        QCoreApplication::sendEvent(dialog->GetSafeWidget(), &timerEvent);
    }
    EXPECT_EQ(g_nTestState, kIdle);
    EXPECT_EQ(g_pStatus->GetWindowText(), kFinished);
    // Every plotted record is two points on its trace; the demo log has 160
    // records announced and the tool fetches half again as many.
    EXPECT_GT(g_chart.LinePoints(1)->size(), 300u);
    EXPECT_GE(g_chart.LinePoints(2)->size(), 4u);
    CloseCommPort();
}

TEST(DemoMode, HeadlessSnapshotShowsTheFinishedCapture)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString picturePath = directory.filePath(QStringLiteral("demo.png"));
    const ProcessResult run = RunDentora({QStringLiteral("--demo"), QStringLiteral("--snapshot"), picturePath});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, picturePath);

    const QImage picture(picturePath);
    ASSERT_FALSE(picture.isNull());

    // The same dialog made here, on the same platform, gives its size and
    // where the chart stands in it.
    ResetProcessState();
    CAnalyzerDlg reference;
    ASSERT_TRUE(reference.CreateModeless());
    EXPECT_EQ(picture.size(), reference.GetSafeWidget()->size());
    const QRect chartArea = ClientWidget(g_chart)->geometry().translated(g_chart.GetSafeWidget()->pos());
    QSet<QRgb> colours;
    for (int y = chartArea.top(); y <= chartArea.bottom(); y += 2) {
        for (int x = chartArea.left(); x <= chartArea.right(); x += 2)
            colours.insert(picture.pixel(x, y));
    }
    // Background, grid, the crank and the cam trace at the least.
    EXPECT_GE(colours.size(), 4);
    EXPECT_TRUE(colours.contains(qRgb(0, 100, 255))) << "no crank trace in the picture";
    EXPECT_TRUE(colours.contains(qRgb(255, 255, 0))) << "no cam trace in the picture";
}

TEST(DemoMode, PortOptionPutsTheDeviceIntoThePortBox)
{
    QTemporaryDir directory;
    const QString missingDevice = directory.filePath(QStringLiteral("ttyNOWHERE"));
    const ProcessResult run = RunDentora({QStringLiteral("--port"), missingDevice, QStringLiteral("--snapshot"),
                                          directory.filePath(QStringLiteral("never.png"))});
    // The run opens the typed device, fails, and says so.
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Error in Opening COM Port"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(missingDevice)) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(directory.filePath(QStringLiteral("never.png"))));
}

// A whole log at one record per tick takes 6 min 47 s to fetch (4049
// records, as many as the capture buffer holds); the snapshot waits for it.
TEST(Snapshot, WaitsAsLongAsTheAnnouncedLogTakes)
{
    EXPECT_GT(SnapshotRun::FetchAllowanceMs(65535), (6 * 60 + 47) * 1000);
    EXPECT_EQ(SnapshotRun::FetchAllowanceMs(65535), SnapshotRun::FetchAllowanceMs(8100 * 2));
    EXPECT_GT(SnapshotRun::FetchAllowanceMs(3 * 160), 240 * 100);
}

TEST(Snapshot, SaysThatTheCountNeverCameWhenTheControllerIsSilent)
{
    ResetProcessState();
    dentora::sim::ControllerConfig config;
    config.faults.neverAcknowledge = true;
    dentora::sim::PtyController controller(config);
    const QString device = QString::fromStdString(controller.Start());
    CAnalyzerDlg dialog;
    dialog.SetInitialPortText(device);
    ASSERT_TRUE(dialog.CreateModeless());
    QTemporaryDir directory;
    SnapshotRun snapshot(dialog, directory.filePath(QStringLiteral("never.png")), 1500);
    snapshot.Arm();
    QElapsedTimer waited;
    waited.start();
    while (snapshot.Message().isEmpty() && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(snapshot.Succeeded());
    EXPECT_EQ(snapshot.Message(),
              QStringLiteral("no byte count came from the controller within 1.5 s of \"Run Test\" "
                             "(\"Step 3: Waiting for Done...\")"));
    EXPECT_GE(waited.elapsed(), 1500);
    CloseCommPort();
    controller.Stop();
}

TEST(Snapshot, SaysHowACaptureThatDidNotFinishEnded)
{
    dentora::sim::ControllerConfig config;
    config.faults.badTypeAtRecord = 5;
    config.acknowledgeDelay = std::chrono::milliseconds(30);
    dentora::sim::PtyController controller(config);
    const QString device = QString::fromStdString(controller.Start());
    QTemporaryDir directory;
    const ProcessResult run = RunDentora({QStringLiteral("--port"), device, QStringLiteral("--snapshot"),
                                          directory.filePath(QStringLiteral("never.png"))});
    controller.Stop();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(
        QStringLiteral("the capture did not finish (\">>> Finished <<<\"). The last test on ") + device +
        QStringLiteral(" was aborted, out of sequence: record 5 has the type byte "
                       "0x58, not R, F, r or f.")))
        << run.err.toStdString();
}

// At twice the scale on a 1280 x 800 screen the dialog at its template size
// would not fit; it opens no larger than the screen, bottom row included.
TEST(Snapshot, DialogOpensNoLargerThanASmallScreen)
{
    QTemporaryDir directory;
    QFile config(directory.filePath(QStringLiteral("screen.json")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(R"({"screens": [{"name": "Laptop", "x": 0, "y": 0, "width": 1280, "height": 800,
                                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    config.close();
    dentora::sim::ControllerConfig controllerConfig;
    controllerConfig.records = 10;
    controllerConfig.acknowledgeDelay = std::chrono::milliseconds(30);
    dentora::sim::PtyController controller(controllerConfig);
    const QString device = QString::fromStdString(controller.Start());
    const QString picturePath = directory.filePath(QStringLiteral("small.png"));
    const ProcessResult run =
        RunDentora({QStringLiteral("--port"), device, QStringLiteral("--snapshot"), picturePath},
                   {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config.fileName()},
                    {QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2")}});
    controller.Stop();
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage picture(picturePath);
    ASSERT_FALSE(picture.isNull());
    EXPECT_LE(picture.width(), 1280);
    EXPECT_LE(picture.height(), 800);
    EXPECT_GE(picture.height(), 700) << "as high as the screen allows";
}

}  // namespace
