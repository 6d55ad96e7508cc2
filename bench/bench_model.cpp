// What feeding the chart costs: adding points while a line grows to a
// million, decoding one record, and the memory a stored point takes.
#include "capture/decoder.h"
#include "chart/chart_wnd.h"

#include <QWidget>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

constexpr int kMillion = 1000000;
constexpr float kHigh = 0.5f;

// A parent window for charts, never shown.
struct Host {
    QWidget widget;
    CWnd wnd;

    Host() { wnd.Attach(&widget, nullptr, 0); }
};

// The chart's window and traces as the dialog sets them up.
void CreateAsDialogDoes(CChartWnd& chart, Host& host)
{
    chart.Create(WS_VISIBLE, RECT{0, 0, 700, 240}, &host.wnd, 1000);
    chart.AddLine(kCrankLine, RGB(0, 100, 255), 0, 2, TRUE, 10);
    chart.AddLine(kCamLine, RGB(255, 255, 0), 0, 2, TRUE, 10);
}

// Square-wave points as the decoder makes them: two per edge, 0.01 apart.
void AddSquareWave(CChartWnd& chart, UINT line, int points)
{
    for (int i = 0; i < points; i += 2) {
        const float x = float(i) * 5.0f;
        const float level = (i / 2) % 2 ? kHigh : 0.0f;
        chart.AddPoint(line, x, kHigh - level, TRUE);
        chart.AddPoint(line, x + 0.01f, level, TRUE);
    }
}

void BM_AddPointGrowingToMillion(benchmark::State& state)
{
    Host host;
    for (auto _ : state) {
        state.PauseTiming();
        auto chart = std::make_unique<CChartWnd>();
        CreateAsDialogDoes(*chart, host);
        state.ResumeTiming();
        AddSquareWave(*chart, kCrankLine, kMillion);
        state.PauseTiming();
        chart.reset();
        state.ResumeTiming();
    }
    state.counters["per_point"] =
        benchmark::Counter(kMillion, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AddPointGrowingToMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DecodeTickCount(benchmark::State& state)
{
    // The decoder draws on the tool's one chart, which has no window yet.
    Host host;
    CreateAsDialogDoes(g_chart, host);
    g_fCrankHigh = 0.5f;
    g_fCamHigh = 0.4f;

    const auto calibrate = [] {
        ResetDecoder();
        DecodeRecordType('R');
        DecodeTickCount(1000, 1);
        DecodeRecordType('F');
        DecodeTickCount(1000, 3);
    };
    calibrate();
    static const unsigned char kTypes[] = {'R', 'r', 'F', 'f'};
    int position = 5;
    std::size_t record = 0;
    for (auto _ : state) {
        DecodeRecordType(kTypes[record % 4]);
        DecodeTickCount(250, position);
        position += 2;
        // Keep the lines at the length of a long capture, not of the run.
        if (++record % kMillion == 0) {
            state.PauseTiming();
            g_chart.ClearPoints();
            calibrate();
            position = 5;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}
BENCHMARK(BM_DecodeTickCount);

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

// Not a timing: the heap a line's points hold, per point, as malloc sees it.
void BM_MemoryPerPoint(benchmark::State& state)
{
    const int points = int(state.range(0));
    double bytesPerPoint = 0.0;
    for (auto _ : state) {
        CChartWnd chart;
        chart.AddLine(kCrankLine, 0, 0, 1, TRUE, 10);
        const std::size_t before = HeapInUse();
        AddSquareWave(chart, kCrankLine, points);
        const std::size_t after = HeapInUse();
        bytesPerPoint = double(after - before) / double(chart.LinePoints(kCrankLine)->size());
    }
    state.counters["bytes_per_point"] = bytesPerPoint;
}
BENCHMARK(BM_MemoryPerPoint)->Arg(kMillion)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
