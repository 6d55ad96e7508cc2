// The record decoder: calibration, per-channel clocks and the points each
// edge puts on the chart.
#include "capture/decoder.h"
#include "chart/chart_wnd.h"
#include "fresh_state.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Points = std::vector<std::pair<float, float>>;

Points PointsOf(UINT line)
{
    const auto* points = g_chart.LinePoints(line);
    return points ? Points(points->begin(), points->end()) : Points();
}

class DecoderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProcessState();
        g_chart.AddLine(kCrankLine, 0, 0, 1, TRUE, 10);
        g_chart.AddLine(kCamLine, 0, 0, 1, TRUE, 10);
        g_fCrankHigh = 0.5f;
        g_fCamHigh = 0.4f;
        ResetDecoder();
    }

    // Both calibration records, 1000 ticks each: 0.02 x units per tick.
    void Calibrate()
    {
        Decode('R', 1000, 1);
        Decode('F', 1000, 3);
    }

    bool Decode(unsigned char type, unsigned int ticks, int position)
    {
        return DecodeRecordType(type) && DecodeTickCount(ticks, position);
    }
};

TEST_F(DecoderTest, CalibrationSetsTheScaleAndDrawsNothing)
{
    Calibrate();
    EXPECT_DOUBLE_EQ(g_dTimeScale, 0.02);
    EXPECT_TRUE(PointsOf(kCrankLine).empty());
    EXPECT_EQ(g_fLevelPrev[1], 0.0f);

    ASSERT_TRUE(Decode('R', 500, 5));
    EXPECT_EQ(PointsOf(kCrankLine), (Points{{10.0f, 0.0f}, {10.01f, 0.5f}}));
}

TEST_F(DecoderTest, EachChannelRunsOnItsOwnClock)
{
    Calibrate();
    ASSERT_TRUE(Decode('R', 500, 5));
    ASSERT_TRUE(Decode('r', 250, 7));
    ASSERT_TRUE(Decode('F', 500, 9));
    ASSERT_TRUE(Decode('f', 100, 11));
    EXPECT_EQ(PointsOf(kCrankLine), (Points{{10.0f, 0.0f}, {10.01f, 0.5f}, {20.0f, 0.5f}, {20.01f, 0.0f}}));
    EXPECT_EQ(PointsOf(kCamLine), (Points{{5.0f, 0.0f}, {5.01f, 0.4f}, {7.0f, 0.4f}, {7.01f, 0.0f}}));
}

TEST_F(DecoderTest, TwoRisesInARowDrawAFlatStep)
{
    Calibrate();
    ASSERT_TRUE(Decode('R', 500, 5));
    ASSERT_TRUE(Decode('R', 500, 7));
    const Points crank = PointsOf(kCrankLine);
    ASSERT_EQ(crank.size(), 4u);
    EXPECT_EQ(crank[2], std::make_pair(20.0f, 0.5f));
    EXPECT_EQ(crank[3], std::make_pair(20.01f, 0.5f));
}

TEST_F(DecoderTest, ZeroTicksLandOnThePreviousEdgeAndReplaceItsLevels)
{
    Calibrate();
    ASSERT_TRUE(Decode('R', 500, 5));
    ASSERT_TRUE(Decode('F', 0, 7));
    EXPECT_EQ(PointsOf(kCrankLine), (Points{{10.0f, 0.5f}, {10.01f, 0.0f}}));
}

TEST_F(DecoderTest, BadTypeBytesChangeNothing)
{
    ASSERT_TRUE(DecodeRecordType('r'));
    for (const unsigned char bad : {'d', 'a', '\0', 'X'}) {
        EXPECT_FALSE(DecodeRecordType(bad)) << int(bad);
        EXPECT_EQ(g_nChannel, 2);
        EXPECT_EQ(g_fLevelNew[2], 0.4f);
        EXPECT_EQ(g_fLevelNew[1], 0.0f);
    }
}

TEST_F(DecoderTest, ZeroCalibrationIsRefusedAndDrawsNothing)
{
    g_dTimeScale = 0.02;
    EXPECT_TRUE(Decode('R', 0, 1));
    EXPECT_FALSE(Decode('F', 0, 3));
    EXPECT_DOUBLE_EQ(g_dTimeScale, 0.02);
    EXPECT_TRUE(PointsOf(kCrankLine).empty());
}

TEST_F(DecoderTest, ResetStartsBothClocksAndLevelsAfresh)
{
    Calibrate();
    ASSERT_TRUE(Decode('R', 500, 5));
    g_chart.ClearPoints();
    ResetDecoder();
    Calibrate();
    ASSERT_TRUE(Decode('R', 100, 5));
    EXPECT_EQ(PointsOf(kCrankLine), (Points{{2.0f, 0.0f}, {2.01f, 0.5f}}));
}

}  // namespace
