// Recordings of other tools, at the size a minute of a fast engine makes:
// 10^6 edges of a 60-2 crank wheel at 3,000 rpm with its cam, as a VCD and as
// a time-and-level CSV. Read, analysed and drawn through the real dialog's
// chart; the memory the capture holds once drawn; the paint with it shown.
#include "analyzer_dlg.h"
#include "capture/capture_files.h"
#include "capture/test_run.h"
#include "chart/chart_image.h"

#include "analysis/trigger_analysis.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

constexpr std::size_t kEdges = 1000000;
constexpr double kToothSeconds = 60.0 / 3000.0 / 60.0;  // 60 slots per turn at 3,000 rpm

// One change: its time, and both levels after it.
struct Row {
    double seconds;
    bool crank;
    bool cam;
};

// The crank's edges (teeth 1 to 58 high for half a slot, two slots missing)
// and a cam pulse over one tooth every second turn, in time order.
template <typename Write>
void Generate(Write write)
{
    bool crank = false;
    bool cam = false;
    std::size_t edges = 0;
    for (std::size_t slot = 0; edges < kEdges; ++slot) {
        const bool tooth = slot % 60 < 58;
        const bool camEdge = (slot % 120) == 20 || (slot % 120) == 21;
        const double start = double(slot) * kToothSeconds;
        if (tooth) {
            crank = true;
            write(Row{start, crank, cam});
            ++edges;
        }
        if (camEdge) {
            cam = !cam;
            write(Row{start + kToothSeconds * 0.25, crank, cam});
            ++edges;
        }
        if (tooth) {
            crank = false;
            write(Row{start + kToothSeconds / 2.0, crank, cam});
            ++edges;
        }
    }
}

void WriteCsv(const std::string& path)
{
    std::ofstream out(path);
    out << "time,crank,cam\n0,0,0\n";
    char line[64];
    Generate([&](const Row& row) {
        std::snprintf(line, sizeof line, "%.9f,%d,%d\n", row.seconds + 1e-3, int(row.crank), int(row.cam));
        out << line;
    });
}

void WriteVcd(const std::string& path)
{
    std::ofstream out(path);
    out << "$timescale 1 ns $end\n$scope module engine $end\n$var wire 1 ! crank $end\n$var wire 1 \" cam $end\n"
           "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n0!\n0\"\n$end\n";
    bool levels[2] = {false, false};
    Generate([&](const Row& row) {
        out << '#' << std::llround((row.seconds + 1e-3) * 1e9) << '\n';
        if (row.crank != levels[0])
            out << (row.crank ? "1!\n" : "0!\n");
        if (row.cam != levels[1])
            out << (row.cam ? "1\"\n" : "0\"\n");
        levels[0] = row.crank;
        levels[1] = row.cam;
    });
}

// The resident set now, and at its highest so far, in bytes.
std::size_t ProcessBytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stoull(line.substr(std::string(field).size())) * 1024;
    }
    return 0;
}

struct Fixture {
    Fixture()
    {
        if (!dialog.CreateModeless() || !folder.isValid())
            throw std::runtime_error("no dialog or no temporary folder");
        WriteCsv(File("engine.csv").toStdString());
        WriteVcd(File("engine.vcd").toStdString());
        idleBytes = ProcessBytes("VmRSS:");
    }
    QString File(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }

    CAnalyzerDlg dialog;
    QTemporaryDir folder;
    std::size_t idleBytes = 0;
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

// From the file to the chart painted with it and the report made; then the
// memory above the idle process, at the peak and once the capture is shown.
void ReadAnalyseDraw(benchmark::State& state, const char* file)
{
    Fixture& fixture = Shared();
    QString error;
    for (auto _ : state) {
        if (!dentora::OpenCaptureFile(fixture.File(file), &error)) {
            state.SkipWithError(error.toUtf8().constData());
            return;
        }
        const dentora::TriggerReport report = dentora::AnalyzeTrigger(CurrentCaptureLog().records, {1.0});
        benchmark::DoNotOptimize(report.teeth.size());
        benchmark::DoNotOptimize(RenderChartImage());
    }
    const double edges = double(CurrentCaptureLog().records.size() - 2);
    state.counters["edges"] = edges;
    state.counters["shown_bytes_per_edge"] = double(ProcessBytes("VmRSS:") - fixture.idleBytes) / edges;
    state.counters["peak_bytes_per_edge"] = double(ProcessBytes("VmHWM:") - fixture.idleBytes) / edges;
}

void BM_ReadAnalyseDrawVcd(benchmark::State& state)
{
    ReadAnalyseDraw(state, "engine.vcd");
}
BENCHMARK(BM_ReadAnalyseDrawVcd)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ReadAnalyseDrawCsv(benchmark::State& state)
{
    ReadAnalyseDraw(state, "engine.csv");
}
BENCHMARK(BM_ReadAnalyseDrawCsv)->Unit(benchmark::kMillisecond)->Iterations(2);

// The read alone (no chart), for where the time goes.
void BM_ImportCsvOnly(benchmark::State& state)
{
    Fixture& fixture = Shared();
    for (auto _ : state) {
        dentora::CaptureLog log;
        QString error;
        if (!dentora::LoadCaptureFile(fixture.File("engine.csv"), &log, &error))
            state.SkipWithError(error.toUtf8().constData());
        benchmark::DoNotOptimize(log.records.data());
    }
}
BENCHMARK(BM_ImportCsvOnly)->Unit(benchmark::kMillisecond)->Iterations(2);

// The replay onto the chart alone (the decoder's calls, two points per
// edge), and the trigger analysis alone, of the same capture.
// The VCD's capture, read once before the timing; a failed read skips the
// benchmark with its reason.
std::optional<dentora::CaptureLog> ImportedVcd(benchmark::State& state)
{
    dentora::CaptureLog log;
    QString error;
    if (!dentora::LoadCaptureFile(Shared().File("engine.vcd"), &log, &error)) {
        state.SkipWithError(error.toUtf8().constData());
        return std::nullopt;
    }
    return log;
}

void BM_ReplayOnly(benchmark::State& state)
{
    const std::optional<dentora::CaptureLog> log = ImportedVcd(state);
    if (!log)
        return;
    for (auto _ : state)
        LoadCapture(*log);
}
BENCHMARK(BM_ReplayOnly)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_AnalyseOnly(benchmark::State& state)
{
    const std::optional<dentora::CaptureLog> log = ImportedVcd(state);
    if (!log)
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(dentora::AnalyzeTrigger(log->records, {1.0}).teeth.size());
}
BENCHMARK(BM_AnalyseOnly)->Unit(benchmark::kMillisecond)->Iterations(2);

// One paint of the chart with the whole imported capture on it: the cost
// follows what is in view, not the capture's length.
void BM_PaintWithImportedCapture(benchmark::State& state)
{
    Fixture& fixture = Shared();
    QString error;
    if (!dentora::OpenCaptureFile(fixture.File("engine.vcd"), &error)) {
        state.SkipWithError(error.toUtf8().constData());
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(RenderChartImage());
}
BENCHMARK(BM_PaintWithImportedCapture)->Unit(benchmark::kMillisecond);

}  // namespace
