// dentora-cli's trigger report and --expect, on captures of a simulated
// 36-1 wheel: the exit status a bench rig's script relies on.
#include "cli_runner.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace dentora::test {
namespace {

const QString kExpect = QStringLiteral("--expect");

// 450 records: six revolutions of a 36-1 wheel at 3000 rpm, 4 us ticks.
void ThirtySixMinusOne(sim::ControllerConfig& config)
{
    config.engine.teeth = 36;
    config.engine.missingTeeth = 1;
}

QJsonObject Member(const CliResult& run, const char* name)
{
    return QJsonDocument::fromJson(run.out.toUtf8()).object().value(QLatin1String(name)).toObject();
}

TEST(CliAnalysis, ExpectSaysWhetherTheWheelMatchesInTheExitStatus)
{
    const auto controller = StartController(300, ThirtySixMinusOne);
    const QString device = QString::fromStdString(controller->DevicePath());

    const CliResult matched =
        RunCli({kCapture, kPortOption, device, kExpect, QStringLiteral("36-1"), QStringLiteral("--report"),
                QStringLiteral("--tick-us"), QStringLiteral("4"), kJson});
    EXPECT_EQ(matched.exitCode, 0) << matched.err.toStdString();
    EXPECT_EQ(SchemaViolations(matched.out), QString()) << matched.out.toStdString();
    EXPECT_TRUE(Member(matched, "expect").value(QStringLiteral("matches")).toBool());
    const QJsonObject analysis = Member(matched, "analysis");
    EXPECT_EQ(analysis.value(QStringLiteral("wheel")).toObject().value(QStringLiteral("pattern")).toString(),
              QStringLiteral("36-1"));
    const double meanRpm =
        analysis.value(QStringLiteral("speed")).toObject().value(QStringLiteral("meanRpm")).toDouble();
    EXPECT_NEAR(meanRpm, controller->Timing().effectiveRpm, 0.01 * controller->Timing().effectiveRpm);

    const CliResult mismatched = RunCli({kCapture, kPortOption, device, kExpect, QStringLiteral("60-2"), kJson});
    EXPECT_EQ(mismatched.exitCode, 7);
    EXPECT_TRUE(mismatched.err.contains(QStringLiteral("dentora-cli: the capture does not match 60-2: ")))
        << mismatched.err.toStdString();
    EXPECT_EQ(SchemaViolations(mismatched.out), QString()) << mismatched.out.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(mismatched.out.toUtf8()).object().value(QStringLiteral("status")).toString(),
              QStringLiteral("pattern-mismatch"));
}

// The README's bench-rig line, run by a shell as a script would: "trigger
// OK" only for the wheel asked for, and only when it is healthy, unless the
// rig tolerates the anomaly found.
TEST(CliAnalysis, BenchRigLineEchoesOnlyForAHealthyMatch)
{
    const QString line = QStringLiteral("'%1' capture --port '%2' --expect %3 >/dev/null 2>&1 && echo trigger OK");
    const auto clean = StartController(300, ThirtySixMinusOne);
    const auto glitchy = StartController(300, [](sim::ControllerConfig& config) {
        ThirtySixMinusOne(config);
        config.engine.faults.glitchAfterTooth = 40;
    });
    struct Case {
        const sim::PtyController* controller;
        const char* expect;
        bool echoed;
    };
    for (const Case& run : {Case{clean.get(), "36-1", true}, Case{clean.get(), "36-2", false},
                            Case{glitchy.get(), "36-1", false}, Case{glitchy.get(), "36-1 --allow glitch", true}}) {
        QProcess shell;
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"),
                     line.arg(QStringLiteral(DENTORA_CLI_EXECUTABLE),
                              QString::fromStdString(run.controller->DevicePath()), QLatin1String(run.expect))});
        ASSERT_TRUE(shell.waitForFinished(60000));
        EXPECT_EQ(shell.readAllStandardOutput() == "trigger OK\n", run.echoed) << run.expect;
    }
}

// analyze reads any capture, a failed one too, and reports on it.
TEST(CliAnalysis, AnalyzeExitsZeroForAFailedCaptureItCanRead)
{
    QTemporaryDir dir;
    const auto controller = StartController(300, [](sim::ControllerConfig& config) {
        ThirtySixMinusOne(config);
        config.faults.badTypeAtRecord = 200;
    });
    const QString saved = dir.filePath(QStringLiteral("broken.dentora"));
    ASSERT_EQ(
        RunCli({kCapture, kPortOption, QString::fromStdString(controller->DevicePath()), QStringLiteral("-o"), saved})
            .exitCode,
        5);
    const CliResult report =
        RunCli({QStringLiteral("analyze"), saved, QStringLiteral("--tick-us"), QStringLiteral("4")});
    EXPECT_EQ(report.exitCode, 0) << report.err.toStdString();
    EXPECT_TRUE(report.out.contains(QStringLiteral("36-1"))) << report.out.toStdString();
    EXPECT_TRUE(report.out.contains(QStringLiteral("rpm"))) << report.out.toStdString();
    EXPECT_TRUE(report.err.isEmpty()) << report.err.toStdString();

    const CliResult json = RunCli({QStringLiteral("analyze"), saved, kExpect, QStringLiteral("36-1"), kJson});
    EXPECT_EQ(json.exitCode, 0) << json.err.toStdString();
    EXPECT_EQ(SchemaViolations(json.out), QString()) << json.out.toStdString();
    EXPECT_EQ(Member(json, "capture").value(QStringLiteral("outcome")).toString(), QStringLiteral("out-of-sequence"));
}

}  // namespace
}  // namespace dentora::test
