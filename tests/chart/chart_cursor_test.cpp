// The cursors and the stepping keys, as a user reaches them: the pointer
// and the keyboard on the chart's window.
#include "chart_fixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

namespace {

const COLORREF kTrace = RGB(255, 0, 0);
constexpr int kWidth = 700;
constexpr int kHeight = 200;

class ChartCursors : public ChartFixture {
protected:
    // An edge every 10 x units from 0 to `last`, as the decoder draws them.
    void CreateSquareWave(double last)
    {
        CreateChart(kWidth, kHeight);
        g_chart.AddLine(1, kTrace, PS_SOLID, 1, TRUE, 0);
        g_chart.SetEdgeLine(1);
        bool high = false;
        for (double x = 0.0; x <= last; x += 10.0) {
            g_chart.AddPoint(1, float(x), high ? 1.0f : 0.0f, FALSE);
            g_chart.AddPoint(1, float(x + 0.01), high ? 0.0f : 1.0f, FALSE);
            high = !high;
        }
        g_chart.ShowX(0.0);
        m_client = ClientWidget(g_chart);
        m_client->setFocus();
    }

    double XAtColumn(int column) const { return g_chart.XStart() + (column + 0.5) * g_chart.XSpan() / kWidth; }

    void Press(Qt::Key key) { QTest::keyClick(m_client, key); }

    QWidget* m_client = nullptr;
};

TEST_F(ChartCursors, KeysPlaceCursorsAtThePointerADragMovesOneEscapeHidesThem)
{
    CreateSquareWave(3000.0);
    g_chart.SetGrid(FALSE);
    QTest::mouseMove(m_client, QPoint(200, 60));
    Press(Qt::Key_1);
    QTest::mouseMove(m_client, QPoint(400, 60));
    Press(Qt::Key_2);
    ASSERT_TRUE(g_chart.Cursor(0) && g_chart.Cursor(1));
    EXPECT_DOUBLE_EQ(*g_chart.Cursor(0), XAtColumn(200));
    EXPECT_DOUBLE_EQ(*g_chart.Cursor(1), XAtColumn(400));
    const QImage image = PaintChart();
    EXPECT_EQ(image.pixel(200, 150), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(400, 150), qRgb(255, 140, 0));

    // Grabbed two pixels off its line, cursor 2 follows the pointer.
    QTest::mousePress(m_client, Qt::LeftButton, Qt::NoModifier, QPoint(402, 60));
    QTest::mouseMove(m_client, QPoint(500, 60));
    QTest::mouseRelease(m_client, Qt::LeftButton, Qt::NoModifier, QPoint(500, 60));
    EXPECT_DOUBLE_EQ(*g_chart.Cursor(1), XAtColumn(500));
    EXPECT_DOUBLE_EQ(*g_chart.Cursor(0), XAtColumn(200));

    // Escape hides them; with none shown it is left to the windows below.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(m_client, &escape);
    EXPECT_TRUE(escape.isAccepted());
    EXPECT_FALSE(g_chart.Cursor(0) || g_chart.Cursor(1));
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(m_client, &again);
    EXPECT_FALSE(again.isAccepted());
}

TEST_F(ChartCursors, BracketsStepTheActiveCursorFromEdgeToEdgeScrollingAsNeeded)
{
    CreateSquareWave(3000.0);
    g_chart.SetCursor(0, 23.0);
    Press(Qt::Key_BracketRight);
    EXPECT_FLOAT_EQ(float(*g_chart.Cursor(0)), 30.0f);
    Press(Qt::Key_BracketRight);
    EXPECT_FLOAT_EQ(float(*g_chart.Cursor(0)), 40.0f);
    Press(Qt::Key_BracketLeft);
    Press(Qt::Key_BracketLeft);
    EXPECT_FLOAT_EQ(float(*g_chart.Cursor(0)), 20.0f);

    // Cursor 2 placed last is the one that steps; past the view's edge the
    // view centres on it.
    g_chart.SetCursor(1, 995.0);
    Press(Qt::Key_BracketRight);
    Press(Qt::Key_BracketRight);
    EXPECT_FLOAT_EQ(float(*g_chart.Cursor(1)), 1010.0f);
    EXPECT_FLOAT_EQ(float(*g_chart.Cursor(0)), 20.0f);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 510.0f);

    // Before the first edge there is none to step to.
    g_chart.SetCursor(0, 0.0);
    Press(Qt::Key_BracketLeft);
    EXPECT_EQ(*g_chart.Cursor(0), 0.0);
}

TEST_F(ChartCursors, NAndPStepThroughTheMarksAndStopAtEitherEnd)
{
    CreateSquareWave(12000.0);
    g_chart.SetMarks({3000.0f, 6000.0f, 11990.0f}, RGB(255, 0, 255));
    Press(Qt::Key_N);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 2500.0f);
    Press(Qt::Key_N);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 5500.0f);
    // The last mark: the view stops at the extent's end, the mark in it.
    Press(Qt::Key_N);
    const float atEnd = g_chart.XStart();
    EXPECT_FLOAT_EQ(atEnd + g_chart.XSpan(), g_chart.XMax());
    EXPECT_LE(atEnd, 11990.0f);
    Press(Qt::Key_N);
    EXPECT_EQ(g_chart.XStart(), atEnd);
    Press(Qt::Key_P);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 5500.0f);
    Press(Qt::Key_P);
    Press(Qt::Key_P);
    EXPECT_FLOAT_EQ(g_chart.XStart(), 2500.0f);
}

}  // namespace
