// Each fault the engine model can put into a signal is found, of the right
// kind, at the tick the model put it, and nothing else is blamed.
#include "generated_capture.h"

#include "analysis/trigger_analysis.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace dentora::testing {
namespace {

constexpr std::size_t kRecords = 1500;

struct Found {
    std::vector<Anomaly> ofKind;
    std::set<AnomalyKind> otherKinds;
};

Found Analyze(const sim::EngineConfig& config, AnomalyKind kind)
{
    Found found;
    for (const Anomaly& anomaly : AnalyzeTrigger(GeneratedCapture(config, kRecords)).anomalies) {
        if (anomaly.kind == kind)
            found.ofKind.push_back(anomaly);
        else
            found.otherKinds.insert(anomaly.kind);
    }
    return found;
}

void ExpectOneAt(const Found& found, std::uint64_t ticks, double tolerance = 0.0)
{
    ASSERT_EQ(found.ofKind.size(), 1u);
    EXPECT_NEAR(double(found.ofKind.front().at.ticks), double(ticks), tolerance) << found.ofKind.front().reason;
}

// Steady and cranking: a fault must be found however the speed changes.
class TriggerFault : public ::testing::TestWithParam<bool> {
protected:
    sim::EngineConfig Config(int teeth, int missing) const
    {
        return GetParam() ? Cranking(Wheel(teeth, missing)) : Wheel(teeth, missing);
    }
};

TEST_P(TriggerFault, GlitchEdgeIsTakenOutAtItsRisingEdge)
{
    sim::EngineConfig config = Config(36, 1);
    config.faults.glitchAfterTooth = 40;
    const auto faulty = RisingEdgeTicks(config, sim::Channel::Crank, 2 * kRecords);
    const Found found = Analyze(config, AnomalyKind::kGlitch);
    ExpectOneAt(found, faulty[41]);  // the glitch rises between teeth 40 and 41
    EXPECT_TRUE(found.otherKinds.empty());
}

TEST_P(TriggerFault, LostFallingEdgeShowsTwoRisesInARow)
{
    sim::EngineConfig config = Config(36, 1);
    const sim::EngineConfig clean = config;
    const auto rises = RisingEdgeTicks(clean, sim::Channel::Crank, 2 * kRecords);
    // Record 2 + 2k is the rise of tooth k while no cam edge came before it;
    // record 3 its fall. Lose the fall of tooth 1: the next rise comes second.
    config.faults.lostEdgeAtRecord = 5;
    const Found found = Analyze(config, AnomalyKind::kLostEdge);
    ExpectOneAt(found, rises[2]);
    EXPECT_TRUE(found.otherKinds.empty());
}

TEST_P(TriggerFault, MissingToothIsAGapWhereTheWheelHasNone)
{
    sim::EngineConfig config = Config(36, 1);
    const auto clean = RisingEdgeTicks(config, sim::Channel::Crank, 2 * kRecords);
    config.faults.missingTooth = 50;  // tooth 16 of the second revolution
    const Found found = Analyze(config, AnomalyKind::kUnexpectedGap);
    ExpectOneAt(found, clean[51]);
    EXPECT_EQ(found.otherKinds, std::set<AnomalyKind>{AnomalyKind::kToothCount});
}

TEST_P(TriggerFault, ExtraToothFillsTheGap)
{
    for (const auto& [teeth, missing] : {std::pair{36, 1}, std::pair{60, 2}}) {
        sim::EngineConfig config = Config(teeth, missing);
        config.faults.extraToothInRevolution = 2;
        const auto faulty = RisingEdgeTicks(config, sim::Channel::Crank, 2 * kRecords);
        const Found found = Analyze(config, AnomalyKind::kMissingGap);
        // The extra tooth is the last of the third revolution.
        ExpectOneAt(found, faulty[std::size_t(3 * (teeth - missing))]);
        EXPECT_EQ(found.otherKinds, std::set<AnomalyKind>{AnomalyKind::kToothCount}) << teeth << "-" << missing;
    }
}

TEST_P(TriggerFault, CamPulseThatJumpsIsTheOddOneOut)
{
    sim::EngineConfig config = Config(36, 1);
    config.faults.camJumpAtPulse = 2;
    config.faults.camJumpDegrees = 30;
    const auto camRises = RisingEdgeTicks(config, sim::Channel::Cam, 2 * kRecords);
    const Found found = Analyze(config, AnomalyKind::kCamMoved);
    ExpectOneAt(found, camRises[2]);
    EXPECT_TRUE(found.otherKinds.empty());
}

INSTANTIATE_TEST_SUITE_P(Speeds, TriggerFault, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Cranking" : "Steady"; });

TEST(TriggerSaturation, FullCountIsFlaggedAndItsPeriodNotJudged)
{
    const sim::EngineConfig config = Wheel(36, 1);
    auto records = GeneratedCapture(config, kRecords);
    const std::size_t saturated = 200;
    ASSERT_EQ(records[saturated].type, kCrankRise);
    records[saturated].ticks = 0xFFFF;
    std::uint64_t clock = 0;
    for (std::size_t i = 2; i <= saturated; ++i) {
        if (records[i].type == kCrankRise || records[i].type == kCrankFall)
            clock += records[i].ticks;
    }
    const TriggerReport report = AnalyzeTrigger(records);
    ASSERT_EQ(report.anomalies.size(), 1u);
    EXPECT_EQ(report.anomalies.front().kind, AnomalyKind::kSaturated);
    EXPECT_EQ(report.anomalies.front().at.ticks, clock);
    EXPECT_EQ(report.anomalies.front().record, saturated);
}

TEST(TriggerRecords, BadTypeByteEndsTheAnalysisThere)
{
    auto records = GeneratedCapture(Wheel(36, 1), 600);
    records[300].type = 'X';
    const TriggerReport report = AnalyzeTrigger(records);
    ASSERT_EQ(report.anomalies.size(), 1u);
    EXPECT_EQ(report.anomalies.front().kind, AnomalyKind::kBadRecord);
    EXPECT_EQ(report.anomalies.front().record, 300u);
    EXPECT_LT(report.teeth.back().record, 300u);
}

}  // namespace
}  // namespace dentora::testing
