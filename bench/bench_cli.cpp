// dentora-cli analyze as a script runs it: a whole process, from start to
// exit, on the longest capture one test can fetch (4,049 records of a 36-1
// wheel from the simulated controller, saved by dentora-cli capture -o).
#include "simulator/controller_protocol.h"
#include "simulator/pty_controller.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

namespace sim = dentora::sim;

const QString kCli = QStringLiteral(DENTORA_CLI_EXECUTABLE);

// The capture file, made once per run; empty when the capture failed.
QString FullCaptureFile(const QTemporaryDir& dir)
{
    sim::ControllerConfig config;
    config.engine.missingTeeth = 1;
    config.countOverride = sim::kOversizedCount;
    config.acknowledgeDelay = std::chrono::milliseconds(20);
    sim::PtyController controller(config);
    const QString path = dir.filePath(QStringLiteral("full.dentora"));
    QProcess capture;
    capture.start(kCli,
                  {QStringLiteral("capture"), QStringLiteral("--port"), QString::fromStdString(controller.Start()),
                   QStringLiteral("--ahead"), QStringLiteral("48"), QStringLiteral("-o"), path});
    const bool finished = capture.waitForFinished(120000) && capture.exitCode() == 0;
    controller.Stop();
    return finished ? path : QString();
}

void BM_CliAnalyzeProcess(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = FullCaptureFile(dir);
    if (path.isEmpty()) {
        state.SkipWithError("no capture to analyse");
        return;
    }
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QProcess analyze;
        analyze.start(kCli,
                      {QStringLiteral("analyze"), path, QStringLiteral("--tick-us"), QStringLiteral("4"),
                       QStringLiteral("--json")});
        if (!analyze.waitForFinished(10000) || analyze.exitCode() != 0)
            state.SkipWithError("analyze failed");
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    }
}
BENCHMARK(BM_CliAnalyzeProcess)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
