// The chart's paints, read back pixel by pixel from the window.
#include "chart_fixture.h"

#include <set>

namespace {

const COLORREF kBack = RGB(10, 20, 30);
const COLORREF kGrid = RGB(0, 128, 0);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);

std::set<int> GridColumnsOnRow(const QImage& image, int row)
{
    std::set<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, row) == ToRgb(kGrid))
            columns.insert(x);
    }
    return columns;
}

std::set<int> GridRowsInColumn(const QImage& image, int column)
{
    std::set<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        if (image.pixel(column, y) == ToRgb(kGrid))
            rows.insert(y);
    }
    return rows;
}

std::set<int> Every(int step, int first, int last)
{
    std::set<int> values;
    for (int v = first; v <= last; v += step)
        values.insert(v);
    return values;
}

class ChartPaint : public ChartFixture {
protected:
    void CreateUnitChart()
    {
        CreateChart(700, 200);
        g_chart.SetBackColor(kBack);
    }

    // Once the points are in: the window from 0 to 1000 and the y range 0 to
    // 1, so that y 0.5 lies on row 200 - trunc(200 * (0.95 * 0.5 + 0.025)) = 100.
    static void ShowUnitRange()
    {
        Inspect::XStart(g_chart) = 0.0f;
        Inspect::YMin(g_chart) = 0.0f;
        Inspect::YMax(g_chart) = 1.0f;
    }
};

TEST_F(ChartPaint, FillsTheWholeClientAreaWithTheBackgroundColour)
{
    CreateUnitChart();
    g_chart.AddLine(1, kRed, PS_SOLID, 1, FALSE, 0);  // invisible
    g_chart.AddLine(2, kBlue, PS_SOLID, 1, TRUE, 0);  // empty
    g_chart.AddPoint(1, 500.0f, 0.5f, FALSE);
    g_chart.SetGrid(FALSE);

    const QImage image = PaintChart();
    ASSERT_EQ(image.size(), QSize(700, 200));
    EXPECT_EQ(CountPixels(image, kBack), 700 * 200);
}

TEST_F(ChartPaint, GridAt700x200ShowsNineRowsAndNineteenColumns)
{
    CreateChart(700, 200);
    const QImage image = PaintChart();

    EXPECT_EQ(GridRowsInColumn(image, 10), Every(20, 20, 180));
    EXPECT_EQ(GridColumnsOnRow(image, 10), Every(35, 35, 665));
    // Between the lines the background shows.
    EXPECT_EQ(image.pixel(10, 10), ToRgb(RGB(0, 0, 0)));
}

TEST_F(ChartPaint, GridRowStepDropsTheRemainderOfTheHeight)
{
    CreateChart(700, 205);
    EXPECT_EQ(GridRowsInColumn(PaintChart(), 10), Every(20, 20, 200));
}

TEST_F(ChartPaint, GridColumnsFollowTheWindowStart)
{
    CreateChart(700, 200);
    Inspect::XMax(g_chart) = 2000.0f;
    Inspect::XStart(g_chart) = 100.0f;
    EXPECT_EQ(GridColumnsOnRow(PaintChart(), 10), Every(35, 0, 665));

    // Off the 50-unit step the columns shift with the start.
    Inspect::XStart(g_chart) = 110.0f;
    EXPECT_EQ(GridColumnsOnRow(PaintChart(), 10), Every(35, 28, 693));
}

TEST_F(ChartPaint, ClientLowerThanTheGridRowsStillPaintsColumnsAndLines)
{
    CreateChart(700, 5);
    g_chart.AddLine(1, kRed, PS_SOLID, 1, TRUE, 0);
    g_chart.AddPoint(1, 0.0f, 0.0f, FALSE);
    g_chart.AddPoint(1, 1000.0f, 1.0f, FALSE);

    // The second point has moved the window on to 100.
    const QImage image = PaintChart();
    EXPECT_TRUE(GridRowsInColumn(image, 10).empty());
    EXPECT_EQ(GridColumnsOnRow(image, 0), Every(35, 0, 665));
    EXPECT_GT(CountPixels(image, kRed), 0);
}

TEST_F(ChartPaint, GridStepBelowOneUnitDrawsEveryWholeUnit)
{
    CreateChart(700, 200);
    Inspect::XGridDivisions(g_chart) = 5000;  // 0.2 x units apart
    // Every whole x unit from 0 to 999 gets a line, which covers each column.
    EXPECT_EQ(GridColumnsOnRow(PaintChart(), 10), Every(1, 0, 699));
}

TEST_F(ChartPaint, LineEntersAtTheLeftEdgeAndLeavesAtTheRight)
{
    CreateUnitChart();
    g_chart.SetGrid(FALSE);
    g_chart.AddLine(1, kRed, PS_SOLID, 1, TRUE, 0);
    g_chart.AddPoint(1, -500.0f, 0.5f, FALSE);
    g_chart.AddPoint(1, 200.0f, 0.5f, FALSE);
    g_chart.AddPoint(1, 800.0f, 0.5f, FALSE);
    g_chart.AddPoint(1, 1500.0f, 0.5f, FALSE);
    ShowUnitRange();

    const QImage image = PaintChart();
    for (int x = 0; x < 700; ++x)
        ASSERT_EQ(image.pixel(x, 100), ToRgb(kRed)) << "column " << x;
    EXPECT_EQ(CountPixels(image, kRed), 700);
}

TEST_F(ChartPaint, OnePointEachSideOfTheWindowDrawsOneSegmentAcross)
{
    CreateUnitChart();
    g_chart.SetGrid(FALSE);
    g_chart.AddLine(1, kRed, PS_SOLID, 1, TRUE, 0);
    g_chart.AddPoint(1, -1000.0f, 0.0f, FALSE);
    g_chart.AddPoint(1, 2000.0f, 1.0f, FALSE);
    ShowUnitRange();

    // From (-700, 195) to (1400, 5): at column 0 about row 132, at 699 about 69.
    const QImage image = PaintChart();
    for (int x : {0, 350, 699}) {
        const int expectedRow = 195 - (x + 700) * 190 / 2100;
        bool found = false;
        for (int y = expectedRow - 1; y <= expectedRow + 1; ++y)
            found = found || image.pixel(x, y) == ToRgb(kRed);
        EXPECT_TRUE(found) << "column " << x;
    }
}

TEST_F(ChartPaint, PointsAllLeftOfTheWindowDrawNothing)
{
    CreateUnitChart();
    g_chart.SetGrid(FALSE);
    g_chart.AddLine(1, kRed, PS_SOLID, 1, TRUE, 0);
    g_chart.AddPoint(1, -300.0f, 0.0f, FALSE);
    g_chart.AddPoint(1, -200.0f, 1.0f, FALSE);
    ShowUnitRange();

    EXPECT_EQ(CountPixels(PaintChart(), kRed), 0);
}

TEST_F(ChartPaint, SinglePointShowsOnlyAsAMarker)
{
    CreateUnitChart();
    g_chart.SetGrid(FALSE);
    g_chart.AddLine(1, kRed, PS_SOLID, 1, TRUE, 0);
    g_chart.AddLine(2, kBlue, PS_SOLID | CLS_MARKERS, 1, TRUE, 0);
    g_chart.AddPoint(1, 200.0f, 0.5f, FALSE);
    g_chart.AddPoint(2, 500.0f, 0.5f, FALSE);
    ShowUnitRange();

    const QImage image = PaintChart();
    EXPECT_EQ(CountPixels(image, kRed), 0);
    // A filled circle around (350, 100).
    EXPECT_EQ(image.pixel(350, 100), ToRgb(kBlue));
    EXPECT_EQ(image.pixel(348, 102), ToRgb(kBlue));
    EXPECT_EQ(image.pixel(345, 95), ToRgb(kBack));  // outside the circle's corner
}

// A point billions of pixels away maps to the end of int's range; its
// marker is clipped away instead of overflowing the marker's box.
TEST_F(ChartPaint, MarkerOfAPointFarOutsideTheWindowIsClippedAway)
{
    CreateUnitChart();
    g_chart.SetGrid(FALSE);
    g_chart.AddLine(1, kBlue, PS_SOLID | CLS_MARKERS, 1, TRUE, 0);
    g_chart.AddPoint(1, -5e9f, 0.5f, FALSE);
    g_chart.AddPoint(1, 5e9f, 0.5f, FALSE);
    // A negative width turns the marker's box inside out at the same ends.
    g_chart.AddLine(2, kRed, PS_SOLID | CLS_MARKERS, -4, TRUE, 0);
    g_chart.AddPoint(2, -5e9f, 0.0f, FALSE);
    ShowUnitRange();

    const QImage image = PaintChart();
    // Only the segment between them crosses the window, along row 100.
    EXPECT_EQ(image.pixel(350, 100), ToRgb(kBlue));
    EXPECT_EQ(CountPixels(image, kBlue), 700);
    EXPECT_EQ(CountPixels(image, kRed), 0);
}

// The marker's outline is the line's pen around the bounding box of
// h = width + 2 either side of the point, so on the point's row it spans
// from about x - h - width / 2 to x + h + width / 2.
TEST_F(ChartPaint, MarkerGrowsWithTheLineWidth)
{
    CreateUnitChart();
    g_chart.SetGrid(FALSE);
    g_chart.AddLine(1, kRed, PS_SOLID | CLS_MARKERS, 1, TRUE, 0);
    g_chart.AddPoint(1, 500.0f, 0.5f, FALSE);
    ShowUnitRange();

    for (int width : {1, 2, 4, 8}) {
        g_chart.SetLineWidth(1, width, FALSE);
        const QImage image = PaintChart();
        int left = 350;
        while (left > 0 && image.pixel(left - 1, 100) == ToRgb(kRed))
            --left;
        int right = 350;
        while (right < 699 && image.pixel(right + 1, 100) == ToRgb(kRed))
            ++right;
        const int h = width + 2;
        EXPECT_NEAR(350 - left, h + width / 2, 1) << "width " << width;
        EXPECT_NEAR(right - 350, h + width / 2, 1) << "width " << width;
    }
}

TEST_F(ChartPaint, LaterLinesLieOverEarlierOnesAndAllOverTheGrid)
{
    CreateUnitChart();
    g_chart.AddLine(2, kBlue, PS_SOLID, 1, TRUE, 0);
    g_chart.AddLine(1, kRed, PS_SOLID, 1, TRUE, 0);
    for (UINT id : {1u, 2u}) {
        g_chart.AddPoint(id, 0.0f, 0.5f, FALSE);
        g_chart.AddPoint(id, 1000.0f, 0.5f, FALSE);
    }
    ShowUnitRange();

    // Row 100 is a grid row and column 350 a grid column.
    const QImage image = PaintChart();
    EXPECT_EQ(image.pixel(350, 100), ToRgb(kBlue));
    EXPECT_EQ(image.pixel(10, 100), ToRgb(kBlue));
}

TEST_F(ChartPaint, ZeroHeightRangePutsEveryPointJustBelowTheLastRow)
{
    CreateUnitChart();
    g_chart.SetGrid(FALSE);
    g_chart.AddLine(1, kRed, PS_SOLID, 1, TRUE, 0);
    g_chart.AddPoint(1, 100.0f, 0.5f, FALSE);
    g_chart.AddPoint(1, 900.0f, 0.5f, FALSE);
    Inspect::YMin(g_chart) = 0.5f;
    Inspect::YMax(g_chart) = 0.5f;
    EXPECT_EQ(CountPixels(PaintChart(), kRed), 0);

    // Only a wider pen reaches above row 200.
    g_chart.SetLineWidth(1, 4, FALSE);
    const QImage image = PaintChart();
    EXPECT_EQ(image.pixel(350, 199), ToRgb(kRed));
    EXPECT_EQ(image.pixel(350, 195), ToRgb(kBack));
}

TEST_F(ChartPaint, DashedLineGapsArePaintedInTheBackgroundColour)
{
    CreateUnitChart();
    g_chart.AddLine(1, kRed, PS_DASH, 1, TRUE, 0);
    g_chart.AddPoint(1, 0.0f, 0.5f, FALSE);
    g_chart.AddPoint(1, 1000.0f, 0.5f, FALSE);
    ShowUnitRange();

    // Row 100 is a grid row: the gaps cover the grid, not let it through.
    const QImage image = PaintChart();
    int dashes = 0;
    int gaps = 0;
    for (int x = 0; x < 700; ++x) {
        const QRgb pixel = image.pixel(x, 100);
        dashes += pixel == ToRgb(kRed) ? 1 : 0;
        gaps += pixel == ToRgb(kBack) ? 1 : 0;
    }
    EXPECT_GT(dashes, 0);
    EXPECT_GT(gaps, 0);
    EXPECT_EQ(dashes + gaps, 700);
}

// Styles past PS_NULL are drawn as the window system draws them: solid, and
// with their markers; wide dashed and dotted pens are solid too.
TEST_F(ChartPaint, StylesTheSystemDoesNotDashDrawSolidWithTheirMarkers)
{
    CreateUnitChart();
    g_chart.SetGrid(FALSE);
    g_chart.AddLine(1, kRed, PS_SOLID | CLS_MARKERS, 1, TRUE, 0);
    for (float x : {0.0f, 500.0f, 1000.0f})
        g_chart.AddPoint(1, x, 0.5f, FALSE);
    ShowUnitRange();

    const std::pair<int, int> stylesAndWidths[] = {
        {PS_INSIDEFRAME, 1}, {7, 1}, {8, 1}, {9, 1}, {0x12345, 1}, {-3, 1}, {PS_DASH, 2}, {PS_DOT, 3},
    };
    for (const auto& [style, width] : stylesAndWidths) {
        g_chart.SetLinePenStyle(1, style, FALSE);
        g_chart.SetLineWidth(1, width, FALSE);
        const QImage image = PaintChart();
        int gaps = 0;
        for (int x = 0; x < 700; ++x)
            gaps += image.pixel(x, 100) == ToRgb(kRed) ? 0 : 1;
        EXPECT_EQ(gaps, 0) << "style " << style << " width " << width;
        // The middle point's marker: a filled circle above and below the line.
        EXPECT_EQ(image.pixel(350, 97), ToRgb(kRed)) << "style " << style;
        EXPECT_EQ(image.pixel(350, 103), ToRgb(kRed)) << "style " << style;
    }
}

// A wide PS_INSIDEFRAME pen keeps the marker's outline inside the marker's
// box, where a solid pen of the same width reaches half its width beyond.
TEST_F(ChartPaint, InsideFrameMarkerStaysInsideItsBox)
{
    CreateUnitChart();
    g_chart.SetGrid(FALSE);
    g_chart.AddLine(1, kRed, PS_INSIDEFRAME | CLS_MARKERS, 6, TRUE, 0);
    g_chart.AddPoint(1, 500.0f, 0.5f, FALSE);
    ShowUnitRange();

    // Point (350, 100), h = 6 + 2: the box spans columns and rows 342 to 357
    // and 92 to 107.
    const auto redOutsideTheBox = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool inside = x >= 342 && x < 358 && y >= 92 && y < 108;
                count += !inside && image.pixel(x, y) == ToRgb(kRed) ? 1 : 0;
            }
        }
        return count;
    };
    QImage image = PaintChart();
    EXPECT_EQ(redOutsideTheBox(image), 0);
    EXPECT_EQ(image.pixel(343, 100), ToRgb(kRed));  // the outline reaches the box's edge
    EXPECT_EQ(image.pixel(350, 100), ToRgb(kRed));  // and the inside is filled

    g_chart.SetLinePenStyle(1, PS_SOLID, FALSE);
    EXPECT_GT(redOutsideTheBox(PaintChart()), 0);
}

}  // namespace
