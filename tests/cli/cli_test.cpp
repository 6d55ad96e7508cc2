// dentora-cli as scripts and bench rigs use it: its command line, its exit
// statuses for every way a test can end, its output streams and its JSON.
#include "cli_runner.h"

#include "serial/serial_link.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dentora::test {
namespace {

const QString kFinished = QStringLiteral(">>> Finished <<<");

QString Device(const sim::PtyController& controller)
{
    return QString::fromStdString(controller.DevicePath());
}

// A USB adapter's latency makes a fast fetch last long enough to watch.
void ThroughSlowAdapter(sim::ControllerConfig& config)
{
    config.line = sim::LineModel{115200, std::chrono::milliseconds(16)};
}

QJsonObject Json(const CliResult& run)
{
    return QJsonDocument::fromJson(run.out.toUtf8()).object();
}

// Mistakes on the command line are refused before the port is touched: the
// controller behind it never sees a byte.
TEST(CliCommandLine, UsageErrorsExitTwoWithoutOpeningThePort)
{
    const auto controller = StartController(20);
    const QString device = Device(*controller);
    const QList<QPair<QStringList, QString>> cases = {
        {{QStringLiteral("frobnicate")}, QStringLiteral("unknown command 'frobnicate'")},
        {{kCapture, kPortOption, device, QStringLiteral("--bogus")}, QStringLiteral("unknown option '--bogus'")},
        {{kCapture, kPortOption, device, QStringLiteral("--timeout"), QStringLiteral("-1")},
         QStringLiteral("--timeout")},
        {{kCapture, kPortOption, device, QStringLiteral("--timeout=soon")}, QStringLiteral("'soon'")},
        {{kCapture, kPortOption, device, QStringLiteral("--json=yes")}, QStringLiteral("--json takes no value")},
        {{kCapture, kPortOption, device, kPortOption, device}, QStringLiteral("more than once")},
        {{kCapture, QStringLiteral("--json")}, QStringLiteral("needs --port")},
        {{kCapture, kPortOption, device, QStringLiteral("--expect"), QStringLiteral("36-x")},
         QStringLiteral("--expect: '36-x' is no wheel")},
        {{QStringLiteral("analyze")}, QStringLiteral("analyze needs the capture FILE")},
        {{kCapture, kPortOption, device, QStringLiteral("--fast"), QStringLiteral("--tick-pace")},
         QStringLiteral("exclude each other")},
        {{kCapture, kPortOption, device, QStringLiteral("--tick-pace"), QStringLiteral("--ahead=3")},
         QStringLiteral("--ahead is for the fast fetch")},
        {{kCapture, kPortOption, device, QStringLiteral("--ahead"), QStringLiteral("0")}, QStringLiteral("1 to 64")},
        {{kCapture, kPortOption, device, QStringLiteral("--ahead"), QStringLiteral("65")}, QStringLiteral("'65'")},
        {{kCapture, kPortOption}, QStringLiteral("--port needs a value")},
        {{}, QStringLiteral("no command")},
    };
    for (const auto& [arguments, cause] : cases) {
        const CliResult run = RunCli(arguments);
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("dentora-cli: ")) && run.err.contains(cause))
            << run.err.toStdString();
    }
    EXPECT_EQ(controller->Stats().protocol.goCommands + controller->Stats().protocol.ignoredBytes, 0u);
}

TEST(CliCommandLine, EveryCommandHasHelpAndTheToolItsVersion)
{
    const CliResult version = RunCli({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("dentora-cli " DENTORA_VERSION "\n"));

    const CliResult general = RunCli({QStringLiteral("--help")});
    EXPECT_EQ(general.exitCode, 0);
    for (const char* command : {"capture --port DEVICE", "analyze FILE", "export FILE", "ports"})
        EXPECT_TRUE(general.out.contains(QLatin1String(command))) << command;

    const CliResult capture = RunCli({kCapture, QStringLiteral("--help")});
    EXPECT_EQ(capture.exitCode, 0);
    for (const char* text :
         {"--port DEVICE", "--fast", "--ahead N", "--tick-pace", "-o FILE", "--vcd FILE", "--csv FILE", "--png FILE",
          "--report", "--expect PATTERN", "--tick-us T", "--timeout S", "--json", "Exit status", "130"})
        EXPECT_TRUE(capture.out.contains(QLatin1String(text))) << text;
    const CliResult ports = RunCli({QStringLiteral("ports"), QStringLiteral("-h")});
    EXPECT_EQ(ports.exitCode, 0);
    EXPECT_TRUE(ports.out.contains(QStringLiteral("COM number")));
}

// A clean capture at the dialog's pace: every status line of the dialog on
// standard error, in order; only the result on standard output.
TEST(CliCapture, FinishedCaptureExitsZeroWithStatusLinesOnStandardError)
{
    const auto controller = StartController(20);
    const CliResult run = RunCli({kCapture, kPortOption, Device(*controller), QStringLiteral("--tick-pace")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList expected = {QStringLiteral("Running Application - Opened COM port..."),
                                  QStringLiteral("Step 1: Purge comm port"),
                                  QStringLiteral("Step 2: Send out go command"),
                                  QStringLiteral("Step 3: Get acknowledge back"),
                                  QStringLiteral("Step 4: Ask for number of bytes"),
                                  QStringLiteral("Step 5: Plot Tach Signals..."),
                                  kFinished};
    qsizetype from = 0;
    for (const QString& line : expected) {
        const qsizetype at = run.err.indexOf(line + QLatin1Char('\n'), from);
        EXPECT_GE(at, from) << line.toStdString() << " missing or out of order in\n" << run.err.toStdString();
        from = std::max(from, at);
    }
    // 60 bytes announced: 20 records of three bytes.
    EXPECT_TRUE(run.out.contains(QStringLiteral("outcome:    finished"))) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("records:    20 "))) << run.out.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("Step"))) << "status lines belong on standard error";
}

struct FaultCase {
    const char* name;
    void (*fault)(sim::ControllerConfig&);
    QStringList extraArguments;
    int exitCode;
    const char* statusName;
    const char* lastStatus;  // the status line the test ends with
    const char* error;       // in the one-line error; null when none is printed
    const char* jsonError;   // in the JSON's error: how the test ended, in words
};

class CliCaptureFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CliCaptureFault, EndsWithItsOwnExitStatusAndJsonThatMatchesTheSchema)
{
    const FaultCase& fault = GetParam();
    const auto controller = StartController(20, fault.fault);
    QStringList arguments = {kCapture, kPortOption, Device(*controller), QStringLiteral("--json")};
    arguments += fault.extraArguments;
    const CliResult run = RunCli(arguments);
    EXPECT_EQ(run.exitCode, fault.exitCode) << run.err.toStdString();
    EXPECT_TRUE(run.err.trimmed().endsWith(QLatin1String(fault.lastStatus))) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QLatin1String(">>> Running Application <<<"))) << "a halt is no new start";
    if (fault.error) {
        EXPECT_TRUE(run.err.contains(QLatin1String(fault.error))) << run.err.toStdString();
    }
    EXPECT_EQ(SchemaViolations(run.out), QString()) << run.out.toStdString();
    const QJsonObject document = Json(run);
    EXPECT_EQ(document.value(QStringLiteral("exitStatus")).toInt(), fault.exitCode);
    EXPECT_EQ(document.value(QStringLiteral("status")).toString(), QLatin1String(fault.statusName));
    const QString error = document.value(QStringLiteral("error")).toString();
    if (fault.jsonError) {
        EXPECT_TRUE(error.contains(QLatin1String(fault.jsonError))) << error.toStdString();
    }
    EXPECT_EQ(error.isEmpty(), fault.exitCode == 0) << error.toStdString();
}

void NeverAcknowledge(sim::ControllerConfig& c)
{
    c.faults.neverAcknowledge = true;
}
void IgnoreCount(sim::ControllerConfig& c)
{
    c.faults.ignoreCount = true;
}
void DropAnswer(sim::ControllerConfig& c)
{
    c.faults.dropAnswerAtByte = 10;
}
void BadType(sim::ControllerConfig& c)
{
    c.faults.badTypeAtRecord = 5;
}
void ZeroCalibration(sim::ControllerConfig& c)
{
    c.faults.zeroCalibration = true;
}
void Vanish(sim::ControllerConfig& c)
{
    c.faults.vanishAfterRecord = 4;
}
void EndEarly(sim::ControllerConfig& c)
{
    c.faults.logEndsEarly = true;
}

const QStringList kWaitOneSecond = {QStringLiteral("--timeout"), QStringLiteral("1")};
const QStringList kDeepAhead = {QStringLiteral("--ahead"), QStringLiteral("48")};
const QStringList kTickPace = {QStringLiteral("--tick-pace")};
const char kAckTimeout[] = "did not acknowledge the capture within 1 s";
const char kLost[] = "- Abort <<<";
// How the status line's tooltip words each ending.
const char kNoAnswer[] = "was aborted, no answer from the controller: ";
const char kOutOfSequence[] = "was aborted, out of sequence: ";
const char kBadTypeByte[] = "was aborted, out of sequence: record 5 has the type byte 0x58";
const char kPortGone[] = "was aborted, the COM port was lost: ";

INSTANTIATE_TEST_SUITE_P(
    Simulator, CliCaptureFault,
    ::testing::Values(
        FaultCase{"Clean", nullptr, {}, 0, "ok", ">>> Finished <<<", nullptr, nullptr},
        FaultCase{"SilentPastItsLog", EndEarly, {}, 0, "ok", ">>> Finished <<<", nullptr, nullptr},
        FaultCase{"SilentPastItsLogAtTickPace", EndEarly, kTickPace, 0, "ok", ">>> Finished <<<", nullptr, nullptr},
        FaultCase{"NoAcknowledge", NeverAcknowledge, kWaitOneSecond, 4, "no-answer", ">>> Finished <<<", kAckTimeout,
                  kAckTimeout},
        FaultCase{"CountIgnored", IgnoreCount, {}, 4, "no-answer", ">>> Finished <<<", nullptr, kNoAnswer},
        FaultCase{"AnswerDropped", DropAnswer, {}, 4, "no-answer", ">>> Finished <<<", nullptr, kNoAnswer},
        FaultCase{"AnswerDroppedDeepAhead", DropAnswer, kDeepAhead, 4, "no-answer", ">>> Finished <<<", nullptr,
                  kNoAnswer},
        FaultCase{"BadType", BadType, {}, 5, "out-of-sequence", ">>> Finished <<<", nullptr, kBadTypeByte},
        FaultCase{"BadTypeAtTickPace", BadType, kTickPace, 5, "out-of-sequence", ">>> Finished <<<", nullptr,
                  kBadTypeByte},
        FaultCase{
            "ZeroCalibration", ZeroCalibration, {}, 5, "out-of-sequence", ">>> Finished <<<", nullptr, kOutOfSequence},
        FaultCase{"DeviceVanishes", Vanish, {}, 6, "port-lost", kLost, nullptr, kPortGone}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST(CliCapture, MissingDeviceExitsThreeWithOneLineNamingIt)
{
    const QString device = QStringLiteral("/dev/dentora-no-such-device");
    const CliResult run = RunCli({kCapture, kPortOption, device, QStringLiteral("--json")});
    EXPECT_EQ(run.exitCode, 3);
    const QStringList lines = run.err.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << run.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("dentora-cli: Error in Opening COM Port: ")));
    EXPECT_TRUE(lines[0].contains(device));
    EXPECT_EQ(lines[1], QStringLiteral("*** Error in opening COM port ***"));
    EXPECT_EQ(SchemaViolations(run.out), QString()) << run.out.toStdString();
    EXPECT_TRUE(Json(run).value(QStringLiteral("error")).toString().contains(device));
}

// The dialog's advice on a device of the dialout group, in one line.
TEST(CliCapture, DeviceWithoutPermissionNamesTheGroupToJoin)
{
    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || !dialout)
        GTEST_SKIP() << "needs root and a dialout group to give the device away";
    const auto controller = StartController(20);
    const QByteArray device = Device(*controller).toLocal8Bit();
    ASSERT_EQ(::chown(device.constData(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(device.constData(), 0660), 0);
    const QStringList asNobody = {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                                  QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")};
    const CliResult run = RunCli({kCapture, kPortOption, Device(*controller)}, {}, asNobody);
    EXPECT_EQ(run.exitCode, 3);
    const QString first = run.err.section(QLatin1Char('\n'), 0, 0);
    EXPECT_TRUE(first.contains(QStringLiteral("Permission denied"))) << run.err.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("sudo usermod -aG dialout"))) << run.err.toStdString();
    EXPECT_EQ(controller->Stats().protocol.goCommands, 0u);
}

// Ctrl+C mid-fetch halts as "Halt Test" does: the test finishes, the port
// is closed, and the status says it was interrupted.
TEST(CliCapture, InterruptHaltsTheFetchCleanly)
{
    const auto controller = StartController(200, ThroughSlowAdapter);
    const auto process = StartCli({kCapture, kPortOption, Device(*controller), QStringLiteral("--json")});
    process->setReadChannel(QProcess::StandardError);
    QString err;
    while (!err.contains(QStringLiteral("Fetched ")) && process->waitForReadyRead(20000))
        err += QString::fromUtf8(process->readAllStandardError());
    ASSERT_TRUE(err.contains(QStringLiteral("Fetched "))) << err.toStdString();
    ::kill(pid_t(process->processId()), SIGINT);
    ASSERT_TRUE(process->waitForFinished(10000));
    err += QString::fromUtf8(process->readAllStandardError());
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 130);
    EXPECT_TRUE(err.contains(QStringLiteral("interrupted")));
    EXPECT_TRUE(err.trimmed().endsWith(kFinished)) << err.toStdString();
    const QString out = QString::fromUtf8(process->readAllStandardOutput());
    EXPECT_EQ(SchemaViolations(out), QString());
    const QJsonObject capture = QJsonDocument::fromJson(out.toUtf8()).object().value(kCapture).toObject();
    EXPECT_EQ(capture.value(QStringLiteral("outcome")).toString(), QStringLiteral("halted"));
    const int records = capture.value(QStringLiteral("records")).toInt();
    EXPECT_GT(records, 0);
    EXPECT_LT(records, 300);
}

TEST(CliCapture, ProgressIsABarOnATerminalAndPlainLinesOtherwise)
{
    const auto controller = StartController(60, ThroughSlowAdapter);
    const QStringList arguments = {kCapture, kPortOption, Device(*controller)};
    const CliResult terminal = RunCliWithTerminalStderr(arguments);
    EXPECT_EQ(terminal.exitCode, 0) << terminal.err.toStdString();
    static const QRegularExpression bar(QStringLiteral("\r\\[#*-*\\] \\d+/60 records  \\d+ rec/s  \\d+:\\d\\d left"));
    EXPECT_GE(terminal.err.count(bar), 3) << terminal.err.toStdString();
    EXPECT_TRUE(terminal.err.contains(QStringLiteral("[########################] 60/60 records")));
    EXPECT_FALSE(terminal.err.contains(QStringLiteral("Fetched ")));
    EXPECT_TRUE(terminal.out.contains(QStringLiteral("outcome:    finished")));

    const CliResult piped = RunCli(arguments);
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_FALSE(piped.err.contains(QLatin1Char('\r')));
    EXPECT_FALSE(piped.err.contains(QStringLiteral("rec/s")));
    static const QRegularExpression line(QStringLiteral("\nFetched \\d+ of 60 records\n"));
    EXPECT_GE(piped.err.count(line), 5) << piped.err.toStdString();
    EXPECT_TRUE(piped.err.contains(QStringLiteral("Fetched 60 of 60 records\n")));
}

// COM numbers as the dialog's port list gives them.
TEST(CliPorts, ListsTheDevicesWithTheirComNumbers)
{
    const CliResult text = RunCli({QStringLiteral("ports")});
    const CliResult json = RunCli({QStringLiteral("ports"), QStringLiteral("--json")});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(SchemaViolations(json.out), QString()) << json.out.toStdString();
    const QJsonArray listed = Json(json).value(QStringLiteral("ports")).toArray();
    const auto devices = PortListDevices();
    int present = 0;
    for (int index = 0; index < kPortListSize; ++index) {
        if (!devices[std::size_t(index)])
            continue;
        const QJsonObject port = listed.at(present++).toObject();
        EXPECT_EQ(port.value(QStringLiteral("com")).toInt(), index + 1);
        EXPECT_EQ(port.value(QStringLiteral("device")).toString(), devices[std::size_t(index)]->path);
        EXPECT_TRUE(text.out.contains(QStringLiteral("COM%1").arg(index + 1).leftJustified(7) +
                                      devices[std::size_t(index)]->path));
    }
    EXPECT_EQ(listed.size(), present);
}

// Without a display the tool still runs: it never loads a window-system plugin.
TEST(CliCapture, NeedsNoDisplay)
{
    const auto controller = StartController(20);
    const QStringList noDisplay = {QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY="),
                                   QStringLiteral("WAYLAND_DISPLAY="), QStringLiteral("QT_DEBUG_PLUGINS=1")};
    const CliResult run = RunCli({kCapture, kPortOption, Device(*controller)}, noDisplay);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QStringLiteral("platforms"))) << run.err.toStdString();
}

}  // namespace
}  // namespace dentora::test
