// Fast fetch against the simulated controller on a pseudo-terminal, through
// a line model of a USB-serial adapter at 115200 baud, driven by the real
// dialog and its event loop. A full capture buffer: 4,049 records, 12,147
// "a" requests. The fetch is timed from the end of the tick that read the
// count to the end of the tick that took the last record, and set against
// the least time the line model itself needs for those bytes at that depth.
// While it runs, a 1 ms probe timer notes the longest the event loop went
// without turning (a tick, and the paint after it).
#include "analyzer_dlg.h"
#include "capture/fetch_options.h"
#include "capture/test_run.h"
#include "res/resource.h"
#include "simulator/line_model.h"
#include "simulator/pty_controller.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>

namespace {

namespace sim = dentora::sim;

constexpr int kBaud = 115200;
constexpr double kLimitFactor = 1.5;
constexpr int kFullLogRecords = 4049;
constexpr int kPacedRecords = 100;

struct FetchFigures {
    double seconds = 0;         // the fetch
    double longestBlockMs = 0;  // the event loop's longest stop during it
    std::size_t records = 0;
    bool finished = false;
};

// Made once and kept for the run, until the application goes: its windows
// (and the chart's, a child of it) must not outlive the application.
CAnalyzerDlg& Dialog()
{
    static std::unique_ptr<CAnalyzerDlg> dialog;
    if (!dialog) {
        dialog = std::make_unique<CAnalyzerDlg>();
        dialog->CreateModeless();
        qAddPostRoutine([] { dialog.reset(); });
    }
    return *dialog;
}

// One capture through the dialog, as a user would start it.
FetchFigures Fetch(const sim::ControllerConfig& config, const dentora::FetchOptions& options)
{
    dentora::SetFetchOptions(options);
    sim::PtyController controller(config);
    CAnalyzerDlg& dialog = Dialog();
    qobject_cast<QComboBox*>(dialog.GetDlgItem(IDC_COMPORT)->GetSafeWidget())
        ->setEditText(QString::fromStdString(controller.Start()));

    FetchFigures figures;
    QElapsedTimer clock;
    qint64 fetchStartNs = -1;
    qint64 lastTurnNs = 0;
    QEventLoop loop;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const bool fetching = g_nTestState == kFetch;
        if (fetching && fetchStartNs < 0)
            fetchStartNs = now;
        if (fetching && fetchStartNs >= 0 && lastTurnNs >= fetchStartNs)
            figures.longestBlockMs = std::max(figures.longestBlockMs, (now - lastTurnNs) / 1e6);
        if (!fetching && fetchStartNs >= 0 && figures.seconds == 0)
            figures.seconds = (now - fetchStartNs) / 1e9;
        lastTurnNs = now;
        if (g_nTestState == kIdle)
            loop.quit();
    });
    clock.start();
    probe.start(1);
    qobject_cast<QPushButton*>(dialog.GetDlgItem(IDC_RUN_TEST)->GetSafeWidget())->click();
    loop.exec();
    controller.Stop();
    figures.records = CurrentCaptureLog().records.size();
    figures.finished = CurrentCaptureLog().outcome == dentora::TestOutcome::kFinished;
    return figures;
}

sim::ControllerConfig LoggingController(int latencyMs, std::uint16_t count)
{
    sim::ControllerConfig config;
    config.countOverride = count;
    config.acknowledgeDelay = std::chrono::milliseconds(20);
    config.line = sim::LineModel{kBaud, std::chrono::milliseconds(latencyMs)};
    return config;
}

// Fast fetch times by depth and latency, for the speed-up.
std::map<std::pair<int, int>, double>& FastSeconds()
{
    static std::map<std::pair<int, int>, double> seconds;
    return seconds;
}

void BM_FastFetchFullLog(benchmark::State& state)
{
    const int depth = int(state.range(0));
    const int latencyMs = int(state.range(1));
    const sim::ControllerConfig config = LoggingController(latencyMs, sim::kOversizedCount);
    const double lineSeconds =
        std::chrono::duration<double>(sim::PipelinedExchangeTime(config.line, 3 * kFullLogRecords, depth)).count();
    FetchFigures figures;
    for (auto _ : state) {
        figures = Fetch(config, {true, depth});
        state.SetIterationTime(figures.seconds);
    }
    if (!figures.finished || figures.records != std::size_t(kFullLogRecords))
        state.SkipWithError("the fetch did not bring the whole log");
    FastSeconds()[{depth, latencyMs}] = figures.seconds;
    state.counters["fetch_s"] = figures.seconds;
    state.counters["line_s"] = lineSeconds;
    state.counters["limit_s"] = kLimitFactor * lineSeconds;
    state.counters["x_line"] = figures.seconds / lineSeconds;
    state.counters["longest_block_ms"] = figures.longestBlockMs;
}
BENCHMARK(BM_FastFetchFullLog)
    ->ArgNames({"depth", "latency_ms"})
    ->Args({3, 1})
    ->Args({48, 1})
    ->Args({3, 16})
    ->Args({48, 16})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// One record per tick, on the same line, over a shorter log (the count
// announces kPacedRecords); the full log at that pace and the fast
// fetches' speed-up over it follow from it.
void BM_OneRecordPerTick(benchmark::State& state)
{
    const int latencyMs = 1;
    const sim::ControllerConfig config = LoggingController(latencyMs, 3 * kPacedRecords);
    FetchFigures figures;
    for (auto _ : state) {
        figures = Fetch(config, {});
        state.SetIterationTime(figures.seconds);
    }
    const double perRecord = figures.seconds / double(std::max<std::size_t>(figures.records, 1));
    const double fullLog = perRecord * kFullLogRecords;
    state.counters["records"] = double(figures.records);
    state.counters["s_per_record"] = perRecord;
    state.counters["full_log_s"] = fullLog;
    for (const auto& [key, seconds] : FastSeconds()) {
        if (key.second == latencyMs && seconds > 0)
            state.counters["speedup_depth_" + std::to_string(key.first)] = fullLog / seconds;
    }
}
BENCHMARK(BM_OneRecordPerTick)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// dentora-cli's fast fetch of the same full log on the same line, as its own
// process (fast is its default), against the dialog's figure from this run.
// Timed as the dialog's fetch is: from the status line that follows the
// count to the progress line of the last record, as each reaches the
// tool's standard error.
struct CliFigures {
    double fetchSeconds = 0;
    double processSeconds = 0;
    int records = 0;
    bool finished = false;
};

CliFigures CliFetch(const sim::ControllerConfig& config, int depth)
{
    sim::PtyController controller(config);
    QProcess cli;
    cli.setReadChannel(QProcess::StandardError);
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(DENTORA_CLI_EXECUTABLE),
              {QStringLiteral("capture"), QStringLiteral("--port"), QString::fromStdString(controller.Start()),
               QStringLiteral("--ahead"), QString::number(depth), QStringLiteral("--json")});
    const QByteArray lastRecord = QByteArrayLiteral("Fetched 4049 of 4049 records");
    qint64 startNs = -1;
    qint64 endNs = -1;
    while (cli.state() != QProcess::NotRunning || cli.canReadLine()) {
        if (!cli.canReadLine())
            cli.waitForReadyRead(50);
        while (cli.canReadLine()) {
            const QByteArray line = cli.readLine();
            if (line.startsWith("Step 5: Plot Tach Signals..."))
                startNs = clock.nsecsElapsed();
            else if (line.startsWith(lastRecord))
                endNs = clock.nsecsElapsed();
        }
    }
    CliFigures figures;
    figures.processSeconds = clock.nsecsElapsed() / 1e9;
    const QJsonObject capture =
        QJsonDocument::fromJson(cli.readAllStandardOutput()).object().value(QStringLiteral("capture")).toObject();
    figures.records = capture.value(QStringLiteral("records")).toInt();
    figures.finished = cli.exitCode() == 0 && startNs >= 0 && endNs > startNs;
    figures.fetchSeconds = figures.finished ? (endNs - startNs) / 1e9 : 0;
    controller.Stop();
    return figures;
}

void BM_CliFastFetchFullLog(benchmark::State& state)
{
    const int depth = int(state.range(0));
    const int latencyMs = 1;
    const sim::ControllerConfig config = LoggingController(latencyMs, sim::kOversizedCount);
    CliFigures figures;
    for (auto _ : state) {
        figures = CliFetch(config, depth);
        state.SetIterationTime(figures.fetchSeconds);
    }
    if (!figures.finished || figures.records != kFullLogRecords)
        state.SkipWithError("dentora-cli did not bring the whole log");
    state.counters["fetch_s"] = figures.fetchSeconds;
    state.counters["process_s"] = figures.processSeconds;
    const double dialogSeconds = FastSeconds()[{depth, latencyMs}];
    if (dialogSeconds > 0) {
        state.counters["dialog_fetch_s"] = dialogSeconds;
        state.counters["x_dialog"] = figures.fetchSeconds / dialogSeconds;
    }
}
BENCHMARK(BM_CliFastFetchFullLog)
    ->ArgNames({"depth"})
    ->Args({3})
    ->Args({48})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
