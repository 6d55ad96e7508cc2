// The chart's model through its public operations: lines, points, the
// window that follows new points, the extents, the scroll bar as the real
// bar shows it, the messages that reach the parent and what repaints.
#include "chart/chart_wnd.h"
#include "paint_counter.h"
#include "platform/wnd_testing.h"

#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// The chart's parent: records what the chart posts to it.
class RecordingParent : public CWnd {
public:
    std::vector<PostedMessage> received;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        received.push_back({message, wParam, lParam});
        return 0;
    }
};

constexpr UINT kLine = 1;
constexpr UINT kOtherLine = 2;
constexpr UINT kUndefinedLine = 99;

class ChartModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.resize(800, 300);
        parent.Attach(&host, nullptr, 0);
        ASSERT_TRUE(chart.Create(WS_VISIBLE | CWS_NOTIFY, RECT{0, 0, 700, 240}, &parent, 1000));
        ASSERT_TRUE(chart.AddLine(kLine, RGB(0, 100, 255), 0, 1, TRUE, 10));
        ASSERT_TRUE(chart.AddLine(kOtherLine, RGB(255, 255, 0), 0, 1, TRUE, 10));
        host.show();
        ClientWidget(chart)->installEventFilter(&paints);
        Settle();
    }

    // Delivers posted messages and pending paints, then forgets them.
    void Settle()
    {
        QApplication::processEvents();
        QApplication::processEvents();
        parent.received.clear();
        paints.paints = 0;
    }

    int Repaints()
    {
        QApplication::processEvents();
        QApplication::processEvents();
        return paints.paints;
    }

    std::vector<PostedMessage> Delivered()
    {
        QApplication::processEvents();
        return parent.received;
    }

    QScrollBar* Bar() { return HorizontalScrollBar(chart); }

    QWidget host;
    RecordingParent parent;
    CChartWnd chart;
    PaintCounter paints;
};

TEST_F(ChartModelTest, CreationSetsTheDefaultsAndAWholeExtentScrollBar)
{
    EXPECT_EQ(chart.GetBackColor(), 0u);
    EXPECT_TRUE(chart.GridOn());
    EXPECT_FLOAT_EQ(chart.XStart(), 0.0f);
    EXPECT_FLOAT_EQ(chart.XSpan(), 1000.0f);
    EXPECT_FLOAT_EQ(chart.XMin(), 0.0f);
    EXPECT_FLOAT_EQ(chart.XMax(), 1000.0f);
    // Page 1000 of 0..1000: the thumb can stand at 0 or 1, and stands at 0.
    EXPECT_EQ(Bar()->minimum(), 0);
    EXPECT_EQ(Bar()->maximum(), 1);
    EXPECT_EQ(Bar()->pageStep(), 1000);
    EXPECT_EQ(Bar()->value(), 0);
}

TEST(ChartCreation, NotifiesTheParentOnlyWhenAskedTo)
{
    QWidget host;
    RecordingParent parent;
    parent.Attach(&host, nullptr, 0);

    CChartWnd quiet;
    ASSERT_TRUE(quiet.Create(WS_VISIBLE, RECT{0, 0, 100, 100}, &parent, 1));
    quiet.AddLine(kLine, 0, 0, 1, TRUE, 10);
    quiet.AddPoint(kLine, 1.0f, 1.0f, TRUE);
    quiet.AddPoint(kLine, 5000.0f, -3.0f, TRUE);
    QApplication::processEvents();
    EXPECT_TRUE(parent.received.empty());

    CChartWnd notifying;
    ASSERT_TRUE(notifying.Create(WS_VISIBLE | CWS_NOTIFY, RECT{0, 0, 100, 100}, &parent, 2));
    // Posted, so nothing arrives before the event loop runs.
    EXPECT_TRUE(parent.received.empty());
    QApplication::processEvents();
    ASSERT_EQ(parent.received.size(), 2u);
    EXPECT_EQ(parent.received[0].message, WM_CHART_XVIEW);
    EXPECT_EQ(parent.received[0].wParam, 0u);
    EXPECT_EQ(parent.received[0].lParam, 1000);
    EXPECT_EQ(parent.received[1].message, WM_CHART_YRANGE);
}

TEST(ChartCreation, WithoutAParentWindowFailsQuietlyAndPostsNothing)
{
    CWnd noWindow;
    CChartWnd chart;
    EXPECT_FALSE(chart.Create(WS_VISIBLE | CWS_NOTIFY, RECT{0, 0, 100, 100}, &noWindow, 1));
    EXPECT_FALSE(chart.IsWindow());
    // The model still works without a window.
    EXPECT_TRUE(chart.AddLine(kLine, 0, 0, 1, TRUE, 10));
    EXPECT_TRUE(chart.AddPoint(kLine, 10.0f, 1.0f, TRUE));
    EXPECT_TRUE(chart.AddPoint(kLine, 2000.0f, 2.0f, TRUE));
    EXPECT_FLOAT_EQ(chart.XStart(), 1100.0f);
}

TEST_F(ChartModelTest, FirstPointSetsTheYRangeButLeavesTheWindowAlone)
{
    ASSERT_TRUE(chart.AddPoint(kLine, 5000.0f, 0.25f, TRUE));
    EXPECT_FLOAT_EQ(chart.YMin(), 0.25f);
    EXPECT_FLOAT_EQ(chart.YMax(), 0.25f);
    EXPECT_FLOAT_EQ(chart.XStart(), 0.0f);
    EXPECT_FLOAT_EQ(chart.XMax(), 1000.0f);
    EXPECT_EQ(Bar()->maximum(), 1);

    const auto messages = Delivered();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, WM_CHART_XVIEW);
    EXPECT_EQ(messages[1].message, WM_CHART_YRANGE);

    // The same y again leaves a zero-height range.
    chart.AddPoint(kLine, 6000.0f, 0.25f, TRUE);
    EXPECT_FLOAT_EQ(chart.YMin(), chart.YMax());
}

TEST_F(ChartModelTest, WindowFollowsAPointPastNinetyPercentWhenTheLineEndIsInView)
{
    chart.AddPoint(kLine, 0.0f, 0.0f, TRUE);
    chart.AddPoint(kLine, 500.0f, 0.0f, TRUE);
    chart.AddPoint(kLine, 900.0f, 0.0f, TRUE);  // exactly 90 %: no move
    EXPECT_FLOAT_EQ(chart.XStart(), 0.0f);
    EXPECT_FLOAT_EQ(chart.XMax(), 1000.0f);
    Settle();

    chart.AddPoint(kLine, 950.0f, 0.0f, TRUE);
    EXPECT_FLOAT_EQ(chart.XStart(), 50.0f);
    EXPECT_FLOAT_EQ(chart.XMax(), 1050.0f);
    // Thumb at 50 / 1050 of the bar, a page of 1000 / 1050.
    EXPECT_EQ(Bar()->pageStep(), 952);
    EXPECT_EQ(Bar()->value(), 47);
    EXPECT_EQ(Bar()->maximum(), 1000 - 952 + 1);

    const auto messages = Delivered();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].message, WM_CHART_XVIEW);
    EXPECT_EQ(messages[0].wParam, 50u);
    EXPECT_EQ(messages[0].lParam, 1050);
}

TEST_F(ChartModelTest, LineWhoseEndIsOutOfViewDoesNotPullTheWindow)
{
    chart.AddPoint(kOtherLine, 10.0f, 0.0f, TRUE);
    chart.AddPoint(kLine, 500.0f, 0.0f, TRUE);
    chart.AddPoint(kLine, 2000.0f, 0.0f, TRUE);  // follows: window 1100..2100
    ASSERT_FLOAT_EQ(chart.XStart(), 1100.0f);
    const int pageBefore = Bar()->pageStep();

    // The other line ends at 10, left of the window: it only extends.
    chart.AddPoint(kOtherLine, 5000.0f, 0.0f, TRUE);
    EXPECT_FLOAT_EQ(chart.XStart(), 1100.0f);
    EXPECT_FLOAT_EQ(chart.XMax(), 5100.0f);
    EXPECT_LT(Bar()->pageStep(), pageBefore);
    EXPECT_EQ(Bar()->pageStep(), 196);
}

TEST_F(ChartModelTest, PointLeftOfTheExtentLowersItAndKeepsTheWindow)
{
    chart.AddPoint(kLine, 100.0f, 0.0f, TRUE);
    chart.AddPoint(kLine, -500.0f, 0.0f, TRUE);
    EXPECT_FLOAT_EQ(chart.XMin(), -500.0f);
    EXPECT_FLOAT_EQ(chart.XStart(), 0.0f);
    // 0 is a third of the way into -500..1000.
    EXPECT_EQ(Bar()->value(), 333);
    EXPECT_EQ(Bar()->pageStep(), 666);
}

TEST_F(ChartModelTest, YRangeStretchesToEveryPointAndTellsTheParent)
{
    chart.AddPoint(kLine, 1.0f, 0.0f, TRUE);
    Settle();
    chart.AddPoint(kLine, 2.0f, 0.5f, TRUE);
    chart.AddPoint(kOtherLine, 3.0f, -0.4f, TRUE);
    chart.AddPoint(kOtherLine, 4.0f, 0.1f, TRUE);  // inside: no message
    EXPECT_FLOAT_EQ(chart.YMax(), 0.5f);
    EXPECT_FLOAT_EQ(chart.YMin(), -0.4f);

    int yRangeMessages = 0;
    for (const PostedMessage& m : Delivered())
        yRangeMessages += m.message == WM_CHART_YRANGE;
    EXPECT_EQ(yRangeMessages, 2);
}

TEST_F(ChartModelTest, PointAtAnExistingXReplacesItsY)
{
    chart.AddPoint(kLine, 10.0f, 0.0f, TRUE);
    chart.AddPoint(kLine, 10.0f, 0.5f, TRUE);
    const auto* points = chart.LinePoints(kLine);
    ASSERT_NE(points, nullptr);
    ASSERT_EQ(points->size(), 1u);
    EXPECT_FLOAT_EQ(points->at(10.0f), 0.5f);
}

TEST_F(ChartModelTest, LastPointIsTheGreatestXNotTheLatestAdded)
{
    chart.AddPoint(kLine, 500.0f, 0.0f, TRUE);
    chart.AddPoint(kLine, 100.0f, 0.0f, TRUE);
    // The end is 500, so 950 is past 90 % of a window showing 500: follow.
    chart.AddPoint(kLine, 950.0f, 0.0f, TRUE);
    EXPECT_FLOAT_EQ(chart.XStart(), 50.0f);
    const auto* points = chart.LinePoints(kLine);
    EXPECT_EQ(points->begin()->first, 100.0f);
}

TEST_F(ChartModelTest, UndefinedIdsChangeNothingAndNeverRepaint)
{
    Settle();
    EXPECT_FALSE(chart.AddPoint(kUndefinedLine, 1.0f, 1.0f, TRUE));
    EXPECT_FALSE(chart.AppendPoint(kUndefinedLine, 1.0f, TRUE));
    EXPECT_EQ(chart.SetLinePenStyle(kUndefinedLine, PS_DASH, TRUE), 0);
    EXPECT_EQ(chart.SetLineWidth(kUndefinedLine, 5, TRUE), 0);
    EXPECT_EQ(chart.SetLineColor(kUndefinedLine, RGB(1, 2, 3)), 0u);
    EXPECT_EQ(chart.GetLineColor(kUndefinedLine), 0u);
    chart.SetLineVisible(kUndefinedLine, FALSE, TRUE);
    EXPECT_EQ(chart.LinePoints(kUndefinedLine), nullptr);
    EXPECT_EQ(Repaints(), 0);
    EXPECT_TRUE(Delivered().empty());
    EXPECT_FLOAT_EQ(chart.YMax(), 0.0f);
}

TEST_F(ChartModelTest, DefiningAnIdTwiceKeepsTheFirstLine)
{
    chart.AddPoint(kLine, 5.0f, 1.0f, TRUE);
    EXPECT_FALSE(chart.AddLine(kLine, RGB(1, 1, 1), PS_DOT | CLS_MARKERS, 7, FALSE, 3));
    EXPECT_EQ(chart.GetLineColor(kLine), RGB(0, 100, 255));
    EXPECT_EQ(chart.SetLineWidth(kLine, 1, FALSE), 1);
    EXPECT_EQ(chart.SetLinePenStyle(kLine, PS_SOLID, FALSE), PS_SOLID);
    EXPECT_EQ(chart.LinePoints(kLine)->size(), 1u);
}

TEST_F(ChartModelTest, AppendPointStepsOnlyOnAutoStepLines)
{
    EXPECT_FALSE(chart.AppendPoint(kLine, 1.0f, TRUE));
    EXPECT_TRUE(chart.LinePoints(kLine)->empty());

    constexpr UINT kStepped = 3;
    ASSERT_TRUE(chart.AddLine(kStepped, 0, CLS_AUTOSTEP, 1, TRUE, 25));
    EXPECT_TRUE(chart.AppendPoint(kStepped, 1.0f, TRUE));
    EXPECT_TRUE(chart.AppendPoint(kStepped, 2.0f, TRUE));
    EXPECT_TRUE(chart.AppendPoint(kStepped, 3.0f, TRUE));
    const std::map<float, float> expected{{0.0f, 1.0f}, {25.0f, 2.0f}, {50.0f, 3.0f}};
    EXPECT_EQ(*chart.LinePoints(kStepped), expected);
}

TEST_F(ChartModelTest, ClearPointsEmptiesLinesButKeepsTheWindowAndScrollBar)
{
    chart.AddPoint(kLine, 0.0f, -1.0f, TRUE);
    chart.AddPoint(kLine, 500.0f, 2.0f, TRUE);
    chart.AddPoint(kLine, 3000.0f, 0.0f, TRUE);
    chart.AddPoint(kOtherLine, -50.0f, 0.0f, TRUE);
    const float xStart = chart.XStart();
    const float xMax = chart.XMax();
    const int barValue = Bar()->value();
    const int barPage = Bar()->pageStep();
    Settle();

    chart.ClearPoints();
    EXPECT_TRUE(chart.LinePoints(kLine)->empty());
    EXPECT_TRUE(chart.LinePoints(kOtherLine)->empty());
    EXPECT_FLOAT_EQ(chart.YMin(), 0.0f);
    EXPECT_FLOAT_EQ(chart.YMax(), 0.0f);
    EXPECT_FLOAT_EQ(chart.XMin(), 0.0f);
    EXPECT_FLOAT_EQ(chart.XStart(), xStart);
    EXPECT_FLOAT_EQ(chart.XMax(), xMax);
    EXPECT_EQ(Bar()->value(), barValue);
    EXPECT_EQ(Bar()->pageStep(), barPage);
    EXPECT_EQ(chart.GetLineColor(kLine), RGB(0, 100, 255));
    EXPECT_GE(Repaints(), 1);
    EXPECT_FALSE(Delivered().empty());
}

TEST_F(ChartModelTest, RepaintsOnlyWhenTheOperationSaysSo)
{
    chart.SetLineVisible(kLine, FALSE, FALSE);
    chart.SetLineWidth(kLine, 2, FALSE);
    chart.SetLinePenStyle(kLine, PS_DASH, FALSE);
    chart.AddPoint(kLine, 1.0f, 1.0f, FALSE);
    chart.AddLine(7, 0, 0, 1, TRUE, 1);
    EXPECT_EQ(Repaints(), 0);

    chart.SetLineColor(kLine, chart.GetLineColor(kLine));  // same colour
    EXPECT_GE(Repaints(), 1);
    Settle();
    chart.SetGrid(TRUE);
    EXPECT_GE(Repaints(), 1);
    Settle();
    chart.AddPoint(kLine, 2.0f, 1.0f, TRUE);
    EXPECT_GE(Repaints(), 1);
    Settle();
    chart.SetLineVisible(kLine, TRUE, TRUE);
    EXPECT_GE(Repaints(), 1);
}

TEST_F(ChartModelTest, SettersReturnWhatTheyReplace)
{
    EXPECT_EQ(chart.SetBackColor(RGB(10, 20, 30)), 0u);
    EXPECT_EQ(chart.SetBackColor(RGB(1, 2, 3)), RGB(10, 20, 30));
    EXPECT_EQ(chart.SetLineColor(kLine, RGB(9, 9, 9)), RGB(0, 100, 255));
    EXPECT_EQ(chart.GetLineColor(kLine), RGB(9, 9, 9));
    EXPECT_EQ(chart.SetLineWidth(kLine, 4, TRUE), 1);
    EXPECT_EQ(chart.SetLineWidth(kLine, 2, TRUE), 4);
}

TEST_F(ChartModelTest, PointsThatAreNotNumbersAreRefused)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    chart.AddPoint(kLine, 1.0f, 0.0f, TRUE);
    EXPECT_FALSE(chart.AddPoint(kLine, inf, 0.0f, TRUE));
    EXPECT_FALSE(chart.AddPoint(kLine, nan, 0.0f, TRUE));
    EXPECT_FALSE(chart.AddPoint(kLine, 2.0f, -inf, TRUE));
    EXPECT_EQ(chart.LinePoints(kLine)->size(), 1u);
    EXPECT_FLOAT_EQ(chart.XMax(), 1000.0f);
    EXPECT_TRUE(std::isfinite(chart.YMin()));
}

TEST(TruncateToInt, TruncatesTowardZeroAndHoldsAtTheEnds)
{
    EXPECT_EQ(TruncateToInt(2.9), 2);
    EXPECT_EQ(TruncateToInt(-2.9), -2);
    EXPECT_EQ(TruncateToInt(1e30), std::numeric_limits<int>::max());
    EXPECT_EQ(TruncateToInt(-1e30), std::numeric_limits<int>::min());
    EXPECT_EQ(TruncateToInt(std::nan("")), 0);
}

}  // namespace
