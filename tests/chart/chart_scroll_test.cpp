// Scrolling the chart through its real scroll bar: each toolkit action
// reaches the chart as the classic scroll code.
#include "chart_fixture.h"
#include "paint_counter.h"

#include <QCoreApplication>
#include <QEvent>

namespace {


class ChartScroll : public ChartFixture {
protected:
    // The extent 0 to 3000: the page is 1000 * 1000 / 3000 = 333.
    void SetUp() override
    {
        ChartFixture::SetUp();
        CreateChart(700, 200);
        Inspect::XMax(g_chart) = 3000.0f;
        bar = g_chart.horizontalScrollBar();
        g_chart.clientWidget()->installEventFilter(&counter);
    }

    void StartAt(float xStart)
    {
        Inspect::XStart(g_chart) = xStart;
        Inspect::UpdateScrollBar(g_chart);
        SettleRepaints();
    }

    // Paints pending now, so that only later ones are counted.
    int SettleRepaints()
    {
        counter.paints = 0;
        QCoreApplication::processEvents();
        return counter.paints;
    }

    static void ExpectWindowInsideExtent()
    {
        EXPECT_LE(g_chart.XMin(), g_chart.XStart());
        EXPECT_LE(g_chart.XStart() + g_chart.XSpan(), g_chart.XMax());
    }

    QScrollBar* bar = nullptr;
    PaintCounter counter;
};

TEST_F(ChartScroll, DraggingTheThumbMovesTheWindowLive)
{
    StartAt(0.0f);
    bar->setSliderDown(true);

    bar->setSliderPosition(500);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 1500.0f);
    EXPECT_EQ(bar->value(), 500);
    EXPECT_GT(SettleRepaints(), 0);
    ExpectWindowInsideExtent();

    // The furthest the thumb goes, 668, is 2004 units in: past the right end.
    ASSERT_EQ(bar->maximum(), 668);
    bar->setSliderPosition(668);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 2000.0f);
    EXPECT_EQ(bar->value(), 666);
    ExpectWindowInsideExtent();

    bar->setSliderPosition(0);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 0.0f);
    EXPECT_EQ(bar->value(), 0);

    // Letting go moves nothing more.
    bar->setSliderPosition(200);
    bar->setSliderDown(false);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 600.0f);
    EXPECT_EQ(bar->value(), 200);
}

TEST_F(ChartScroll, PagesMoveHalfAWindowWithinTheExtent)
{
    StartAt(1800.0f);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 2000.0f);
    EXPECT_EQ(bar->value(), 666);
    ExpectWindowInsideExtent();

    // At the right end a page still repaints, and moves nothing.
    SettleRepaints();
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 2000.0f);
    EXPECT_GT(SettleRepaints(), 0);

    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 1500.0f);
    EXPECT_EQ(bar->value(), 500);

    StartAt(300.0f);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 0.0f);
    EXPECT_EQ(bar->value(), 0);
    ExpectWindowInsideExtent();

    // Even where the extent reaches left of 0, a page left stops at 0.
    Inspect::XMin(g_chart) = -1000.0f;
    StartAt(200.0f);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 0.0f);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 0.0f);
}

TEST_F(ChartScroll, LinesMoveAHundredthOfTheWindow)
{
    StartAt(1500.0f);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 1510.0f);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 1490.0f);
    EXPECT_EQ(bar->value(), 496);

    StartAt(1995.0f);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 2000.0f);

    // Less than a step from the left end a step left still lands on it.
    StartAt(5.0f);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 0.0f);
    ExpectWindowInsideExtent();
}

TEST_F(ChartScroll, LineLeftWithinAUnitOfTheStartDoesNothingAtAll)
{
    // The bar still shows 1500 while the window stands at 0.5: a step left
    // that redrew or reset the bar would be seen.
    StartAt(1500.0f);
    Inspect::XStart(g_chart) = 0.5f;

    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 0.5f);
    EXPECT_EQ(bar->value(), 500);
    EXPECT_EQ(SettleRepaints(), 0);
}

TEST_F(ChartScroll, JumpsToEitherEndChangeNothing)
{
    StartAt(1500.0f);
    for (auto action : {QAbstractSlider::SliderToMinimum, QAbstractSlider::SliderToMaximum}) {
        bar->triggerAction(action);
        EXPECT_FLOAT_EQ(g_chart.XStart(), 1500.0f);
        EXPECT_EQ(bar->value(), 500);
        EXPECT_EQ(SettleRepaints(), 0);
    }
}

TEST_F(ChartScroll, ExtentOfOneWindowHoldsTheStartAtZero)
{
    Inspect::XMax(g_chart) = 1000.0f;
    StartAt(0.0f);
    for (auto action : {QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderPageStepAdd,
                        QAbstractSlider::SliderPageStepSub, QAbstractSlider::SliderSingleStepSub}) {
        bar->triggerAction(action);
        EXPECT_FLOAT_EQ(g_chart.XStart(), 0.0f) << "action " << action;
    }
}

}  // namespace
