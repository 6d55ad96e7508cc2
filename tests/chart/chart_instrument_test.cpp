// The chart as an instrument in the real dialog: a hand-made 36-1 capture
// opened, the cursors' readout against figures worked out by hand, the
// tooth-time window against the capture's tooth periods, the zoom keys,
// the expected wheel and the ruler from the chart's menu.
#include "analysis/trigger_analysis.h"
#include "analysis/trigger_record.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "chart_menu.h"
#include "dialog_driver.h"
#include "platform/wnd_testing.h"
#include "tooth_time_view.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using dentora::TriggerRecord;

constexpr std::uint16_t kHalfTooth = 125;  // ticks
constexpr int kTeethPresent = 35;
constexpr int kRevolutions = 3;
// The calibration sums to four half-teeth: 10 chart units a half-tooth.
constexpr double kUnitsPerTick = 10.0 / kHalfTooth;
// The glitch: in the low time after tooth 10 of the second revolution.
constexpr int kGlitchedTooth = kTeethPresent + 9;

// Revolutions of a 36-1 wheel from tooth 1, every tooth 125 ticks high and
// 125 low, the gap's low 375, a glitch after tooth kGlitchedTooth, and the
// rise that ends the last period; `rises` the tick of each tooth's rise.
struct HandMadeCapture {
    std::vector<TriggerRecord> records{{'R', 2 * kHalfTooth}, {'F', 2 * kHalfTooth}};
    std::vector<std::uint64_t> rises;

    explicit HandMadeCapture(int revolutions = kRevolutions)
    {
        std::uint64_t tick = 0;
        for (int tooth = 0; tooth <= revolutions * kTeethPresent; ++tooth) {
            const std::uint16_t low = tooth % kTeethPresent == 0 ? 3 * kHalfTooth : kHalfTooth;
            if (tooth == kGlitchedTooth + 1) {
                records.insert(records.end(), {{'R', 60}, {'F', 5}, {'R', 60}});
            } else {
                records.push_back({'R', low});
            }
            tick += low;
            rises.push_back(tick);
            if (tooth < revolutions * kTeethPresent) {
                records.push_back({'F', kHalfTooth});
                tick += kHalfTooth;
            }
        }
    }

    double RiseX(int tooth) const { return double(rises[std::size_t(tooth)]) * kUnitsPerTick; }
};

class ChartInstrument : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_driver = std::make_unique<DialogDriver>();
        ASSERT_TRUE(m_driver->Opened());
        Open(m_capture);
        ASSERT_EQ(View().Report()->teeth.size(), std::size_t(kRevolutions * kTeethPresent));
        ASSERT_EQ(View().Report()->anomalies.size(), 1u);
        ASSERT_EQ(View().Report()->anomalies.front().kind, dentora::AnomalyKind::kGlitch);
        m_client = ClientWidget(g_chart);
        m_client->setFocus();
    }

    dentora::TriggerView& View() { return m_driver->dialog().Trigger(); }

    // Opened as from a file; the dialog analyses an ended capture on its next tick.
    void Open(const HandMadeCapture& capture)
    {
        dentora::CaptureLog log;
        log.records = capture.records;
        log.outcome = dentora::TestOutcome::kFinished;
        ASSERT_TRUE(LoadCapture(log));
        m_driver->Tick();
        ASSERT_TRUE(View().Report());
    }

    // A cursor put just before a tooth's rise and stepped onto it with ].
    void PutCursorOnRise(int cursor, int tooth)
    {
        g_chart.SetCursor(cursor, m_capture.RiseX(tooth) - 1.0);
        QTest::keyClick(m_client, Qt::Key_BracketRight);
        ASSERT_NEAR(*g_chart.Cursor(cursor), m_capture.RiseX(tooth), 0.01);
    }

    QString Readout() { return View().CursorReadoutText(g_chart.Cursor(0), g_chart.Cursor(1)); }

    QAction* MenuEntry(const QString& text)
    {
        for (QAction* action : m_driver->dialog().chartMenu()->actions()) {
            if (action->text() == text)
                return action;
        }
        ADD_FAILURE() << "no menu entry " << text.toStdString();
        return nullptr;
    }

    static int PixelsOf(const QImage& image, QRgb color)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == color ? 1 : 0;
        }
        return count;
    }

    static QImage ChartPixels()
    {
        return ClientWidget(g_chart)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    HandMadeCapture m_capture;
    std::unique_ptr<DialogDriver> m_driver;
    QWidget* m_client = nullptr;
};

TEST_F(ChartInstrument, CursorReadoutGivesTheHandWorkedFigures)
{
    View().SetTickMicros(4.0);
    // Teeth 1 and 4 of the second revolution: three periods of 250 ticks,
    // 3 ms at 4 µs a tick; 3 of 36 positions in 3 ms is 1666.7 rpm.
    PutCursorOnRise(0, kTeethPresent);
    PutCursorOnRise(1, kTeethPresent + 3);
    EXPECT_EQ(Readout(),
              QStringLiteral("1: tooth 1   2: tooth 4\n"
                             "\u0394t 750 ticks = 3000.0 \u00b5s = 3.000 ms\n"
                             "3 teeth between, 333.33 Hz, 1667 rpm"));

    // Across the gap, teeth 34 to 1: 250 + 500 ticks, two teeth but three
    // positions, so the same speed.
    PutCursorOnRise(0, kTeethPresent - 2);
    PutCursorOnRise(1, kTeethPresent);
    EXPECT_EQ(Readout(),
              QStringLiteral("1: tooth 34   2: tooth 1\n"
                             "\u0394t 750 ticks = 3000.0 \u00b5s = 3.000 ms\n"
                             "2 teeth between, 333.33 Hz, 1667 rpm"));

    // Without the tick length, ticks alone.
    View().SetTickMicros(std::nullopt);
    EXPECT_EQ(Readout(), QStringLiteral("1: tooth 34   2: tooth 1\n\u0394t 750 ticks\n2 teeth between"));
}

TEST_F(ChartInstrument, ToothTimeBarsStandAsTallAsEachPeriodAndLinkToTheChart)
{
    auto* window = dentora::ShowToothTimes(View(), m_driver->dialog().GetSafeWidget());
    window->resize(800, 300);
    QApplication::processEvents();
    dentora::ToothTimePlot* plot = window->plot();
    const QRect area = plot->PlotArea();
    const int teeth = kRevolutions * kTeethPresent;
    const auto columnOf = [&](int tooth) { return area.left() + int((tooth + 0.5) * area.width() / teeth); };
    const QImage image = plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int tooth = 0; tooth < teeth; ++tooth) {
        const bool gap = tooth % kTeethPresent == kTeethPresent - 1;
        const int period = gap ? 4 * kHalfTooth : 2 * kHalfTooth;
        const dentora::ToothKind kind = tooth == kGlitchedTooth ? dentora::ToothKind::kGlitch
            : gap                                               ? dentora::ToothKind::kGap
                                                                : dentora::ToothKind::kNormal;
        const QRgb color = dentora::ToothTimePlot::KindColor(kind).rgb();
        int top = area.bottom() + 1;
        while (top > area.top() && image.pixel(columnOf(tooth), top - 1) == color)
            --top;
        // The longest period, the gap's, reaches 1 / 1.1 of the plot's height.
        const double expected = period / (4.0 * kHalfTooth * 1.1) * area.height();
        EXPECT_NEAR(area.bottom() + 1 - top, expected, 1.0) << "tooth " << tooth;
    }

    // A click on a bar centres the chart on that tooth; the plot marks the
    // chart's view there and no longer at the start.
    const int chosen = 80;
    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, QPoint(columnOf(chosen), area.center().y()));
    const double middle = (m_capture.RiseX(chosen) + m_capture.RiseX(chosen + 1)) / 2.0;
    EXPECT_NEAR(g_chart.XStart() + g_chart.XSpan() / 2.0, middle, 2.5);
    const auto marked = [&](int tooth) {
        const QImage now = plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return now.pixel(columnOf(tooth), area.top() + 2) != qRgb(0, 0, 0);
    };
    EXPECT_TRUE(marked(chosen));
    EXPECT_FALSE(marked(2));
    g_chart.ShowX(0.0);
    EXPECT_TRUE(marked(2));
    EXPECT_FALSE(marked(chosen));
}

TEST_F(ChartInstrument, CrankEdgesStandWhereTheCaptureHasThemAtSeveralZooms)
{
    // Every crank edge of the capture in ticks: each rise, and its fall a
    // high time later (the glitch's pair included).
    std::vector<double> edges;
    std::uint64_t tick = 0;
    for (std::size_t i = dentora::kCalibrationRecords; i < m_capture.records.size(); ++i) {
        tick += m_capture.records[i].ticks;
        edges.push_back(double(tick) * kUnitsPerTick);
    }
    const QRgb crank = qRgb(0, 100, 255);
    m_client->clearFocus();  // the focus frame would cover the outermost columns
    for (const double span : {60.0, 1000.0, 4000.0}) {
        const double middle = m_capture.RiseX(50);
        g_chart.ZoomToRange(middle - span / 2.0, middle + span / 2.0);
        const QImage image = ChartPixels();
        const int row = image.height() / 2;  // between the crank's levels
        std::set<int> expected;
        for (const double x : edges) {
            // A 2-pixel stroke just outside the view still shows at its edge.
            const int column = int(std::floor(image.width() * (x - g_chart.XStart()) / g_chart.XSpan()));
            if (column >= -1 && column <= image.width())
                expected.insert(column);
        }
        ASSERT_GT(expected.size(), 1u);
        const auto nearExpected = [&](int column) {
            return expected.count(column) + expected.count(column - 1) + expected.count(column + 1) > 0;
        };
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, row) == crank) {
                EXPECT_TRUE(nearExpected(x)) << "crank at column " << x << ", span " << span;
            }
        }
        for (const int column : expected) {
            if (column < 0 || column >= image.width())
                continue;
            const bool drawn = image.pixel(column, row) == crank ||
                (column > 0 && image.pixel(column - 1, row) == crank) ||
                (column + 1 < image.width() && image.pixel(column + 1, row) == crank);
            EXPECT_TRUE(drawn) << "no edge at column " << column << ", span " << span;
        }
    }
}

TEST_F(ChartInstrument, AGlitchAmongAHundredThousandTeethStillShowsInTheWholePlot)
{
    const int revolutions = 2858;  // 100,030 teeth
    Open(HandMadeCapture(revolutions));
    ASSERT_EQ(View().Report()->teeth.size(), std::size_t(revolutions * kTeethPresent));
    auto* window = dentora::ShowToothTimes(View(), m_driver->dialog().GetSafeWidget());
    window->resize(800, 300);
    QApplication::processEvents();
    dentora::ToothTimePlot* plot = window->plot();
    const QRect area = plot->PlotArea();
    const QImage image = plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb glitch = dentora::ToothTimePlot::KindColor(dentora::ToothKind::kGlitch).rgb();
    const QRgb gap = dentora::ToothTimePlot::KindColor(dentora::ToothKind::kGap).rgb();
    // Tooth 44 of 100,030 lies in the plot's first column; each column holds
    // about 150 teeth, so at least four gaps: every column is a gap's height.
    EXPECT_EQ(image.pixel(area.left(), area.bottom()), glitch);
    for (int x = area.left() + 1; x <= area.right(); ++x)
        ASSERT_EQ(image.pixel(x, area.bottom()), gap) << "column " << x;

    // Zoomed in with Ctrl and the wheel at the left edge, the glitched
    // tooth gets a bar of its own again.
    for (int notch = 0; notch < 28; ++notch) {  // 1.25^28: about 193 teeth left in view
        QWheelEvent wheel(QPointF(area.left(), area.center().y()), plot->mapToGlobal(QPointF(area.left(), 50)),
                          QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &wheel);
    }
    EXPECT_LT(plot->CountShown(), 200.0);
    EXPECT_EQ(plot->FirstShown(), 0.0);
    const int column = area.left() + int((kGlitchedTooth + 0.5) * area.width() / plot->CountShown());
    EXPECT_EQ(plot->ToothAtColumn(column), kGlitchedTooth);
    const QImage zoomed = plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(zoomed.pixel(column, area.bottom()), glitch);
    EXPECT_NE(zoomed.pixel(column + int(area.width() / plot->CountShown()) + 1, area.bottom()), glitch);
}

TEST_F(ChartInstrument, ZoomKeysReachTheWholeCaptureAndBackToTheSamePixels)
{
    QWidget* dialog = m_driver->dialog().GetSafeWidget();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    g_chart.PlaceScrollThumb(300);
    const QImage usual = ChartPixels();
    const float start = g_chart.XStart();

    QTest::keyClick(dialog, Qt::Key_0, Qt::ControlModifier);
    // From the seed points at the start (x 0.01) to the last rise.
    EXPECT_NEAR(g_chart.XStart(), 0.0, 0.02);
    EXPECT_NEAR(g_chart.XSpan(), m_capture.RiseX(kRevolutions * kTeethPresent), 0.5);
    QTest::keyClick(dialog, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(g_chart.XSpan(), CChartWnd::kUsualSpan);
    QTest::keyClick(dialog, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(g_chart.XSpan(), 500.0f);
    QTest::keyClick(dialog, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(g_chart.XSpan(), 1000.0f);

    // At the usual scale and the same place, the picture as before.
    g_chart.PlaceScrollThumb(300);
    ASSERT_EQ(g_chart.XStart(), start);
    EXPECT_EQ(ChartPixels(), usual);
}

TEST_F(ChartInstrument, ExpectedWheelAndRulerAreOffUntilChosenFromTheMenu)
{
    const QRgb faint = qRgb(80, 80, 80);
    const QRgb rulerBack = qRgb(48, 48, 48);
    EXPECT_EQ(PixelsOf(ChartPixels(), faint), 0);
    EXPECT_EQ(PixelsOf(ChartPixels(), rulerBack), 0);

    // A perfect wheel's expected rises fall on its real ones, one on each,
    // in every revolution from one tooth 1 to the next.
    std::vector<double> expectedRises;
    for (const dentora::ExpectedCrankEdge& edge : View().Report()->expectedCrankEdges) {
        if (edge.rising)
            expectedRises.push_back(edge.at.chartX);
    }
    for (int tooth = 0; tooth < (kRevolutions - 1) * kTeethPresent; ++tooth) {
        const int near = int(std::count_if(expectedRises.begin(), expectedRises.end(), [&](double x) {
            return std::abs(x - m_capture.RiseX(tooth)) < 0.5 * kUnitsPerTick;
        }));
        EXPECT_EQ(near, 1) << "tooth " << tooth;
    }
    EXPECT_LE(expectedRises.size(), std::size_t(kRevolutions * kTeethPresent + 1));

    MenuEntry(QStringLiteral("Expected wheel"))->trigger();
    MenuEntry(QStringLiteral("Time ruler"))->trigger();
    m_client->clearFocus();  // the focus frame would cover the ruler's top row
    const QImage shown = ChartPixels();
    EXPECT_GT(PixelsOf(shown, faint), 0);
    EXPECT_EQ(shown.pixel(shown.width() / 2, 1), rulerBack);
}

TEST_F(ChartInstrument, EscapeHidesTheCursorsFirstThenEndsTheDialogAsEver)
{
    QWidget* dialog = m_driver->dialog().GetSafeWidget();
    SetCurrentCaptureFile(QStringLiteral("hand-made.dentora"));  // saved: Escape asks nothing
    PutCursorOnRise(0, 3);
    QTest::keyClick(m_client, Qt::Key_Escape);
    EXPECT_FALSE(g_chart.Cursor(0));
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyClick(m_client, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
