// The trigger analysis end to end: dentora-sim as a program of its own,
// with or without a trigger fault, the real dialog headless capturing from
// it, then the marks on the chart's pixels, the report window, the tooltip
// and the context-menu entries as a user reaches them.
#include "analysis/trigger_analysis.h"
#include "capture/capture_files.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "chart_menu.h"
#include "dialog_driver.h"
#include "platform/wnd_testing.h"
#include "simulator/engine_model.h"
#include "trigger_actions.h"
#include "trigger_report_window.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QHelpEvent>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>

namespace {

namespace sim = dentora::sim;
using dentora::AnomalyKind;

// The engine every test runs: a 36-1 wheel at 1500 rpm, 300 records fetched.
const QStringList kEngine = {
    QStringLiteral("--rpm"),     QStringLiteral("1500"), QStringLiteral("--missing-teeth"), QStringLiteral("1"),
    QStringLiteral("--records"), QStringLiteral("300"),  QStringLiteral("--ack-delay"),     QStringLiteral("30")};
constexpr std::uint64_t kGlitchTooth = 40;

sim::EngineConfig Engine()
{
    sim::EngineConfig config;
    config.rpm = 1500;
    config.missingTeeth = 1;
    return config;
}

class TriggerDialogTest : public DialogTest {
protected:
    void OnStatusShown(const QString&) override {}

    void TearDown() override
    {
        DialogTest::TearDown();
        if (m_simulator) {
            m_simulator->terminate();
            m_simulator->waitForFinished(5000);
        }
    }

    // dentora-sim with extra arguments; its device typed into the port box,
    // "Run Test" clicked and the capture awaited.
    void CaptureFromSimulator(const QStringList& extra)
    {
        m_simulator = std::make_unique<QProcess>();
        m_simulator->start(QStringLiteral(DENTORA_SIM_EXECUTABLE), kEngine + extra);
        ASSERT_TRUE(m_simulator->waitForReadyRead(10000)) << "dentora-sim printed no device";
        const QString device = QString::fromUtf8(m_simulator->readLine()).trimmed();
        m_portList->setEditText(device);
        m_button->click();
        ASSERT_TRUE(m_driver->TickUntilIdle()) << "the test run did not end";
        ASSERT_EQ(CurrentCaptureLog().outcome, dentora::TestOutcome::kFinished) << m_status->text().toStdString();
    }

    dentora::TriggerView& View() { return m_driver->dialog().Trigger(); }

    static QImage ChartPixels()
    {
        return ClientWidget(g_chart)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    static int MarkPixels(const QImage& image)
    {
        const QRgb mark = qRgb(255, 0, 255);
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == mark ? 1 : 0;
        }
        return count;
    }

    std::unique_ptr<QProcess> m_simulator;
};

TEST_F(TriggerDialogTest, GlitchIsMarkedAtItsTimeListedAndScrolledTo)
{
    CaptureFromSimulator({QStringLiteral("--glitch-after-tooth"), QString::number(kGlitchTooth)});

    // Where the engine model put the glitch: between teeth 40 and 41.
    sim::EngineConfig config = Engine();
    config.faults.glitchAfterTooth = kGlitchTooth;
    const sim::EngineTiming timing = sim::ResolveTiming(config);
    sim::EdgeStream stream(timing);
    std::vector<std::uint64_t> rises;
    while (rises.size() <= kGlitchTooth + 1) {
        const sim::Edge edge = stream.Next();
        if (edge.channel == sim::Channel::Crank && edge.rising)
            rises.push_back(edge.tick);
    }
    const double glitchX = double(rises[kGlitchTooth + 1]) * sim::ChartUnitsPerTick(timing);

    ASSERT_TRUE(View().Report());
    ASSERT_EQ(View().Report()->anomalies.size(), 1u);
    EXPECT_EQ(View().Report()->anomalies.front().kind, AnomalyKind::kGlitch);
    ASSERT_EQ(g_chart.Marks().size(), 1u);
    EXPECT_NEAR(g_chart.Marks().front(), glitchX, 0.05);

    // The chart follows the capture's end, far from the glitch: no mark in view.
    EXPECT_EQ(MarkPixels(ChartPixels()), 0);

    auto* window = dentora::ShowTriggerReport(View(), m_driver->dialog().GetSafeWidget());
    EXPECT_TRUE(window->summary()->text().contains(QStringLiteral("Wheel: 36-1")));
    ASSERT_EQ(window->anomalies()->count(), 1);
    EXPECT_TRUE(window->anomalies()->item(0)->text().contains(QStringLiteral("glitch")));
    window->anomalies()->setCurrentRow(0);
    QCoreApplication::processEvents();

    ASSERT_LE(g_chart.XStart(), glitchX);
    ASSERT_GE(g_chart.XStart() + g_chart.XSpan(), glitchX);
    const QImage image = ChartPixels();
    const int column = int(image.width() * (glitchX - g_chart.XStart()) / g_chart.XSpan());
    EXPECT_EQ(image.pixel(column, 0), qRgb(255, 0, 255)) << "column " << column;
    EXPECT_GT(MarkPixels(image), 0);
}

TEST_F(TriggerDialogTest, CleanCaptureShowsNoMarkAndTheToothUnderThePointer)
{
    CaptureFromSimulator({});
    ASSERT_TRUE(View().Report());
    EXPECT_TRUE(View().Report()->anomalies.empty());
    EXPECT_TRUE(g_chart.Marks().empty());
    EXPECT_EQ(MarkPixels(ChartPixels()), 0);

    // The pointer in the middle of the chart asks for its tooltip.
    QWidget* client = ClientWidget(g_chart);
    const QPoint middle(client->width() / 2, client->height() / 2);
    QHelpEvent help(QEvent::ToolTip, middle, client->mapToGlobal(middle));
    QApplication::sendEvent(client, &help);
    const QString tip = QToolTip::text();
    EXPECT_TRUE(tip.startsWith(QStringLiteral("Tooth "))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("after the gap"))) << tip.toStdString();
    EXPECT_FALSE(tip.contains(QStringLiteral("rpm"))) << "no speed without a tick length";
    QToolTip::hideText();
}

TEST_F(TriggerDialogTest, MenuEntriesSetTheTickLengthAndHideTheMarks)
{
    CaptureFromSimulator({QStringLiteral("--missing-tooth"), QStringLiteral("50")});
    ASSERT_FALSE(g_chart.Marks().empty());
    EXPECT_FALSE(View().Report()->speed.meanRpm);

    // The chart's own menu, its analysis entries last.
    const auto entries = m_driver->dialog().chartMenu()->actions();
    ASSERT_GE(entries.size(), 3);
    const QList<QAction*> actions = entries.mid(entries.size() - 3);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Trigger report\u2026"));
    EXPECT_EQ(actions[1]->text(), QStringLiteral("Anomaly marks"));
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Tick length\u2026"));

    // The question is answered as a user would: 4 µs typed, OK.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* question = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
            question->findChild<QDoubleSpinBox*>()->setValue(4.0);
            question->accept();
        }
    });
    answer.start(10);
    actions[2]->trigger();
    answer.stop();
    ASSERT_EQ(View().TickMicros(), 4.0);
    EXPECT_EQ(dentora::ExportTickNanoseconds(), 4000u) << "the exports take the run's one tick length";
    ASSERT_TRUE(View().Report()->speed.meanRpm);
    EXPECT_NEAR(*View().Report()->speed.meanRpm, sim::ResolveTiming(Engine()).effectiveRpm, 1.0);

    ASSERT_TRUE(actions[1]->isChecked());
    actions[1]->trigger();
    EXPECT_FALSE(g_chart.MarksShown());
    dentora::ShowTriggerReport(View(), m_driver->dialog().GetSafeWidget())->anomalies()->setCurrentRow(0);
    EXPECT_EQ(MarkPixels(ChartPixels()), 0);
}

// Where the report opens: inside the screen's available area and off the
// chart wherever the dialog stands; beside the dialog where the screen has
// room for both (at least twice the dialog's width).
TEST_F(TriggerDialogTest, ReportOpensBesideTheDialogNeverOverTheChart)
{
    QWidget* window = m_driver->dialog().GetSafeWidget();
    const QRect available = window->screen()->availableGeometry();
    if (qEnvironmentVariableIsSet("DENTORA_WIDE_SCREEN")) {
        ASSERT_EQ(available.width(), 1920) << "the wide screen was not set up";
    }
    QAction* reportEntry = nullptr;
    for (QAction* action : m_driver->dialog().chartMenu()->actions())
        if (action->text() == QStringLiteral("Trigger report\u2026"))
            reportEntry = action;
    ASSERT_NE(reportEntry, nullptr);

    const QSize dialogSize = window->frameGeometry().size();
    const QPoint corners[] = {available.topLeft(),
                              available.bottomRight() - QPoint(dialogSize.width() - 1, dialogSize.height() - 1)};
    for (const QPoint& corner : corners) {
        window->move(corner);
        QApplication::processEvents();
        reportEntry->trigger();
        auto* report = window->findChild<dentora::TriggerReportWindow*>();
        ASSERT_NE(report, nullptr);
        QApplication::processEvents();
        const QRect reportFrame = report->frameGeometry();
        const QRect dialogFrame = window->frameGeometry();
        const QWidget* chart = g_chart.GetSafeWidget();
        const QRect chartOnScreen(chart->mapToGlobal(QPoint(0, 0)), chart->size());
        SCOPED_TRACE(corner.x());
        EXPECT_TRUE(report->isVisible());
        EXPECT_TRUE(available.contains(reportFrame)) << "off the screen";
        EXPECT_FALSE(reportFrame.intersects(chartOnScreen)) << "over the chart";
        EXPECT_GE(reportFrame.width(), report->minimumSizeHint().width());
        if (available.width() >= 2 * dialogSize.width()) {
            EXPECT_FALSE(reportFrame.intersects(dialogFrame)) << "not beside the dialog";
        }
        report->close();
    }
}

// The same on a screen with room beside the dialog (the offscreen screen
// is 800 pixels wide, narrower than dialog and report together).
TEST(TriggerReportPlacement, OnAWideScreenTheReportStandsBesideTheDialog)
{
    if (qEnvironmentVariableIsSet("DENTORA_WIDE_SCREEN"))
        GTEST_SKIP() << "this is the wide screen's run";
    QTemporaryDir scratch;
    const QString config = scratch.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1920, "height": 1080,
                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
    environment.insert(QStringLiteral("DENTORA_WIDE_SCREEN"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=TriggerDialogTest.ReportOpensBesideTheDialogNeverOverTheChart")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}

}  // namespace
