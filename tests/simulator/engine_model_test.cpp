#include "simulator/engine_model.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <vector>

namespace dentora::sim {
namespace {

// A small wheel with round numbers: tooth period 100 ticks, 75 low then 25
// high, four positions of which the last is missing; the cam rises at 90
// degrees (100 ticks) for 45 degrees (50 ticks) of the 800-tick cycle.
EngineConfig SmallWheel()
{
    EngineConfig config;
    config.tickMicros = 1.0;
    config.teeth = 4;
    config.missingTeeth = 1;
    config.rpm = 60e6 / (100.0 * 4);
    config.crankDuty = 0.25;
    config.camStartDegrees = 90;
    config.camWidthDegrees = 45;
    return config;
}

struct Expected {
    std::uint8_t type;
    std::uint16_t ticks;
};

// What the tool draws: x of each edge per channel, from the calibration
// records and each channel's own clock.
std::map<Channel, std::vector<double>> DecodeLikeTheTool(const std::vector<Record>& records)
{
    const double scale = 10.0 / ((records[0].ticks + records[1].ticks) / 4.0);
    std::map<Channel, double> clock;
    std::map<Channel, std::vector<double>> edges;
    for (std::size_t i = 2; i < records.size(); ++i) {
        const Channel channel =
            (records[i].type == kCrankRise || records[i].type == kCrankFall) ? Channel::Crank : Channel::Cam;
        clock[channel] += records[i].ticks * scale;
        edges[channel].push_back(clock[channel]);
    }
    return edges;
}

TEST(EngineModel, ResolvesTheSmallWheelToWholeTicks)
{
    const EngineTiming timing = ResolveTiming(SmallWheel());
    EXPECT_EQ(timing.toothTicks, 100u);
    EXPECT_EQ(timing.crankHighTicks, 25u);
    EXPECT_EQ(timing.crankLowTicks, 75u);
    EXPECT_EQ(timing.camCycleTicks, 800u);
    EXPECT_EQ(timing.camStartTicks, 175u);  // 90° after tooth 1, which rises 75 ticks in
    EXPECT_EQ(timing.camHighTicks, 50u);
}

TEST(EngineModel, LogInterleavesBothChannelsInTimeOrder)
{
    TachLog log(ResolveTiming(SmallWheel()));
    const std::vector<Expected> expected = {
        {'R', 100}, {'F', 100},                         // calibration: one tooth period each
        {'R', 75},  {'F', 25},  {'R', 75}, {'r', 175},  // cam 90° after tooth 1's rise, with tooth 2's: crank first
        {'F', 25},  {'f', 50},  {'R', 75}, {'F', 25},  {'R', 175}, {'F', 25},  // low across the missing tooth
        {'R', 75},  {'F', 25},  {'R', 75}, {'F', 25},  {'R', 175}, {'F', 25},
        {'R', 75},  {'r', 750},  // next cam cycle, 800 ticks on: 750 after the cam's fall
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Record record = log.Next();
        EXPECT_EQ(record.type, expected[i].type) << "record " << i;
        EXPECT_EQ(record.ticks, expected[i].ticks) << "record " << i;
    }
}

TEST(EngineModel, RecordBytesAreLowByteFirst)
{
    const auto bytes = Record{kCamFall, 0x1234}.Bytes();
    EXPECT_EQ(bytes[0], 'f');
    EXPECT_EQ(bytes[1], 0x34);
    EXPECT_EQ(bytes[2], 0x12);
}

TEST(EngineModel, CalibrationDrawsAHalfToothTenUnitsWide)
{
    for (const double rpm : {800.0, 3000.0, 6500.0}) {
        EngineConfig config;
        config.rpm = rpm;
        const EngineTiming timing = ResolveTiming(config);
        const auto calibration = CalibrationRecords(timing);
        EXPECT_EQ(calibration[0].type, kCrankRise);
        EXPECT_EQ(calibration[1].type, kCrankFall);

        TachLog log(timing);
        std::vector<Record> records;
        for (int i = 0; i < 200; ++i) {
            records.push_back(log.Next());
        }
        // A full tooth period, rise to rise, is two half-teeth.
        const auto crank = DecodeLikeTheTool(records)[Channel::Crank];
        ASSERT_GE(crank.size(), 4u);
        EXPECT_DOUBLE_EQ(crank[2] - crank[0], 2 * kChartUnitsPerHalfTooth) << "rpm " << rpm;
        EXPECT_DOUBLE_EQ(ChartUnitsPerTick(timing) * timing.toothTicks / 2, kChartUnitsPerHalfTooth);
    }
}

TEST(EngineModel, ToolChartMatchesTheModelsEdgeTimes)
{
    EngineConfig config;
    config.missingTeeth = 2;
    const EngineTiming timing = ResolveTiming(config);
    TachLog log(timing);
    EdgeStream stream(timing);
    std::vector<Record> records = {log.Next(), log.Next()};
    std::map<Channel, std::vector<std::uint64_t>> modelTicks;
    for (int i = 0; i < 1000; ++i) {
        records.push_back(log.Next());
        const Edge edge = stream.Next();
        modelTicks[edge.channel].push_back(edge.tick);
    }
    auto drawn = DecodeLikeTheTool(records);
    const double scale = ChartUnitsPerTick(timing);
    for (const Channel channel : {Channel::Crank, Channel::Cam}) {
        ASSERT_EQ(drawn[channel].size(), modelTicks[channel].size());
        for (std::size_t i = 0; i < drawn[channel].size(); ++i) {
            EXPECT_NEAR(drawn[channel][i], modelTicks[channel][i] * scale, 1e-6);
        }
    }
}

TEST(EngineModel, StreamAlternatesLevelsAndKeepsTheWheelsShape)
{
    EngineConfig config;
    config.teeth = 60;
    config.missingTeeth = 2;
    const EngineTiming timing = ResolveTiming(config);
    EdgeStream stream(timing);
    std::map<Channel, bool> lastRising = {{Channel::Crank, false}, {Channel::Cam, false}};
    std::map<Channel, std::uint64_t> lastTick;
    std::uint64_t previousTick = 0;
    std::size_t crankRisesInFirstCycle = 0;
    for (int i = 0; i < 10000; ++i) {
        const Edge edge = stream.Next();
        ASSERT_GE(edge.tick, previousTick);
        ASSERT_NE(edge.rising, lastRising[edge.channel]) << "edge " << i;
        ASSERT_EQ(edge.sincePrevious, edge.tick - lastTick[edge.channel]);
        if (edge.channel == Channel::Crank && edge.rising && edge.tick < timing.camCycleTicks) {
            ++crankRisesInFirstCycle;
        }
        previousTick = edge.tick;
        lastRising[edge.channel] = edge.rising;
        lastTick[edge.channel] = edge.tick;
    }
    EXPECT_EQ(crankRisesInFirstCycle, 2u * 58u);
}

// Tooth period of 32768 ticks with a one-tick cam pulse: the cam's low time
// is the 2 * 32768 - 1 = 65535 ticks a record can hold, one period more is too long.
TEST(EngineModel, AcceptsTheLongestIntervalThatFitsAndRefusesOneMore)
{
    EngineConfig config;
    config.tickMicros = 1.0;
    config.teeth = 1;
    config.camWidthDegrees = 360.0 / 32768;
    config.rpm = 60e6 / 32768;
    EXPECT_NO_THROW(ResolveTiming(config));

    config.rpm = 60e6 / 32769;
    try {
        ResolveTiming(config);
        FAIL() << "a 65537-tick cam low time was accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_NE(std::string(error.what()).find("cam low time"), std::string::npos) << error.what();
    }
}

TEST(EngineModel, RefusesConfigurationsTheLogCannotCarry)
{
    const auto refused = [](auto change, const char* reason) {
        EngineConfig config;
        change(config);
        try {
            ResolveTiming(config);
            ADD_FAILURE() << "accepted, expected: " << reason;
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
        }
    };
    refused([](EngineConfig& c) { c.rpm = 0; }, "rpm");
    refused([](EngineConfig& c) { c.tickMicros = 0; }, "tick length");
    refused(
        [](EngineConfig& c) {
            c.rpm = 300;
            c.tickMicros = 1;
        },
        "cam low time");
    refused([](EngineConfig& c) { c.rpm = 1e-9; }, "tooth period");
    refused([](EngineConfig& c) { c.rpm = 1e7; }, "at least 2");
    refused(
        [](EngineConfig& c) {
            c.teeth = 4;
            c.missingTeeth = 3;
            c.rpm = 200;
        },
        "missing teeth");
    refused(
        [](EngineConfig& c) {
            c.camStartDegrees = 700;
            c.camWidthDegrees = 360;
            c.rpm = 300;
        },
        "first cam edge");
    refused([](EngineConfig& c) { c.missingTeeth = 36; }, "missing teeth");
    refused([](EngineConfig& c) { c.crankDuty = 1.0; }, "duty");
    refused([](EngineConfig& c) { c.crankDuty = 0.001; }, "no whole tick");
    refused([](EngineConfig& c) { c.camWidthDegrees = 720; }, "cam pulse width");
    refused([](EngineConfig& c) { c.camWidthDegrees = 1e-6; }, "cam pulse width");
}

// Rising crank edges of the first `edges` edges of the stream.
std::vector<std::uint64_t> CrankRises(const EngineTiming& timing, int edges)
{
    EdgeStream stream(timing);
    std::vector<std::uint64_t> rises;
    for (int i = 0; i < edges; ++i) {
        const Edge edge = stream.Next();
        if (edge.channel == Channel::Crank && edge.rising) {
            rises.push_back(edge.tick);
        }
    }
    return rises;
}

TEST(EngineModel, AcceleratingWheelGainsThirtyPercentPerRevolutionUpToTheTopSpeed)
{
    EngineConfig config;
    config.rpm = 600;
    config.accelerationPerRevolution = 0.3;
    config.topRpm = 2000;
    const auto rises = CrankRises(ResolveTiming(config), 600);
    // Revolution r takes 1 / 1.3^r of the first while the speed rises:
    // 600 * 1.3^4 = 1714 rpm, and the fifth turn reaches 2000 rpm and holds.
    const auto revolution = [&](int r) {
        return double(rises[std::size_t(36 * (r + 1))] - rises[std::size_t(36 * r)]);
    };
    for (int r = 1; r <= 3; ++r) {
        EXPECT_NEAR(revolution(r) / revolution(r - 1), 1 / 1.3, 0.002) << "revolution " << r;
    }
    EXPECT_NEAR(revolution(6), 60e6 / 2000 / 4, 2.0);
    EXPECT_NEAR(revolution(7), revolution(6), 1.0);
}

TEST(EngineModel, SignalFaultsChangeOnlyTheirOwnEdges)
{
    EngineConfig config;
    config.missingTeeth = 1;
    const EngineTiming clean = ResolveTiming(config);
    const auto cleanRises = CrankRises(clean, 400);
    const std::uint64_t tooth = clean.toothTicks;

    config.faults.missingTooth = 10;  // no rise at tooth 10: the one before runs on to tooth 11
    auto rises = CrankRises(ResolveTiming(config), 400);
    EXPECT_EQ(rises[10], cleanRises[11]);
    EXPECT_EQ(rises[9], cleanRises[9]);

    config.faults = {};
    config.faults.extraToothInRevolution = 1;  // a rise in the gap of the second revolution
    rises = CrankRises(ResolveTiming(config), 400);
    EXPECT_EQ(rises[70], cleanRises[69] + tooth);
    EXPECT_EQ(rises[71], cleanRises[70]);

    config.faults = {};
    config.faults.glitchAfterTooth = 3;  // an extra rise halfway through the low time after tooth 3
    rises = CrankRises(ResolveTiming(config), 400);
    EXPECT_NEAR(double(rises[4]), double(cleanRises[3] + clean.crankHighTicks) + clean.crankLowTicks / 2.0, 1.0);
    EXPECT_EQ(rises[5], cleanRises[4]);
}

TEST(EngineModel, LostEdgeCarriesItsTicksIntoTheNextOfItsSignal)
{
    EngineConfig config;
    config.faults.lostEdgeAtRecord = 5;  // the second crank fall
    TachLog log(ResolveTiming(config));
    std::vector<Record> records;
    for (int i = 0; i < 8; ++i) {
        records.push_back(log.Next());
    }
    const std::uint16_t tooth = records[0].ticks;
    EXPECT_EQ(records[4].type, kCrankRise);
    EXPECT_EQ(records[5].type, kCrankRise);  // two rises in a row
    EXPECT_EQ(records[5].ticks, tooth);      // from the first rise, across the lost fall
}

TEST(EngineModel, CamJumpMovesOnlyThatPulse)
{
    EngineConfig config;
    config.faults.camJumpAtPulse = 1;
    config.faults.camJumpDegrees = 90;
    const EngineTiming timing = ResolveTiming(config);
    EdgeStream stream(timing);
    std::vector<std::uint64_t> camRises;
    while (camRises.size() < 3) {
        const Edge edge = stream.Next();
        if (edge.channel == Channel::Cam && edge.rising) {
            camRises.push_back(edge.tick);
        }
    }
    EXPECT_EQ(camRises[0], timing.camStartTicks);
    EXPECT_EQ(camRises[1], timing.camCycleTicks + timing.camStartTicks + timing.revolutionTicks / 4);
    EXPECT_EQ(camRises[2], 2 * timing.camCycleTicks + timing.camStartTicks);
}

}  // namespace
}  // namespace dentora::sim
