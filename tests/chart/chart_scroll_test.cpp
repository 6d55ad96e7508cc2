// Scrolling the chart through its real scroll bar: each toolkit action
// reaches the chart as the classic scroll code.
#include "chart_fixture.h"
#include "paint_counter.h"
#include "platform/wnd_testing.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QWheelEvent>

namespace {

class ChartScroll : public ChartFixture {
protected:
    // The extent 0 to 3000: the page is 1000 * 1000 / 3000 = 333.
    void SetUp() override
    {
        ChartFixture::SetUp();
        CreateChart(700, 200);
        Inspect::XMax(g_chart) = 3000.0f;
        bar = HorizontalScrollBar(g_chart);
        ClientWidget(g_chart)->installEventFilter(&counter);
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

    // Where the thumb must stand for the window's start, by the bar's scale.
    static int ThumbForTheWindow()
    {
        return int((g_chart.XStart() - g_chart.XMin()) * 1000 / (g_chart.XMax() - g_chart.XMin()));
    }

    // Right-clicks the middle of the bar and picks the menu entry with this
    // text, as a user does.
    void PickFromBarMenu(const QString& entry)
    {
        bool picked = false;
        QObject scope;
        QTimer::singleShot(0, &scope, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction* action : menu->actions()) {
                if (action->text() == entry) {
                    menu->setActiveAction(action);
                    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                    QApplication::sendEvent(menu, &enter);
                    picked = true;
                    return;
                }
            }
            menu->close();
        });
        const QPoint middle(bar->width() / 2, bar->height() / 2);
        QContextMenuEvent click(QContextMenuEvent::Mouse, middle, bar->mapToGlobal(middle));
        QApplication::sendEvent(bar, &click);
        EXPECT_TRUE(picked) << "no entry " << entry.toStdString() << " in the bar's menu";
    }

    void TurnWheel(int angle)
    {
        const QPointF middle(bar->width() / 2.0, bar->height() / 2.0);
        QWheelEvent wheel(middle, bar->mapToGlobal(middle), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &wheel);
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

// The bar's own menu: every entry reaches the chart as the matching scroll
// code, and the thumb ends where the chart's window is.
TEST_F(ChartScroll, BarMenuEntriesArriveAsScrollCodes)
{
    const std::pair<const char*, float> entries[] = {
        {"Left edge", 1500.0f},  {"Right edge", 1500.0f},  {"Page left", 1000.0f},
        {"Page right", 2000.0f}, {"Scroll left", 1490.0f}, {"Scroll right", 1510.0f},
    };
    for (const auto& [entry, expectedStart] : entries) {
        StartAt(1500.0f);
        PickFromBarMenu(QScrollBar::tr(entry));
        EXPECT_FLOAT_EQ(g_chart.XStart(), expectedStart) << entry;
        EXPECT_EQ(bar->value(), ThumbForTheWindow()) << entry;
        EXPECT_EQ(bar->sliderPosition(), bar->value()) << entry;
    }
}

// "Scroll here" puts the thumb under the click: the chart follows as if the
// thumb had been dragged there.
TEST_F(ChartScroll, ScrollHereMovesTheChartWhereTheThumbGoes)
{
    StartAt(0.0f);
    PickFromBarMenu(QScrollBar::tr("Scroll here"));
    // The middle of the bar lies well inside the extent, short of its end.
    EXPECT_GT(g_chart.XStart(), 500.0f);
    EXPECT_LT(g_chart.XStart(), 2000.0f);
    EXPECT_EQ(bar->value(), ThumbForTheWindow());
    EXPECT_EQ(bar->sliderPosition(), bar->value());
    EXPECT_GT(SettleRepaints(), 0);
    ExpectWindowInsideExtent();
}

// A notch of the wheel over the bar is three line steps of 10 units; half
// notches add up, and turning it back returns.
TEST_F(ChartScroll, WheelOverTheBarStepsByLines)
{
    StartAt(1500.0f);
    TurnWheel(-120);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 1530.0f);
    EXPECT_EQ(bar->value(), ThumbForTheWindow());

    TurnWheel(60);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 1530.0f - 10.0f);
    TurnWheel(60);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 1500.0f);
    EXPECT_EQ(bar->value(), 500);
    EXPECT_EQ(bar->sliderPosition(), 500);
}

}  // namespace
