#include "expected_log.h"
#include "simulator/controller_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace dentora::sim {
namespace {

using Clock = ControllerProtocol::Clock;
using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

const Clock::time_point kStart{};

// Sends `command` `times` times at `now` and returns everything answered.
Bytes Send(ControllerProtocol& controller, std::uint8_t command, std::size_t times = 1, Clock::time_point now = kStart)
{
    for (std::size_t i = 0; i < times; ++i) {
        controller.Receive(command, now);
    }
    return controller.TakeOutput();
}

TEST(ControllerProtocol, AcknowledgesOnceAfterTheDelay)
{
    ControllerConfig config;
    config.acknowledgeDelay = milliseconds(300);
    ControllerProtocol controller(config);
    EXPECT_TRUE(Send(controller, kGoCommand).empty());
    ASSERT_EQ(controller.NextEventTime(), kStart + milliseconds(300));

    controller.AdvanceTo(kStart + milliseconds(299));
    EXPECT_TRUE(controller.TakeOutput().empty());
    controller.AdvanceTo(kStart + milliseconds(300));
    EXPECT_EQ(controller.TakeOutput(), Bytes{kAcknowledge});
    EXPECT_FALSE(controller.NextEventTime());
    controller.AdvanceTo(kStart + milliseconds(5000));
    EXPECT_TRUE(controller.TakeOutput().empty());
}

TEST(ControllerProtocol, DueAcknowledgeComesBeforeTheAnswerToALaterCommand)
{
    ControllerProtocol controller(ControllerConfig{});
    controller.Receive(kGoCommand, kStart);
    controller.Receive(kCountCommand, kStart + milliseconds(600));
    EXPECT_EQ(controller.TakeOutput(), (Bytes{kAcknowledge, 0x84, 0x03}));
}

TEST(ControllerProtocol, AnnouncesTheCountLowByteFirst)
{
    ControllerConfig config;
    ControllerProtocol byDefault(config);
    EXPECT_EQ(Send(byDefault, kCountCommand), (Bytes{0x84, 0x03}));  // 300 records

    for (const std::uint16_t count : {0, 1, 2, 3, 65534, int{kOversizedCount}}) {
        config.countOverride = count;
        ControllerProtocol controller(config);
        EXPECT_EQ(Send(controller, kCountCommand),
                  (Bytes{static_cast<std::uint8_t>(count & 0xFF), static_cast<std::uint8_t>(count >> 8)}));
    }
}

TEST(ControllerProtocol, RefusesARecordCountBeyondSixteenBits)
{
    ControllerConfig config;
    config.records = 21845;
    EXPECT_NO_THROW(ControllerProtocol{config});
    config.records = 21846;
    EXPECT_THROW(ControllerProtocol{config}, std::invalid_argument);
}

TEST(ControllerProtocol, StreamsTheLogAndKeepsTheEngineRunningPastTheCount)
{
    ControllerConfig config;
    config.records = 4;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    // The tool asks for about half again as many records as announced.
    EXPECT_EQ(Send(controller, kNextByteCommand, 18), ExpectedLogBytes(config, 18));
    EXPECT_EQ(controller.Stats().nextByteCommands, 18u);
    EXPECT_EQ(controller.Stats().goCommands, 1u);
}

TEST(ControllerProtocol, NewCaptureRestartsTheLogAndIgnoresOtherBytes)
{
    ControllerConfig config;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    Send(controller, kNextByteCommand, 7);
    EXPECT_TRUE(Send(controller, 'x').empty());
    EXPECT_TRUE(Send(controller, 0x00).empty());
    Send(controller, kGoCommand);
    EXPECT_EQ(Send(controller, kNextByteCommand, 6), ExpectedLogBytes(config, 6));
    EXPECT_EQ(controller.Stats().ignoredBytes, 2u);
    EXPECT_EQ(controller.Stats().goCommands, 2u);
}

TEST(ControllerFaults, NeverAcknowledgeKeepsAnsweringTheRest)
{
    ControllerConfig config;
    config.faults.neverAcknowledge = true;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    EXPECT_FALSE(controller.NextEventTime());
    controller.AdvanceTo(kStart + milliseconds(60000));
    EXPECT_TRUE(controller.TakeOutput().empty());
    EXPECT_EQ(Send(controller, kCountCommand).size(), 2u);
}

TEST(ControllerFaults, SilentAnswersNothingButCountsTheCommands)
{
    ControllerConfig config;
    config.faults.silent = true;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    controller.AdvanceTo(kStart + milliseconds(60000));
    EXPECT_TRUE(controller.TakeOutput().empty());
    EXPECT_TRUE(Send(controller, kCountCommand).empty());
    EXPECT_TRUE(Send(controller, kNextByteCommand, 5).empty());
    EXPECT_EQ(controller.Stats().nextByteCommands, 5u);
}

TEST(ControllerFaults, NoiseBeforeTheAcknowledgeIsNeverDAndRepeatsWithTheSeed)
{
    ControllerConfig config;
    config.faults.noiseBeforeAcknowledge = 2000;
    ControllerProtocol controller(config);
    const Bytes noise = Send(controller, kGoCommand);
    ASSERT_EQ(noise.size(), 2000u);
    EXPECT_EQ(std::count(noise.begin(), noise.end(), kAcknowledge), 0);
    controller.AdvanceTo(kStart + config.acknowledgeDelay);
    EXPECT_EQ(controller.TakeOutput(), Bytes{kAcknowledge});

    EXPECT_EQ(Send(controller, kGoCommand), noise) << "each capture replays the same noise";
    config.seed = 2;
    ControllerProtocol reseeded(config);
    EXPECT_NE(Send(reseeded, kGoCommand), noise);
}

TEST(ControllerFaults, BadTypeByteReplacesOnlyThatRecordsType)
{
    ControllerConfig config;
    config.faults.badTypeAtRecord = 3;
    config.faults.badTypeByte = 0x00;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    Bytes expected = ExpectedLogBytes(config, 15);
    expected[9] = 0x00;
    EXPECT_EQ(Send(controller, kNextByteCommand, 15), expected);
}

TEST(ControllerFaults, SaturatedCountReplacesOnlyThatRecordsTicks)
{
    ControllerConfig config;
    config.faults.saturateAtRecord = 4;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    Bytes expected = ExpectedLogBytes(config, 18);
    expected[13] = 0xFF;
    expected[14] = 0xFF;
    EXPECT_EQ(Send(controller, kNextByteCommand, 18), expected);
}

TEST(ControllerFaults, DroppedAnswerLosesOneByteAndGoesOnWithTheNext)
{
    ControllerConfig config;
    config.faults.dropAnswerAtByte = 4;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    EXPECT_EQ(Send(controller, kNextByteCommand, 4), ExpectedLogBytes(config, 4));
    EXPECT_TRUE(Send(controller, kNextByteCommand).empty());
    EXPECT_EQ(Send(controller, kNextByteCommand), Bytes{ExpectedLogBytes(config, 6)[5]});
}

TEST(ControllerFaults, DuplicatedAnswerRepeatsOneByteAndGoesOnInOrder)
{
    ControllerConfig config;
    config.faults.duplicateAnswerAtByte = 4;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    const Bytes log = ExpectedLogBytes(config, 6);
    EXPECT_EQ(Send(controller, kNextByteCommand, 4), Bytes(log.begin(), log.begin() + 4));
    EXPECT_EQ(Send(controller, kNextByteCommand), (Bytes{log[4], log[4]}));
    EXPECT_EQ(Send(controller, kNextByteCommand), Bytes{log[5]});
}

TEST(ControllerFaults, IgnoringTheCountStillAcknowledgesAndServesTheLog)
{
    ControllerConfig config;
    config.acknowledgeDelay = std::chrono::milliseconds(0);
    config.faults.ignoreCount = true;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    EXPECT_EQ(Send(controller, kCountCommand), Bytes{kAcknowledge}) << "the acknowledge, and no count";
    EXPECT_EQ(Send(controller, kNextByteCommand, 3), ExpectedLogBytes(config, 3));
}

TEST(ControllerFaults, LogEndingEarlyFallsSilentAfterTheAnnouncedRecords)
{
    ControllerConfig config;
    config.countOverride = 17;  // five whole records
    config.faults.logEndsEarly = true;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    EXPECT_EQ(Send(controller, kNextByteCommand, 25), ExpectedLogBytes(config, 15));
    Send(controller, kGoCommand);
    EXPECT_EQ(Send(controller, kNextByteCommand, 3), ExpectedLogBytes(config, 3)) << "a new capture answers again";
}

TEST(ControllerFaults, ZeroCalibrationKeepsTypesAndLaterRecords)
{
    ControllerConfig config;
    config.faults.zeroCalibration = true;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    Bytes expected = ExpectedLogBytes(config, 9);
    expected[1] = expected[2] = expected[4] = expected[5] = 0;
    EXPECT_EQ(Send(controller, kNextByteCommand, 9), expected);
    EXPECT_EQ(expected[0], kCrankRise);
    EXPECT_NE(expected[7] | expected[8], 0);
}

TEST(ControllerFaults, VanishesAtTheRequestAfterTheLastFullRecord)
{
    ControllerConfig config;
    config.faults.vanishAfterRecord = 2;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    EXPECT_EQ(Send(controller, kNextByteCommand, 9), ExpectedLogBytes(config, 9));
    EXPECT_FALSE(controller.Vanished());
    EXPECT_TRUE(Send(controller, kNextByteCommand).empty());
    EXPECT_TRUE(controller.Vanished());
    EXPECT_TRUE(Send(controller, kCountCommand).empty());
    Send(controller, kGoCommand);
    EXPECT_FALSE(controller.NextEventTime()) << "a vanished controller does not acknowledge";
}

TEST(ControllerFaults, RandomAnswersReplaceCountAndLogButKeepTheAcknowledge)
{
    ControllerConfig config;
    config.faults.randomAnswers = true;
    ControllerProtocol controller(config);
    Send(controller, kGoCommand);
    controller.AdvanceTo(kStart + config.acknowledgeDelay);
    EXPECT_EQ(controller.TakeOutput(), Bytes{kAcknowledge});
    const Bytes answers = Send(controller, kCountCommand);
    const Bytes log = Send(controller, kNextByteCommand, 300);
    ASSERT_EQ(answers.size(), 2u);
    ASSERT_EQ(log.size(), 300u);
    EXPECT_NE(log, ExpectedLogBytes(config, 300));

    Send(controller, kGoCommand);
    EXPECT_EQ(Send(controller, kCountCommand), answers) << "the seed makes the noise repeatable";
}

}  // namespace
}  // namespace dentora::sim
