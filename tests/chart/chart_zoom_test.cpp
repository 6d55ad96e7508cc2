// Zoom, the grid and the traces at other scales than the chart's own, read
// back from the window's pixels; the scrolling and following around them.
#include "chart_fixture.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <vector>

namespace {

const COLORREF kTrace = RGB(255, 0, 0);
const COLORREF kGrid = RGB(0, 128, 0);
constexpr int kWidth = 700;
constexpr int kHeight = 200;

class ChartZoom : public ChartFixture {
protected:
    // A square wave drawn as the decoder draws it: an edge every `spacing`
    // x units from x 0 to `last`, two points 0.01 apart per edge, 0 and 1.
    void CreateSquareWave(double spacing, double last)
    {
        CreateChart(kWidth, kHeight);
        g_chart.AddLine(1, kTrace, PS_SOLID, 1, TRUE, 0);
        bool high = false;
        for (double x = 0.0; x <= last; x += spacing) {
            g_chart.AddPoint(1, float(x), high ? 1.0f : 0.0f, FALSE);
            g_chart.AddPoint(1, float(x + 0.01), high ? 0.0f : 1.0f, FALSE);
            high = !high;
        }
    }

    static std::vector<int> TraceColumnsOnRow(const QImage& image, int row)
    {
        std::vector<int> columns;
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, row) == ToRgb(kTrace))
                columns.push_back(x);
        }
        return columns;
    }
};

TEST_F(ChartZoom, BackAtTheUsualScaleThePictureIsThatOfAChartNeverZoomed)
{
    CreateSquareWave(7.0, 5000.0);
    g_chart.ShowX(2500.0);
    const float start = g_chart.XStart();
    const QImage before = PaintChart();

    g_chart.ZoomAroundCentre(2.0);
    EXPECT_FLOAT_EQ(g_chart.XSpan(), 500.0f);
    g_chart.ZoomAroundCentre(1.0 / 8.0);
    EXPECT_NE(PaintChart(), before);
    g_chart.ZoomToUsual();

    EXPECT_EQ(g_chart.XSpan(), CChartWnd::kUsualSpan);
    EXPECT_EQ(g_chart.XStart(), start);
    EXPECT_EQ(PaintChart(), before);
}

TEST_F(ChartZoom, EdgesStandWhereTheModelPutsThemAtEveryZoom)
{
    CreateSquareWave(40.0, 4000.0);
    // Mid-height crosses every edge's vertical stroke and no level.
    const int middleRow = kHeight / 2;
    for (const double span : {50.0, 333.0, 1000.0, 3000.0}) {
        g_chart.ZoomToRange(1000.0, 1000.0 + span);
        ASSERT_DOUBLE_EQ(g_chart.XSpan(), float(span));
        std::vector<int> expected;
        const double start = g_chart.XStart();
        for (double x = 0.0; x <= 4000.0; x += 40.0) {
            const int column = int(kWidth * (x - start) / span);
            if (column >= 0 && column < kWidth && (expected.empty() || expected.back() != column))
                expected.push_back(column);
        }
        g_chart.SetGrid(FALSE);
        EXPECT_EQ(TraceColumnsOnRow(PaintChart(), middleRow), expected) << "span " << span;
    }
}

TEST_F(ChartZoom, GridStaysReadableAtAnyZoomOnRoundSteps)
{
    CreateSquareWave(10.0, 100000.0);
    for (const double span : {3.0, 37.0, 300.0, 4500.0, 60000.0}) {
        g_chart.ZoomToRange(5000.0, 5000.0 + span);
        g_chart.SetLineVisible(1, FALSE, TRUE);
        const QImage image = PaintChart();
        std::vector<int> columns;
        for (int x = 0; x < kWidth; ++x) {
            if (image.pixel(x, 5) == ToRgb(kGrid))
                columns.push_back(x);
        }
        ASSERT_GE(columns.size(), 7u) << "span " << span;
        for (std::size_t i = 1; i < columns.size(); ++i) {
            // Never closer than the usual 35 pixels, never farther than 2.5 times that.
            EXPECT_GE(columns[i] - columns[i - 1], 34) << "span " << span;
            EXPECT_LE(columns[i] - columns[i - 1], 88) << "span " << span;
        }
    }
}

TEST_F(ChartZoom, WholeViewOfManyEdgesFillsEachColumnBetweenTheLevelsAndNoMore)
{
    CreateSquareWave(0.5, 100000.0);  // 200,000 edges, about 285 to a column
    g_chart.SetGrid(FALSE);
    g_chart.ZoomToWhole();
    EXPECT_NEAR(g_chart.XSpan(), 100000.0, 1.0);
    const QImage image = PaintChart();
    // y 1 lies on row 200 - trunc(200 * 0.975) = 5, y 0 on row 195.
    for (int x = 0; x < kWidth; ++x) {
        for (int y = 0; y < kHeight; ++y) {
            const bool trace = image.pixel(x, y) == ToRgb(kTrace);
            ASSERT_EQ(trace, y >= 5 && y <= 195) << "column " << x << " row " << y;
        }
    }
}

TEST_F(ChartZoom, FollowingNewPointsAndScrollingWorkInTheZoomedUnits)
{
    CreateSquareWave(10.0, 2000.0);
    // Following the newest point at 90 % of the view, zoom keeps it there.
    ASSERT_FLOAT_EQ(g_chart.XStart() + 0.9f * g_chart.XSpan(), 2000.01f);
    g_chart.ZoomAroundCentre(10.0);
    ASSERT_FLOAT_EQ(g_chart.XSpan(), 100.0f);
    EXPECT_NEAR(g_chart.XStart() + 0.9 * g_chart.XSpan(), 2000.01, 0.01);
    // A new point past 90 % of the view moves it to stand at 90 %.
    g_chart.AddPoint(1, 2095.0f, 0.0f, FALSE);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 2005.0f);
    EXPECT_FLOAT_EQ(g_chart.XSpan(), 100.0f);

    // The arrows move a hundredth of the zoomed view, the pages half of it.
    QWidget* client = ClientWidget(g_chart);
    QTest::keyClick(client, Qt::Key_Left);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 2004.0f);
    QTest::keyClick(client, Qt::Key_PageUp);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 1954.0f);

    // Looking back, the newest points no longer move the view.
    g_chart.AddPoint(1, 2300.0f, 0.0f, FALSE);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 1954.0f);

    // The thumb dragged to its end shows the extent's end, at a zoom where
    // 1000 positions would move it by more than a view.
    g_chart.ZoomToRange(0.0, 5.0);
    const int range = g_chart.ScrollRange();
    EXPECT_GE(range * 5.0 / (g_chart.XMax() - g_chart.XMin()), 1.0) << "positions in one view";
    g_chart.PlaceScrollThumb(range);
    EXPECT_NEAR(g_chart.XStart() + g_chart.XSpan(), g_chart.XMax(), 0.01);
}

TEST_F(ChartZoom, ZoomHoldsToTheExtentsEndsAndTheEmptyOrSingleEdgeCapture)
{
    CreateChart(kWidth, kHeight);
    g_chart.AddLine(1, kTrace, PS_SOLID, 1, TRUE, 0);
    // Empty: the whole capture is no capture; the view stays as it was.
    g_chart.ZoomToWhole();
    EXPECT_EQ(g_chart.XSpan(), CChartWnd::kUsualSpan);
    EXPECT_EQ(g_chart.XStart(), 0.0f);

    // One edge: the whole capture is the least span round it, the edge in the middle.
    g_chart.AddPoint(1, 400.0f, 0.0f, FALSE);
    g_chart.AddPoint(1, 400.01f, 1.0f, FALSE);
    g_chart.ZoomToWhole();
    EXPECT_DOUBLE_EQ(g_chart.XSpan(), CChartWnd::kLeastSpan);
    EXPECT_EQ(TraceColumnsOnRow(PaintChart(), kHeight / 2), std::vector<int>{kWidth / 2 - 1});

    // Zooming out at the left end keeps the view inside the extent.
    g_chart.ZoomBy(1.0 / 1000.0, 400.0);
    EXPECT_EQ(g_chart.XStart(), g_chart.XMin());
    EXPECT_LE(g_chart.XSpan(), std::max(1000.0f, g_chart.XMax() - g_chart.XMin()));
}

TEST_F(ChartZoom, CtrlWheelKeepsThePointUnderThePointerAndResizeKeepsTheZoom)
{
    CreateSquareWave(10.0, 5000.0);
    g_chart.ShowX(2500.0);
    QWidget* client = ClientWidget(g_chart);
    const QPointF pointer(175.5, 100.0);
    const double before = g_chart.XStart() + 175.5 * g_chart.XSpan() / kWidth;
    QWheelEvent wheel(pointer, client->mapToGlobal(pointer), QPoint(), QPoint(0, 2 * 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(client, &wheel);
    EXPECT_NEAR(g_chart.XSpan(), 1000.0 / 1.5625, 0.01);
    EXPECT_NEAR(g_chart.XStart() + 175.5 * g_chart.XSpan() / kWidth, before, 0.01);

    // The wheel without Ctrl zooms nothing.
    QWheelEvent plain(pointer, client->mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(client, &plain);
    EXPECT_NEAR(g_chart.XSpan(), 640.0, 0.01);

    const float start = g_chart.XStart();
    client->window()->resize(350, client->window()->height());
    QApplication::processEvents();
    EXPECT_EQ(g_chart.XStart(), start);
    EXPECT_NEAR(g_chart.XSpan(), 640.0, 0.01);
}

TEST_F(ChartZoom, ShiftDragZoomsIntoTheStretchDragged)
{
    CreateSquareWave(10.0, 5000.0);
    QWidget* client = ClientWidget(g_chart);
    const double left = g_chart.XStart() + 100.5 * g_chart.XSpan() / kWidth;
    const double right = g_chart.XStart() + 310.5 * g_chart.XSpan() / kWidth;
    QTest::mousePress(client, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 50));
    QTest::mouseMove(client, QPoint(200, 50));
    QTest::mouseRelease(client, Qt::LeftButton, Qt::ShiftModifier, QPoint(310, 50));
    EXPECT_NEAR(g_chart.XStart(), left, 0.01);
    EXPECT_NEAR(g_chart.XSpan(), right - left, 0.01);

    // A slip of the hand is no stretch.
    const float span = g_chart.XSpan();
    QTest::mousePress(client, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 50));
    QTest::mouseRelease(client, Qt::LeftButton, Qt::ShiftModifier, QPoint(101, 50));
    EXPECT_EQ(g_chart.XSpan(), span);
}

}  // namespace
