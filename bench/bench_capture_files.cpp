// A capture as files: open and draw, save, and export VCD and CSV, for the
// longest capture a test can fetch (4,049 records of a 36-1 wheel from the
// engine model), through the real dialog's chart, on a local disk.
#include "analyzer_dlg.h"
#include "capture/capture_files.h"
#include "capture/test_run.h"
#include "chart/chart_image.h"
#include "simulator/engine_model.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

namespace {

dentora::CaptureLog LongestCapture()
{
    dentora::sim::EngineConfig engine;
    engine.teeth = 36;
    engine.missingTeeth = 1;
    dentora::sim::TachLog log(dentora::sim::ResolveTiming(engine));
    dentora::CaptureLog capture;
    for (std::size_t i = 0; i < dentora::kMaxCaptureRecords; ++i) {
        const dentora::sim::Record record = log.Next();
        capture.records.push_back({record.type, record.ticks});
    }
    capture.announcedBytes = 65535;
    capture.port = QStringLiteral("/dev/ttyUSB0");
    capture.startedAt = QDateTime::currentDateTimeUtc();
    capture.outcome = dentora::TestOutcome::kFinished;
    return capture;
}

// The dialog, its chart and a saved capture file, made once.
struct Fixture {
    Fixture()
    {
        if (!dialog.CreateModeless() || !folder.isValid())
            throw std::runtime_error("no dialog or no temporary folder");
        QString error;
        if (!dentora::SaveCaptureFile(File("capture.dentora"), capture, &error))
            throw std::runtime_error(error.toStdString());
    }
    QString File(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }

    CAnalyzerDlg dialog;
    QTemporaryDir folder;
    dentora::CaptureLog capture = LongestCapture();
};

// Kept for the run, until the application goes: the dialog's windows must
// not outlive it.
Fixture& Shared()
{
    static std::unique_ptr<Fixture> fixture;
    if (!fixture) {
        fixture = std::make_unique<Fixture>();
        qAddPostRoutine([] { fixture.reset(); });
    }
    return *fixture;
}

void Check(benchmark::State& state, bool done, const QString& error)
{
    if (!done)
        state.SkipWithError(error.toUtf8().constData());
}

void BM_OpenAndDrawCapture(benchmark::State& state)
{
    Fixture& fixture = Shared();
    QString error;
    for (auto _ : state) {
        // From the file on disk to the chart painted with it.
        Check(state, dentora::OpenCaptureFile(fixture.File("capture.dentora"), &error), error);
        benchmark::DoNotOptimize(RenderChartImage());
    }
}
BENCHMARK(BM_OpenAndDrawCapture)->Unit(benchmark::kMillisecond);

void BM_SaveCapture(benchmark::State& state)
{
    Fixture& fixture = Shared();
    QString error;
    for (auto _ : state)
        Check(state, dentora::SaveCaptureFile(fixture.File("saved.dentora"), fixture.capture, &error), error);
}
BENCHMARK(BM_SaveCapture)->Unit(benchmark::kMillisecond);

void BM_ExportVcd(benchmark::State& state)
{
    Fixture& fixture = Shared();
    QString error;
    for (auto _ : state)
        Check(state, dentora::ExportVcdFile(fixture.File("capture.vcd"), fixture.capture, &error), error);
}
BENCHMARK(BM_ExportVcd)->Unit(benchmark::kMillisecond);

void BM_ExportCsv(benchmark::State& state)
{
    Fixture& fixture = Shared();
    QString error;
    for (auto _ : state)
        Check(state, dentora::ExportCsvFile(fixture.File("capture.csv"), fixture.capture, &error), error);
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);

}  // namespace
