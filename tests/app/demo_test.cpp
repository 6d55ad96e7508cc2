// The built-in demo and the options that fill the port box: in process
// through the real dialog, and as a user starts the executable.
#include "analyzer_dlg.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "demo_mode.h"
#include "fresh_state.h"
#include "res/resource.h"
#include "run_dentora.h"
#include "serial/serial_link.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QComboBox>
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
    const QRect chartArea = g_chart.clientWidget()->geometry().translated(g_chart.GetSafeWidget()->pos());
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

}  // namespace
