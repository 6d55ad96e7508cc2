// Marks over the traces: painted at their x along the top, in their own
// colour, over a trace that runs there; hidden on request; cleared with
// the points; and a chart without marks paints exactly as before.
#include "chart_fixture.h"

namespace {

const COLORREF kBack = RGB(0, 0, 0);
const COLORREF kTrace = RGB(0, 100, 255);
const COLORREF kMark = RGB(255, 0, 255);

class ChartMarks : public ChartFixture {
protected:
    // A 700-pixel window over x 0 to 1000, a trace along the very top.
    void SetUpTraceAlongTheTop()
    {
        CreateChart(700, 200);
        g_chart.SetBackColor(kBack);
        g_chart.SetGrid(FALSE);
        g_chart.AddLine(1, kTrace, PS_SOLID, 3, TRUE, 0);
        g_chart.AddPoint(1, 0.0f, 0.0f, FALSE);
        g_chart.AddPoint(1, 1000.0f, 0.0f, FALSE);
        Inspect::XStart(g_chart) = 0.0f;
        Inspect::YMin(g_chart) = 0.0f;
        Inspect::YMax(g_chart) = 0.0f;  // every point on the bottom row...
    }
};

TEST_F(ChartMarks, HangFromTheTopAtTheirXInTheirOwnColourOverTheTraces)
{
    SetUpTraceAlongTheTop();
    const QImage before = PaintChart();
    g_chart.SetMarks({}, kMark);
    EXPECT_EQ(PaintChart(), before);  // no marks, no change

    // x 500 of 0..1000 is column 350; x 2000 lies beyond the window.
    g_chart.SetMarks({2000.0f, 500.0f}, kMark);
    const QImage marked = PaintChart();
    EXPECT_EQ(marked.pixel(350, 0), ToRgb(kMark));
    EXPECT_EQ(marked.pixel(345, 0), ToRgb(kMark));
    EXPECT_EQ(marked.pixel(350, 11), ToRgb(kMark));
    EXPECT_EQ(marked.pixel(340, 0), ToRgb(kBack));
    EXPECT_EQ(marked.pixel(350, 30), ToRgb(kBack));
    // A triangle of rows 11, 9, ..., 1 pixels wide, and a stem to row 11.
    EXPECT_EQ(CountPixels(marked, kMark), 11 + 9 + 7 + 5 + 3 + 1 + 6);
    EXPECT_EQ(marked.pixel(350, 199), ToRgb(kTrace));  // ...and the trace still there below

    g_chart.ShowMarks(FALSE);
    EXPECT_EQ(PaintChart(), before);
    g_chart.ShowMarks(TRUE);
    g_chart.ClearPoints();
    EXPECT_TRUE(g_chart.Marks().empty());
}

TEST_F(ChartMarks, LieOverATraceThatRunsAlongTheTop)
{
    SetUpTraceAlongTheTop();
    Inspect::YMin(g_chart) = -1.0f;  // y 0 now maps near the top: row 200 - trunc(200 * 0.975) = 5
    g_chart.SetMarks({500.0f}, kMark);
    const QImage image = PaintChart();
    EXPECT_EQ(image.pixel(350, 5), ToRgb(kMark));
    EXPECT_EQ(image.pixel(100, 5), ToRgb(kTrace));
}

}  // namespace
