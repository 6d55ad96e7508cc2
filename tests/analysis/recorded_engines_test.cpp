// Recordings of real engines (tests/data/engines/README.md gives each one's
// source and wheel): the analysis must name the wheel the recording's source
// names, and keep every real tooth.
#include "analysis/trigger_analysis.h"
#include "analysis/trigger_text.h"
#include "formats/waveform_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace dentora::testing {
namespace {

// The recording imported as Dentora opens it: crank and cam chosen from the
// file, the tick length the import picks.
CaptureData Imported(const std::string& path)
{
    std::ifstream in(path);
    CaptureData capture;
    ImportError error;
    EXPECT_TRUE(ImportWaveformFile(in, path, {}, nullptr, &capture, &error)) << path << ": " << error.message;
    return capture;
}

struct Recording {
    const char* file;
    const char* wheel;
};

class RecordedEngine : public ::testing::TestWithParam<Recording> {};

TEST_P(RecordedEngine, IsNamedAsItsSourceNamesIt)
{
    const Recording& recording = GetParam();
    const CaptureData capture = Imported(std::string(DENTORA_ENGINE_DATA) + "/" + recording.file);
    ASSERT_TRUE(capture.tickNanoseconds);
    const TriggerReport report = AnalyzeTrigger(capture.records, {double(*capture.tickNanoseconds) / 1000.0});
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
