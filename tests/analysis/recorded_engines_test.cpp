// Recordings of real engines (tests/data/engines/README.md gives each one's
// source and wheel): the analysis must name the wheel the recording's source
// names, and keep every real tooth.
#include "analysis/trigger_analysis.h"
#include "analysis/trigger_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace dentora::testing {
namespace {

constexpr double kTickMicros = 4.0;

// The one reader of the logic analyser's CSV export ("Time[s], Channel 0,
// Channel 1, ..."; one row per change) in the tests: channel 0 is the crank,
// channel 1, when present, the cam. Each signal's count runs from its own
// previous edge, saturating at 65535 as a controller's counter does; the
// calibration records carry the median crank period. To be replaced by the
// capture importer once it reads these files.
std::vector<TriggerRecord> RecordsFromLogicCsv(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    struct Edge {
        double seconds;
        bool crank;
        bool rising;
    };
    std::vector<Edge> edges;
    int previous[2] = {-1, -1};
    while (std::getline(in, line)) {
        std::replace(line.begin(), line.end(), ',', ' ');
        std::istringstream fields(line);
        double seconds = 0;
        int level[2] = {-1, -1};
        fields >> seconds >> level[0] >> level[1];
        for (int channel = 0; channel < 2; ++channel) {
            if (level[channel] >= 0 && previous[channel] >= 0 && level[channel] != previous[channel])
                edges.push_back({seconds, channel == 0, level[channel] == 1});
            previous[channel] = level[channel];
        }
    }
    std::vector<double> crankPeriods;
    double lastRise = -1;
    for (const Edge& edge : edges) {
        if (edge.crank && edge.rising) {
            if (lastRise >= 0)
                crankPeriods.push_back(edge.seconds - lastRise);
            lastRise = edge.seconds;
        }
    }
    std::nth_element(crankPeriods.begin(), crankPeriods.begin() + std::ptrdiff_t(crankPeriods.size() / 2),
                     crankPeriods.end());
    const auto ticks = [](double seconds) { return std::min(65535.0, std::round(seconds * 1e6 / kTickMicros)); };
    const auto median = std::uint16_t(ticks(crankPeriods[crankPeriods.size() / 2]));
    std::vector<TriggerRecord> records = {{kCrankRise, median}, {kCrankFall, median}};
    double last[2] = {edges.front().seconds, edges.front().seconds};
    for (const Edge& edge : edges) {
        const std::uint8_t type =
            edge.crank ? (edge.rising ? kCrankRise : kCrankFall) : (edge.rising ? kCamRise : kCamFall);
        records.push_back({type, std::uint16_t(ticks(edge.seconds - last[edge.crank ? 0 : 1]))});
        last[edge.crank ? 0 : 1] = edge.seconds;
    }
    return records;
}

struct Recording {
    const char* file;
    const char* wheel;
};

class RecordedEngine : public ::testing::TestWithParam<Recording> {};

TEST_P(RecordedEngine, IsNamedAsItsSourceNamesIt)
{
    const Recording& recording = GetParam();
    const TriggerReport report =
        AnalyzeTrigger(RecordsFromLogicCsv(std::string(DENTORA_ENGINE_DATA) + "/" + recording.file), {kTickMicros});
    EXPECT_EQ(report.wheel.Pattern(), recording.wheel) << FormatTriggerSummary(report);
    EXPECT_EQ(report.wheel.revolutionsAgreeing, report.wheel.revolutionsSeen);
    ASSERT_TRUE(report.speed.meanRpm);
    for (const Anomaly& anomaly : report.anomalies)
        EXPECT_TRUE(anomaly.kind == AnomalyKind::kGlitch || anomaly.kind == AnomalyKind::kSaturated)
            << AnomalyKindName(anomaly.kind) << ": " << anomaly.reason;
}

INSTANTIATE_TEST_SUITE_P(Engines, RecordedEngine,
                         ::testing::Values(Recording{"4b11_running.csv", "36-2-1"},
                                           Recording{"jeep_36_2_2_crank_only.csv", "36-2-2"},
                                           Recording{"vw_aba_cranking.csv", "60-2"}),
                         [](const ::testing::TestParamInfo<Recording>& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
                             return name;
                         });

}  // namespace
}  // namespace dentora::testing
