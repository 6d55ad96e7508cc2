// What the trigger analysis costs: analysing a capture as long as the tool
// can fetch (4,049 records), and the hover look-up that finds the tooth
// under the pointer and words its tooltip.
#include "analysis/trigger_analysis.h"
#include "analysis/trigger_text.h"
#include "simulator/engine_model.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// The most records one capture fetches: the 8100-byte buffer, two per record.
constexpr std::size_t kCaptureRecords = 4049;

// A 36-1 wheel with a cam at 1500 rpm, as the demo controller runs it.
std::vector<dentora::TriggerRecord> DemoCapture()
{
    dentora::sim::EngineConfig config;
    config.rpm = 1500;
    config.missingTeeth = 1;
    dentora::sim::TachLog log(dentora::sim::ResolveTiming(config));
    std::vector<dentora::TriggerRecord> records;
    for (std::size_t i = 0; i < kCaptureRecords; ++i) {
        const auto record = log.Next();
        records.push_back({record.type, record.ticks});
    }
    return records;
}

void BM_AnalyzeTrigger(benchmark::State& state)
{
    const auto records = DemoCapture();
    for (auto _ : state)
        benchmark::DoNotOptimize(dentora::AnalyzeTrigger(records, {4.0}));
    state.counters["teeth"] = double(dentora::AnalyzeTrigger(records, {4.0}).teeth.size());
}
BENCHMARK(BM_AnalyzeTrigger)->Unit(benchmark::kMicrosecond);

// A pointer anywhere over the capture: the tooth under it and its tooltip.
void BM_HoverLookUp(benchmark::State& state)
{
    const dentora::TriggerReport report = dentora::AnalyzeTrigger(DemoCapture(), {4.0});
    std::mt19937 random(1);
    std::uniform_real_distribution<double> x(0.0, report.teeth.back().nextRise.chartX);
    for (auto _ : state) {
        const dentora::CrankTooth* tooth = dentora::ToothAt(report, x(random));
        if (tooth)
            benchmark::DoNotOptimize(dentora::FormatTooth(report, *tooth));
    }
}
BENCHMARK(BM_HoverLookUp);

}  // namespace
