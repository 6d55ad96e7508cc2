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

// Records of a wheel the simulator draws, for the whole library's fit.
std::vector<dentora::TriggerRecord> WheelCapture(const char* wheel, std::size_t count)
{
    dentora::sim::EngineConfig config;
    config.wheel = wheel;
    config.rpm = 1500;
    dentora::sim::TachLog log(dentora::sim::ResolveTiming(config));
    std::vector<dentora::TriggerRecord> records;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto record = log.Next();
        records.push_back({record.type, record.ticks});
    }
    return records;
}

// Identification against the whole library (and the generic candidates) of
// an irregular wheel, on a full capture and on a million edges.
void BM_IdentifyWheel(benchmark::State& state)
{
    const auto records = WheelCapture("36-2-2-2", std::size_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(dentora::AnalyzeTrigger(records, {4.0}));
    state.counters["revolutions"] = double(dentora::AnalyzeTrigger(records, {4.0}).wheel.revolutionsSeen);
}
BENCHMARK(BM_IdentifyWheel)->Arg(kCaptureRecords)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A capture no wheel fits: every candidate is walked to its end.
void BM_IdentifyNoWheel(benchmark::State& state)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> period(60, 400);
    std::vector<dentora::TriggerRecord> records = {{dentora::kCrankRise, 200}, {dentora::kCrankFall, 200}};
    while (records.size() < kCaptureRecords) {
        const int ticks = period(random);
        records.push_back({dentora::kCrankRise, std::uint16_t(ticks / 2)});
        records.push_back({dentora::kCrankFall, std::uint16_t(ticks - ticks / 2)});
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(dentora::AnalyzeTrigger(records, {4.0}));
}
BENCHMARK(BM_IdentifyNoWheel)->Unit(benchmark::kMillisecond);

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
