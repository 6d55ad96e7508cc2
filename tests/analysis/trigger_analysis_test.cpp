// Clean captures of several wheels, steady and cranking: the analysis must
// name the wheel, place the cam where the model put it, give the speed the
// model turned at, and raise no alarm at all.
#include "generated_capture.h"

#include "analysis/trigger_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace dentora::testing {
namespace {

struct WheelCase {
    const char* name;
    sim::EngineConfig config;
    const char* pattern;
};

void PrintTo(const WheelCase& wheel, std::ostream* out)
{
    *out << wheel.name;
}

// The simulator's cam start and the analysis's cam angle share their
// reference, tooth 1's rising edge; which revolution of the two starts
// the 720° cycle the crank cannot tell.
double ExpectedCamAngle(const sim::EngineConfig& config)
{
    return std::fmod(config.camStartDegrees, 360.0);
}

class CleanWheel : public ::testing::TestWithParam<WheelCase> {};

TEST_P(CleanWheel, IsNamedPlacedAndTimedWithoutAlarms)
{
    const WheelCase& wheel = GetParam();
    const auto records = GeneratedCapture(wheel.config, 1500);
    const TriggerReport report = AnalyzeTrigger(records, {wheel.config.tickMicros});

    EXPECT_EQ(report.wheel.Pattern(), wheel.pattern);
    EXPECT_GE(report.wheel.revolutionsSeen, 4);
    EXPECT_EQ(report.wheel.revolutionsAgreeing, report.wheel.revolutionsSeen);
    for (const Anomaly& anomaly : report.anomalies)
        ADD_FAILURE() << "false alarm: " << anomaly.reason << " at " << anomaly.at.ticks;

    // Tooth 1 follows the gap, the rest in order, once per revolution.
    for (std::size_t i = 1; i < report.teeth.size(); ++i) {
        const int expected = report.teeth[i - 1].number % report.wheel.teethPresent + 1;
        ASSERT_EQ(report.teeth[i].number, expected) << "tooth " << i;
    }

    ASSERT_EQ(report.cam.pulsesPer720, 1);
    ASSERT_EQ(report.cam.locations.size(), 1u);
    const CamLocation& cam = report.cam.locations.front();
    const double slot = 360.0 / wheel.config.teeth;
    const double angle =
        report.wheel.sizedByCam ? std::fmod(ExpectedCamAngle(wheel.config), slot) : ExpectedCamAngle(wheel.config);
    EXPECT_NEAR(cam.meanAngle, angle, 0.5);
    EXPECT_LT(cam.maxAngle - cam.minAngle, 1.0);
    EXPECT_EQ(cam.tooth, int(angle / slot) + 1);
    EXPECT_GE(cam.pulses, 2);
}

INSTANTIATE_TEST_SUITE_P(Wheels, CleanWheel,
                         ::testing::Values(WheelCase{"Steady36Minus1", Wheel(36, 1), "36-1"},
                                           WheelCase{"Steady60Minus2", Wheel(60, 2), "60-2"},
                                           WheelCase{"Steady24Minus1WithCamLate", Wheel(24, 1, 200.0), "24-1"},
                                           WheelCase{"Steady12Plus1", Wheel(12, 0), "12+1"},
                                           WheelCase{"Cranking36Minus1", Cranking(Wheel(36, 1)), "36-1"},
                                           WheelCase{"Cranking60Minus2", Cranking(Wheel(60, 2)), "60-2"},
                                           WheelCase{"Cranking24Minus1WithCamLate", Cranking(Wheel(24, 1, 200.0)),
                                                     "24-1"},
                                           WheelCase{"Cranking12Plus1", Cranking(Wheel(12, 0)), "12+1"}),
                         [](const ::testing::TestParamInfo<WheelCase>& info) { return std::string(info.param.name); });

TEST(TriggerSpeed, SteadyWheelTurnsAtTheModelsSpeedAndUnknownWithoutTickLength)
{
    const sim::EngineConfig config = Wheel(36, 1);
    const double rpm = sim::ResolveTiming(config).effectiveRpm;
    const auto records = GeneratedCapture(config, 800);

    const TriggerReport timed = AnalyzeTrigger(records, {4.0});
    ASSERT_TRUE(timed.speed.meanRpm);
    EXPECT_NEAR(*timed.speed.minRpm, rpm, rpm * 1e-3);
    EXPECT_NEAR(*timed.speed.maxRpm, rpm, rpm * 1e-3);

    const TriggerReport untimed = AnalyzeTrigger(records, {});
    EXPECT_FALSE(untimed.speed.meanRpm);
    EXPECT_FALSE(untimed.teeth.front().rpm);
}

TEST(TriggerSpeed, CrankingSpansTheStartToTheTopSpeed)
{
    const sim::EngineConfig config = Cranking(Wheel(36, 1));
    const TriggerReport report = AnalyzeTrigger(GeneratedCapture(config, 4049), {8.0});
    ASSERT_TRUE(report.speed.meanRpm);
    EXPECT_NEAR(*report.speed.minRpm, 300.0, 300.0 * 0.02);
    EXPECT_NEAR(*report.speed.maxRpm, 4000.0, 4000.0 * 0.02);
    // Each tooth's ratio to the one before is the speed-up over one tooth position.
    const CrankTooth& early = report.teeth[5];
    ASSERT_TRUE(early.ratio);
    EXPECT_NEAR(*early.ratio, std::pow(1.3, -1.0 / 36), 0.01);
}

TEST(TriggerTeeth, PeriodsDutiesAndGapRatiosOfASteadyWheel)
{
    const sim::EngineConfig config = Wheel(36, 1);
    const sim::EngineTiming timing = sim::ResolveTiming(config);
    const TriggerReport report = AnalyzeTrigger(GeneratedCapture(config, 400));
    const double scale = sim::ChartUnitsPerTick(timing);
    EXPECT_DOUBLE_EQ(report.chartUnitsPerTick, scale);
    for (const CrankTooth& tooth : report.teeth) {
        const bool lastBeforeGap = tooth.number == 35;
        EXPECT_EQ(tooth.periodTicks, (lastBeforeGap ? 2 : 1) * timing.toothTicks);
        EXPECT_EQ(tooth.span, lastBeforeGap ? 2 : 1);
        ASSERT_TRUE(tooth.duty);
        EXPECT_NEAR(*tooth.duty, double(timing.crankHighTicks) / double(tooth.periodTicks), 1e-9);
        EXPECT_DOUBLE_EQ(tooth.rise.chartX, double(tooth.rise.ticks) * scale);
        if (tooth.ratio) {
            EXPECT_DOUBLE_EQ(*tooth.ratio, lastBeforeGap ? 2.0 : tooth.number == 1 ? 0.5 : 1.0);
        }
    }
}

TEST(TriggerTeeth, HoverFindsTheToothWhosePeriodHoldsThePoint)
{
    const TriggerReport report = AnalyzeTrigger(GeneratedCapture(Wheel(36, 1), 400));
    ASSERT_GT(report.teeth.size(), 10u);
    const CrankTooth& tooth = report.teeth[10];
    EXPECT_EQ(ToothAt(report, tooth.rise.chartX), &tooth);
    EXPECT_EQ(ToothAt(report, (tooth.rise.chartX + tooth.nextRise.chartX) / 2), &tooth);
    EXPECT_EQ(ToothAt(report, tooth.nextRise.chartX), &report.teeth[11]);
    EXPECT_EQ(ToothAt(report, report.teeth.front().rise.chartX - 0.1), nullptr);
    EXPECT_EQ(ToothAt(report, report.teeth.back().nextRise.chartX + 0.1), nullptr);
}

TEST(TriggerDegenerate, ShortOrUncalibratedCapturesGiveAnUnknownWheel)
{
    for (const auto& records : {std::vector<TriggerRecord>{}, std::vector<TriggerRecord>{{'R', 100}},
                                std::vector<TriggerRecord>{{'R', 0}, {'F', 0}, {'R', 5}, {'F', 5}, {'R', 5}}}) {
        const TriggerReport report = AnalyzeTrigger(records, {4.0});
        EXPECT_FALSE(report.wheel.Known());
        EXPECT_EQ(report.chartUnitsPerTick, 0.0);
        EXPECT_FALSE(report.speed.meanRpm);
        EXPECT_TRUE(report.anomalies.empty());
    }
}

}  // namespace
}  // namespace dentora::testing
