// dentora-cli's files: a capture written with -o whatever the outcome, the
// exports and the picture, read back with the tool's own reader and Qt's.
#include "cli_runner.h"

#include "capture/capture_files.h"
#include "chart/chart_image.h"
#include "chart/chart_wnd.h"
#include "dialog_driver.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace dentora::test {
namespace {

const QString kExport = QStringLiteral("export");

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

CaptureLog Load(const QString& path)
{
    CaptureLog log;
    QString error;
    EXPECT_TRUE(LoadCaptureFile(path, &log, &error)) << error.toStdString();
    return log;
}

bool HasColor(const QImage& image, const QColor& color)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == color)
                return true;
        }
    }
    return false;
}

bool HasCrankBlue(const QImage& image)
{
    return HasColor(image, QColor(0, 100, 255));
}

// Everything at once, without a display: the picture takes the offscreen
// platform by itself. An export of the saved capture gives the same files.
TEST(CliFiles, CaptureWritesEveryFileAskedForAndExportRepeatsThem)
{
    QTemporaryDir dir;
    const auto controller = StartController(40);
    const QString saved = dir.filePath(QStringLiteral("run.dentora"));
    const QStringList noDisplay = {QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY="),
                                   QStringLiteral("WAYLAND_DISPLAY=")};
    const CliResult run =
        RunCli({kCapture, kPortOption, QString::fromStdString(controller->DevicePath()), QStringLiteral("-o"), saved,
                QStringLiteral("--vcd"), dir.filePath(QStringLiteral("a.vcd")), QStringLiteral("--csv"),
                dir.filePath(QStringLiteral("a.csv")), QStringLiteral("--png"), dir.filePath(QStringLiteral("a.png")),
                QStringLiteral("--tick-us"), QStringLiteral("4"), kJson},
               noDisplay);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(SchemaViolations(run.out), QString()) << run.out.toStdString();
    const QJsonObject document = QJsonDocument::fromJson(run.out.toUtf8()).object();
    for (const QJsonValue file : document.value(QStringLiteral("files")).toArray())
        EXPECT_TRUE(file.toObject().value(QStringLiteral("written")).toBool());

    const CaptureLog log = Load(saved);
    EXPECT_EQ(log.outcome, TestOutcome::kFinished);
    EXPECT_EQ(int(log.records.size()), document.value(kCapture).toObject().value(QStringLiteral("records")).toInt());
    const QImage picture(dir.filePath(QStringLiteral("a.png")));
    ASSERT_FALSE(picture.isNull());
    EXPECT_TRUE(HasCrankBlue(picture));
    EXPECT_TRUE(Contents(dir.filePath(QStringLiteral("a.vcd"))).contains("4 us"))
        << Contents(dir.filePath(QStringLiteral("a.vcd"))).left(400).toStdString();

    const CliResult exported =
        RunCli({kExport, saved, QStringLiteral("--vcd"), dir.filePath(QStringLiteral("b.vcd")), QStringLiteral("--csv"),
                dir.filePath(QStringLiteral("b.csv")), QStringLiteral("--tick-us=4"), kJson});
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    EXPECT_EQ(SchemaViolations(exported.out), QString()) << exported.out.toStdString();
    EXPECT_EQ(Contents(dir.filePath(QStringLiteral("b.vcd"))), Contents(dir.filePath(QStringLiteral("a.vcd"))));
    EXPECT_EQ(Contents(dir.filePath(QStringLiteral("b.csv"))), Contents(dir.filePath(QStringLiteral("a.csv"))));
}

// A small wheel, so that the analysis sees whole revolutions before the
// glitch, which comes late enough to be in the view that follows the end.
void TwelveMinusOneGlitchAfterTooth60(sim::ControllerConfig& config)
{
    config.engine.teeth = 12;
    config.engine.missingTeeth = 1;
    config.engine.faults.glitchAfterTooth = 60;
}

// The picture is drawn without the dialog, yet it is the dialog's chart
// pixel for pixel, the anomaly's mark included.
TEST(CliFiles, PictureIsTheDialogsChartPixelForPixel)
{
    QTemporaryDir dir;
    const auto controller = StartController(160, TwelveMinusOneGlitchAfterTooth60);
    const QString saved = dir.filePath(QStringLiteral("run.dentora"));
    const QString png = dir.filePath(QStringLiteral("cli.png"));
    const CliResult run = RunCli({kCapture, kPortOption, QString::fromStdString(controller->DevicePath()),
                                  QStringLiteral("-o"), saved, QStringLiteral("--png"), png});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    DialogDriver driver;
    ASSERT_TRUE(driver.Opened());
    QString error;
    ASSERT_TRUE(OpenCaptureFile(saved, &error)) << error.toStdString();
    driver.Tick();  // the dialog's timer hands the ended capture to its analysis
    const QImage dialogChart = RenderChartImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = QImage(png).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(g_chart.Marks().empty());
    EXPECT_EQ(picture.size(), dialogChart.size());
    EXPECT_TRUE(picture == dialogChart);
    EXPECT_TRUE(HasColor(picture, QColor(255, 0, 255))) << "the glitch's mark";
}

// A failed test is worth inspecting: -o keeps it, with how it ended.
TEST(CliFiles, FailedCaptureIsStillWrittenWithItsOutcome)
{
    QTemporaryDir dir;
    const auto controller = StartController(40, [](sim::ControllerConfig& c) { c.faults.badTypeAtRecord = 7; });
    const QString saved = dir.filePath(QStringLiteral("bad.dentora"));
    const CliResult run =
        RunCli({kCapture, kPortOption, QString::fromStdString(controller->DevicePath()), QStringLiteral("-o"), saved});
    EXPECT_EQ(run.exitCode, 5) << run.err.toStdString();
    const CaptureLog log = Load(saved);
    EXPECT_EQ(log.outcome, TestOutcome::kOutOfSequence);
    EXPECT_EQ(log.records.size(), 7u) << "the records before the bad type byte";
}

// Ctrl+C mid-fetch: the partial capture is a valid file of what came.
TEST(CliFiles, InterruptedCaptureLeavesAValidPartialFile)
{
    QTemporaryDir dir;
    const auto controller = StartController(200, [](sim::ControllerConfig& c) {
        c.line = sim::LineModel{115200, std::chrono::milliseconds(16)};
    });
    const QString saved = dir.filePath(QStringLiteral("part.dentora"));
    const auto process = StartCli(
        {kCapture, kPortOption, QString::fromStdString(controller->DevicePath()), QStringLiteral("-o"), saved, kJson});
    process->setReadChannel(QProcess::StandardError);
    QString err;
    while (!err.contains(QStringLiteral("Fetched ")) && process->waitForReadyRead(20000))
        err += QString::fromUtf8(process->readAllStandardError());
    ::kill(pid_t(process->processId()), SIGINT);
    ASSERT_TRUE(process->waitForFinished(10000));
    EXPECT_EQ(process->exitCode(), 130);
    const QJsonObject capture =
        QJsonDocument::fromJson(process->readAllStandardOutput()).object().value(kCapture).toObject();
    const CaptureLog log = Load(saved);
    EXPECT_EQ(log.outcome, TestOutcome::kHalted);
    EXPECT_GT(log.records.size(), 2u);
    EXPECT_LT(log.records.size(), 300u);
    EXPECT_EQ(int(log.records.size()), capture.value(QStringLiteral("records")).toInt());
}

// Bad input: one line naming the file, exit status 8, nothing half-written.
TEST(CliFiles, FilesThatAreNoCaptureOrCannotBeWrittenExitEight)
{
    QTemporaryDir dir;
    const QString garbage = dir.filePath(QStringLiteral("garbage.dentora"));
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "\x7f"
        "ELF binary garbage\n");
    file.close();
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    for (const QString& input : {garbage, dir.filePath(QStringLiteral("missing.dentora"))}) {
        const CliResult run = RunCli({kExport, input, QStringLiteral("--csv"), csv, kJson});
        EXPECT_EQ(run.exitCode, 8);
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("dentora-cli: ") + input)) << run.err.toStdString();
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        EXPECT_EQ(SchemaViolations(run.out), QString()) << run.out.toStdString();
        EXPECT_FALSE(QFile::exists(csv));
    }

    const auto controller = StartController(20);
    const QString saved = dir.filePath(QStringLiteral("good.dentora"));
    ASSERT_EQ(
        RunCli({kCapture, kPortOption, QString::fromStdString(controller->DevicePath()), QStringLiteral("-o"), saved})
            .exitCode,
        0);
    const CliResult unwritable =
        RunCli({kExport, saved, QStringLiteral("--csv"), dir.filePath(QStringLiteral("no/such/folder/out.csv"))});
    EXPECT_EQ(unwritable.exitCode, 8);
    EXPECT_TRUE(unwritable.err.contains(QStringLiteral("no/such/folder/out.csv"))) << unwritable.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "only the two inputs";
}

// A capture that never started destroys nothing: a port that does not open
// leaves earlier files as they were, and an output that cannot be written
// is found out before the controller is sent a byte.
TEST(CliFiles, NothingIsWrittenOrSentWhenTheCaptureCannotStartOrBeKept)
{
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("run.dentora"));
    const QString vcd = dir.filePath(QStringLiteral("run.vcd"));
    for (const QString& path : {saved, vcd}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("earlier run\n") > 0);
    }
    const CliResult missing = RunCli({kCapture, kPortOption, dir.filePath(QStringLiteral("no-such-port")),
                                      QStringLiteral("-o"), saved, QStringLiteral("--vcd"), vcd, kJson});
    EXPECT_EQ(missing.exitCode, 3) << missing.err.toStdString();
    EXPECT_EQ(SchemaViolations(missing.out), QString()) << missing.out.toStdString();
    for (const QJsonValue file : QJsonDocument::fromJson(missing.out.toUtf8())[QStringLiteral("files")].toArray())
        EXPECT_FALSE(file[QStringLiteral("written")].toBool());
    EXPECT_EQ(Contents(saved), "earlier run\n");
    EXPECT_EQ(Contents(vcd), "earlier run\n");

    const auto controller = StartController(20);
    const QString unwritable = QStringLiteral("/nonexistent/x.dentora");
    const CliResult refused =
        RunCli({kCapture, kPortOption, QString::fromStdString(controller->DevicePath()), QStringLiteral("--csv"),
                dir.filePath(QStringLiteral("a.csv")), QStringLiteral("-o"), unwritable, kJson});
    EXPECT_EQ(refused.exitCode, 8);
    EXPECT_EQ(SchemaViolations(refused.out), QString()) << refused.out.toStdString();
    const QJsonObject document = QJsonDocument::fromJson(refused.out.toUtf8()).object();
    EXPECT_TRUE(document[QStringLiteral("error")].toString().contains(unwritable)) << refused.out.toStdString();
    const sim::ProtocolStats received = controller->Stats().protocol;
    EXPECT_EQ(received.goCommands + received.countCommands + received.nextByteCommands + received.ignoredBytes, 0u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "only the earlier files";
}

// A real engine's logic-analyser recording converted, then analysed from
// the capture file with the tick length the import kept; a recording with a
// fault exits 8 naming its line, and nothing is written.
TEST(CliFiles, ImportConvertsARecordingAndRefusesABrokenOne)
{
    QTemporaryDir dir;
    const QString recording = QString::fromUtf8(DENTORA_ENGINES_DIR "/4b11_running.csv");
    const QString converted = dir.filePath(QStringLiteral("4b11.dentora"));
    const CliResult run = RunCli(
        {QStringLiteral("import"), recording, QStringLiteral("-o"), converted, QStringLiteral("--invert-cam"), kJson});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(SchemaViolations(run.out), QString()) << run.out.toStdString();
    const CaptureLog log = Load(converted);
    ASSERT_TRUE(log.source);
    EXPECT_EQ(log.source->crank, "Channel 0");
    EXPECT_TRUE(log.source->camInverted);
    EXPECT_EQ(log.tickNanoseconds, std::optional<std::uint64_t>(1000));
    // The report takes the tick length the file kept (its speed needs it).
    const CliResult analysed = RunCli({QStringLiteral("analyze"), converted, kJson});
    ASSERT_EQ(analysed.exitCode, 0) << analysed.err.toStdString();
    const QJsonObject analysis =
        QJsonDocument::fromJson(analysed.out.toUtf8()).object()[QStringLiteral("analysis")].toObject();
    EXPECT_EQ(analysis[QStringLiteral("tickMicros")].toDouble(), 1.0) << analysed.out.toStdString();

    const QString broken = dir.filePath(QStringLiteral("broken.csv"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("time,crank\n0,0\n0.001,1\n0.002\n");
    file.close();
    const QString refused = dir.filePath(QStringLiteral("refused.dentora"));
    const CliResult bad = RunCli({QStringLiteral("import"), broken, QStringLiteral("-o"), refused});
    EXPECT_EQ(bad.exitCode, 8);
    EXPECT_TRUE(bad.err.startsWith(QStringLiteral("dentora-cli: ") + broken + QStringLiteral(", line 4: ")))
        << bad.err.toStdString();
    EXPECT_FALSE(QFile::exists(refused));
}

TEST(CliFiles, ExportUsageErrorsExitTwo)
{
    const QList<QPair<QStringList, QString>> cases = {
        {{kExport, QStringLiteral("--csv"), QStringLiteral("x.csv")}, QStringLiteral("needs the capture FILE")},
        {{kExport, QStringLiteral("a.dentora")}, QStringLiteral("needs --vcd, --csv or --png")},
        {{kExport, QStringLiteral("a.dentora"), QStringLiteral("b.dentora"), QStringLiteral("--csv=x")},
         QStringLiteral("unexpected argument 'b.dentora'")},
        {{kExport, QStringLiteral("a.dentora"), QStringLiteral("--csv=x"), QStringLiteral("--tick-us"),
          QStringLiteral("0")},
         QStringLiteral("--tick-us")},
        {{kCapture, kPortOption, QStringLiteral("/dev/null"), QStringLiteral("-o=")}, QStringLiteral("unknown option")},
    };
    for (const auto& [arguments, cause] : cases) {
        const CliResult run = RunCli(arguments);
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(cause)) << run.err.toStdString();
    }
}

}  // namespace
}  // namespace dentora::test
