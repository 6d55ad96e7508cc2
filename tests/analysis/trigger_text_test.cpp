// The plain-text report and the wheel check the dialog and the command-line
// tool share.
#include "generated_capture.h"

#include "analysis/trigger_text.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace dentora::testing {
namespace {

TEST(TriggerText, ReportNamesWheelCamSpeedAndEachAnomaly)
{
    sim::EngineConfig config = Wheel(36, 1);
    config.rpm = 1500;
    char speed[64];
    std::snprintf(speed, sizeof speed, "Speed: %.0f rpm min, %.0f mean, %.0f max",
                  sim::ResolveTiming(config).effectiveRpm, sim::ResolveTiming(config).effectiveRpm,
                  sim::ResolveTiming(config).effectiveRpm);
    const TriggerReport clean = AnalyzeTrigger(GeneratedCapture(config, 1000), {4.0});
    const std::string text = FormatTriggerReport(clean);
    EXPECT_NE(text.find("Wheel: 36-1 (35 teeth, 1 missing per revolution)"), std::string::npos) << text;
    EXPECT_NE(text.find("after tooth 7 at 60.0°"), std::string::npos) << text;
    EXPECT_NE(text.find(speed), std::string::npos) << text;
    EXPECT_NE(text.find("Anomalies: none"), std::string::npos) << text;

    config.faults.glitchAfterTooth = 20;
    const TriggerReport faulty = AnalyzeTrigger(GeneratedCapture(config, 1000));
    const std::string faultyText = FormatTriggerReport(faulty);
    EXPECT_NE(faultyText.find("Speed: unknown (set the tick length)"), std::string::npos) << faultyText;
    ASSERT_EQ(faulty.anomalies.size(), 1u);
    EXPECT_NE(faultyText.find("Anomalies: 1\n  " + FormatAnomaly(faulty.anomalies.front())), std::string::npos)
        << faultyText;
    EXPECT_EQ(
        FormatAnomaly(faulty.anomalies.front()).find(std::to_string(faulty.anomalies.front().at.ticks) + " ticks (x "),
        0u);
}

// A wheel without a gap, caught for less than one cam cycle: one cam pulse
// that nothing places, counted in the singular.
TEST(TriggerText, OneCamPulseOfAnUnknownWheelIsOnePulse)
{
    const TriggerReport report = AnalyzeTrigger(GeneratedCapture(Wheel(24, 0), 60));
    ASSERT_FALSE(report.wheel.Known());
    ASSERT_EQ(report.cam.pulses.size(), 1u);
    const std::string text = FormatTriggerReport(report);
    EXPECT_NE(text.find("Cam: 1 pulse, not placed"), std::string::npos) << text;
}

TEST(TriggerText, ToothSummaryGivesMicrosecondsAndRpmOnlyWithATickLength)
{
    sim::EngineConfig config = Wheel(36, 1);
    config.rpm = 60e6 / (36 * 4 * 250.0);  // a tooth position of 250 ticks, 1 ms
    const auto records = GeneratedCapture(config, 400);
    const TriggerReport timed = AnalyzeTrigger(records, {4.0});
    const CrankTooth& gap = timed.teeth[34];
    ASSERT_EQ(gap.number, 35);
    EXPECT_EQ(FormatTooth(timed, gap),
              "Tooth 35 after the gap, before a gap of 1\n"
              "At 340.0° on the wheel, measured 340.0°\n"
              "Period 500 ticks = 2000.0 µs, 1667 rpm\n"
              "Ratio to the previous tooth 2.00\nDuty 0.25");
    const TriggerReport untimed = AnalyzeTrigger(records);
    EXPECT_EQ(FormatTooth(untimed, untimed.teeth[35]),
              "Tooth 1 after the gap\nAt 0.0° on the wheel, measured 0.0°\nPeriod 250 ticks\n"
              "Ratio to the previous tooth 0.50\nDuty 0.50");
}

TEST(WheelPatternCheck, AgreesWithTheWheelAndCamItWasGivenOnly)
{
    const TriggerReport report = AnalyzeTrigger(GeneratedCapture(Wheel(36, 1), 1000));
    std::string error;
    const auto check = [&](const char* text) {
        const auto pattern = ParseWheelPattern(text, &error);
        EXPECT_TRUE(pattern) << text << ": " << error;
        return pattern ? CheckWheelPattern(report, *pattern) : PatternCheck{};
    };
    EXPECT_TRUE(check("36-1").matches);
    EXPECT_TRUE(check("36-1,cam-tooth=7,cam-angle=60").matches);
    EXPECT_TRUE(check("36-1,cam-angle=61,tolerance=1.5").matches);

    const PatternCheck wrongWheel = check("60-2");
    EXPECT_FALSE(wrongWheel.matches);
    EXPECT_EQ(wrongWheel.differences, std::vector<std::string>{"the wheel is 36-1, not 60-2"});
    const PatternCheck wrongCam = check("36-1,cam-tooth=8,cam-angle=70");
    EXPECT_FALSE(wrongCam.matches);
    EXPECT_EQ(wrongCam.differences.size(), 2u);
}

TEST(WheelPatternCheck, RefusesWhatIsNoPattern)
{
    for (const char* text : {"", "36", "36-36", "x-1", "36-1,cam-tooth=0", "36-1,cam-tooth=73", "36-1,cam-angle=720",
                             "36-1,colour=red", "36-1,"}) {
        std::string error;
        EXPECT_FALSE(ParseWheelPattern(text, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

}  // namespace
}  // namespace dentora::testing
