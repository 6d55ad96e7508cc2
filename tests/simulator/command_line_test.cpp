#include "simulator/command_line.h"

#include <gtest/gtest.h>

namespace dentora::sim {
namespace {

TEST(CommandLine, ReadsSettingsAndFaultsInBothSpellings)
{
    const SimulatorOptions options = ParseCommandLine({"--rpm", "1200", "--missing-teeth=1", "--ack-delay", "300",
                                                       "--count", "65534", "--bad-type-at", "5", "--bad-type-byte",
                                                       "0x00", "--vanish-after=7", "--no-ack", "--link", "/tmp/x"});
    EXPECT_DOUBLE_EQ(options.controller.engine.rpm, 1200.0);
    EXPECT_EQ(options.controller.engine.missingTeeth, 1);
    EXPECT_EQ(options.controller.acknowledgeDelay.count(), 300);
    EXPECT_EQ(options.controller.countOverride, 65534);
    EXPECT_EQ(options.controller.faults.badTypeAtRecord, 5u);
    EXPECT_EQ(options.controller.faults.badTypeByte, 0x00);
    EXPECT_EQ(options.controller.faults.vanishAfterRecord, 7u);
    EXPECT_TRUE(options.controller.faults.neverAcknowledge);
    EXPECT_FALSE(options.controller.faults.silent);
    EXPECT_EQ(options.linkPath, "/tmp/x");
    EXPECT_FALSE(options.showHelp);
}

TEST(CommandLine, LineModelAndDuplicatedAnswer)
{
    const SimulatorOptions plain = ParseCommandLine({});
    EXPECT_EQ(plain.controller.line.baud, 0u);
    EXPECT_EQ(plain.controller.line.latency.count(), 0);

    const SimulatorOptions options =
        ParseCommandLine({"--baud", "115200", "--latency-ms=0.5", "--duplicate-answer-at", "61"});
    EXPECT_EQ(options.controller.line.baud, 115200u);
    EXPECT_EQ(options.controller.line.latency, std::chrono::microseconds(500));
    EXPECT_EQ(options.controller.faults.duplicateAnswerAtByte, 61u);
    EXPECT_THROW(ParseCommandLine({"--latency-ms", "-1"}), UsageError);
}

TEST(CommandLine, ReadsTheSpeedUpAndTheTriggerSignalFaults)
{
    const SimulatorOptions options =
        ParseCommandLine({"--accelerate", "0.3", "--top-rpm=4000", "--glitch-after-tooth", "40", "--missing-tooth",
                          "50", "--extra-tooth-in", "2", "--lose-edge-at", "9", "--cam-jump-at", "3",
                          "--cam-jump-degrees", "-20", "--saturate-at", "77"});
    const EngineConfig& engine = options.controller.engine;
    EXPECT_DOUBLE_EQ(engine.accelerationPerRevolution, 0.3);
    EXPECT_DOUBLE_EQ(engine.topRpm, 4000.0);
    EXPECT_EQ(engine.faults.glitchAfterTooth, 40u);
    EXPECT_EQ(engine.faults.missingTooth, 50u);
    EXPECT_EQ(engine.faults.extraToothInRevolution, 2u);
    EXPECT_EQ(engine.faults.lostEdgeAtRecord, 9u);
    EXPECT_EQ(engine.faults.camJumpAtPulse, 3u);
    EXPECT_DOUBLE_EQ(engine.faults.camJumpDegrees, -20.0);
    EXPECT_EQ(options.controller.faults.saturateAtRecord, 77u);
    const std::string help = UsageText();
    for (const char* flag : {"--accelerate", "--top-rpm", "--glitch-after-tooth", "--missing-tooth", "--extra-tooth-in",
                             "--lose-edge-at", "--cam-jump-at", "--cam-jump-degrees", "--saturate-at"}) {
        EXPECT_NE(help.find(flag), std::string::npos) << flag;
    }
}

TEST(CommandLine, OversizedCountAnnouncesMoreThanTheToolsBuffer)
{
    EXPECT_EQ(ParseCommandLine({"--oversized-count"}).controller.countOverride, kOversizedCount);
}

TEST(CommandLine, RejectsMalformedArguments)
{
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--bogus"},
             {"--rpm"},
             {"--rpm", "fast"},
             {"--rpm", "3000rpm"},
             {"--teeth", "-4"},
             {"--count", "65536"},
             {"--records", "21846"},
             {"--bad-type-byte", "256"},
             {"--silent=yes"},
             {"rpm"},
         }) {
        EXPECT_THROW(ParseCommandLine(arguments), UsageError) << arguments.front();
    }
}

}  // namespace
}  // namespace dentora::sim
