#include "command_line.h"

#include "exit_status.h"

#include <QMap>

#include <vector>

namespace dentora {
namespace {

struct OptionInfo {
    const char* name;
    const char* valueName;  // null for a flag
    const char* help;
};

struct CommandInfo {
    const char* name;
    const char* positional;  // the one argument that is not an option, or null
    const char* synopsis;
    const char* summary;
    std::vector<OptionInfo> options;
};

const OptionInfo kJsonOption{"--json", nullptr, "print exactly one JSON document on standard output (docs/cli.md)"};
const OptionInfo kVcdOption{"--vcd", "FILE", "write the edges as a VCD for waveform viewers (PulseView, GTKWave)"};
const OptionInfo kCsvOption{"--csv", "FILE", "write one row per edge as CSV (docs/file-format.md)"};
const OptionInfo kPngOption{"--png", "FILE", "write a picture of the chart as the dialog draws it (offscreen)"};
const OptionInfo kTickOption{"--tick-us", "T",
                             "one controller tick is T microseconds: the report's engine speed\n"
                             "(unknown without it) and the time axis of --vcd and --csv (default 1)"};
const OptionInfo kExpectOption{"--expect", "PATTERN",
                               "exit 7 unless the wheel is PATTERN and healthy (no anomaly): a wheel\n"
                               "library name (36-1, 36-2-2-2, gm-24x, miata-nb, ...; docs/analysis.md),\n"
                               "optionally with the cam: 36-1,cam-tooth=7,cam-angle=60,tolerance=2 (degrees)"};
const OptionInfo kAllowOption{"--allow", "KIND[,KIND...]",
                              "with --expect: anomalies of these kinds do not fail it (glitch, lost-edge,\n"
                              "unexpected-gap, missing-gap, tooth-spacing, tooth-count, cam-moved,\n"
                              "saturated-count, bad-record)"};

const std::vector<CommandInfo>& Commands()
{
    static const std::vector<CommandInfo> commands = {
        {"capture",
         nullptr,
         "capture --port DEVICE [options]",
         "Runs a test on the controller at DEVICE as the dialog's \"Run Test\" does:\n"
         "the same exchange, the same status lines (on standard error), the same\n"
         "handling of a controller that misbehaves; fast unless --tick-pace. Standard\n"
         "output carries only the result. Ctrl+C halts the test cleanly: the port is\n"
         "closed, and -o still writes what was captured.",
         {{"--port", "DEVICE", "the controller's serial device (/dev/ttyUSB0, COM3: the n-th device, as in `ports`)"},
          {"--fast", nullptr, "fetch fast, with requests sent ahead of their answers (the default here)"},
          {"--ahead", "N",
           "with --fast: at most N requests wait for their answers at once, 1 to 64\n"
           "(default 3, one record; 1 for a controller that cannot buffer requests)"},
          {"--tick-pace", nullptr, "fetch one record per 100 ms tick, as the dialog does by default"},
          {"-o", "FILE", "write the capture to FILE (.dentora), whatever the outcome"},
          kVcdOption,
          kCsvOption,
          kPngOption,
          {"--report", nullptr, "print the trigger report: wheel, cam, speed, anomalies"},
          kExpectOption,
          kAllowOption,
          kTickOption,
          {"--timeout", "S",
           "give up when the controller has not acknowledged the capture within S seconds\n"
           "(default 30; 0 waits until Ctrl+C, as the dialog does)"},
          kJsonOption}},
        {"analyze",
         "FILE",
         "analyze FILE.dentora [--tick-us T] [--expect PATTERN [--allow KINDS]] [--json]",
         "Prints the trigger report of a capture file: the wheel, the revolutions, the\n"
         "cam, the engine speed and every anomaly. Exits 0 for any capture it could\n"
         "read, whatever that capture's outcome, unless --expect does not match.",
         {kTickOption, kExpectOption, kAllowOption, kJsonOption}},
        {"export",
         "FILE",
         "export FILE.dentora --vcd F | --csv F | --png F [--tick-us T] [--json]",
         "Writes a capture file (from capture -o, or the dialog's \"Save capture\") as\n"
         "VCD, CSV or a picture of the chart; any of them at once.",
         {kVcdOption, kCsvOption, kPngOption, kTickOption, kJsonOption}},
        {"ports",
         nullptr,
         "ports [--json]",
         "Lists the serial devices present, with the COM number each one has in the\n"
         "dialog's port list and the adapter's description.",
         {kJsonOption}},
    };
    return commands;
}

QString CommandHelp(const CommandInfo& info)
{
    QString text = QStringLiteral("Usage: dentora-cli %1\n\n%2\n\nOptions:\n")
                       .arg(QLatin1String(info.synopsis), QLatin1String(info.summary));
    for (const OptionInfo& option : info.options) {
        QString head = QLatin1String(option.name);
        if (option.valueName)
            head += QLatin1Char(' ') + QLatin1String(option.valueName);
        const QString help = QString::fromLatin1(option.help)
                                 .replace(QLatin1Char('\n'), QLatin1String("\n") + QString(20, QLatin1Char(' ')));
        text += QStringLiteral("  %1%2\n").arg(head.leftJustified(18), help);
    }
    text +=
        QStringLiteral("  %1%2\n\n").arg(QStringLiteral("--help").leftJustified(18), QStringLiteral("print this text"));
    return text + QLatin1String(kExitStatusHelp);
}

const CommandInfo* FindCommand(const QString& name)
{
    for (const CommandInfo& info : Commands()) {
        if (name == QLatin1String(info.name))
            return &info;
    }
    return nullptr;
}

[[noreturn]] void Refuse(const QString& message)
{
    throw UsageError(message.toStdString());
}

// "--name value" and "--name=value"; every option at most once.
// The positional argument, when the command has one, is stored under its name.
QMap<QString, QString> ParseOptions(const CommandInfo& info, const QStringList& arguments, bool* help)
{
    QMap<QString, QString> values;
    for (int i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        if (info.positional && !name.startsWith(QLatin1Char('-'))) {
            if (values.contains(QLatin1String(info.positional)))
                Refuse(QStringLiteral("%1: unexpected argument '%2'").arg(QLatin1String(info.name), name));
            values.insert(QLatin1String(info.positional), name);
            continue;
        }
        QString value;
        bool hasInlineValue = false;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            value = name.section(QLatin1Char('='), 1);
            name = name.section(QLatin1Char('='), 0, 0);
            hasInlineValue = true;
        }
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            *help = true;
            continue;
        }
        const OptionInfo* option = nullptr;
        for (const OptionInfo& candidate : info.options) {
            if (name == QLatin1String(candidate.name))
                option = &candidate;
        }
        if (!option)
            Refuse(QStringLiteral("%1: unknown option '%2'").arg(QLatin1String(info.name), arguments[i]));
        if (values.contains(name))
            Refuse(QStringLiteral("%1 is given more than once").arg(name));
        if (!option->valueName) {
            if (hasInlineValue)
                Refuse(QStringLiteral("%1 takes no value").arg(name));
            values.insert(name, QString());
            continue;
        }
        if (!hasInlineValue) {
            if (i + 1 >= arguments.size())
                Refuse(QStringLiteral("%1 needs a value (%2)").arg(name, QLatin1String(option->valueName)));
            value = arguments[++i];
        }
        values.insert(name, value);
    }
    return values;
}

int ParseSeconds(const QString& name, const QString& text)
{
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds < 0 || seconds > 86400)
        Refuse(QStringLiteral("%1 wants whole seconds from 0 to 86400, not '%2'").arg(name, text));
    return seconds;
}

FetchOptions ParseFetch(const QMap<QString, QString>& values)
{
    const bool oneRecordPerTick = values.contains(QStringLiteral("--tick-pace"));
    if (oneRecordPerTick && values.contains(QStringLiteral("--fast")))
        Refuse(QStringLiteral("--fast and --tick-pace exclude each other"));
    if (oneRecordPerTick && values.contains(QStringLiteral("--ahead")))
        Refuse(QStringLiteral("--ahead is for the fast fetch, not --tick-pace"));
    FetchOptions fetch{!oneRecordPerTick, kDefaultAhead};
    if (values.contains(QStringLiteral("--ahead"))) {
        const QString text = values.value(QStringLiteral("--ahead"));
        bool ok = false;
        fetch.ahead = text.toInt(&ok);
        if (!ok || fetch.ahead < 1 || fetch.ahead > kMostAhead)
            Refuse(QStringLiteral("--ahead wants a depth from 1 to %1, not '%2'").arg(kMostAhead).arg(text));
    }
    return fetch;
}

std::optional<double> ParseTickMicros(const QMap<QString, QString>& values)
{
    if (!values.contains(QStringLiteral("--tick-us")))
        return std::nullopt;
    const QString text = values.value(QStringLiteral("--tick-us"));
    bool ok = false;
    const double micros = text.toDouble(&ok);
    if (!ok || !(micros >= 0.001 && micros <= 1e6))
        Refuse(QStringLiteral("--tick-us wants microseconds from 0.001 to 1000000, not '%1'").arg(text));
    return micros;
}

AnalysisRequest ParseAnalysis(const QMap<QString, QString>& values, bool report)
{
    AnalysisRequest request;
    request.report = report;
    request.tickMicros = ParseTickMicros(values);
    if (values.contains(QStringLiteral("--expect"))) {
        request.expectText = values.value(QStringLiteral("--expect"));
        std::string error;
        request.expect = ParseWheelPattern(request.expectText.toStdString(), &error);
        if (!request.expect)
            Refuse(QStringLiteral("--expect: %1").arg(QString::fromStdString(error)));
    }
    if (values.contains(QStringLiteral("--allow"))) {
        if (!request.expect)
            Refuse(QStringLiteral("--allow is for --expect"));
        std::string error;
        const auto kinds = ParseAnomalyKinds(values.value(QStringLiteral("--allow")).toStdString(), &error);
        if (!kinds)
            Refuse(QStringLiteral("--allow: %1").arg(QString::fromStdString(error)));
        request.allowed = *kinds;
    }
    return request;
}

AnalyzeOptions ParseAnalyze(const QMap<QString, QString>& values)
{
    AnalyzeOptions options;
    options.input = values.value(QStringLiteral("FILE"));
    if (options.input.isEmpty())
        Refuse(QStringLiteral("analyze needs the capture FILE to read"));
    options.analysis = ParseAnalysis(values, true);
    options.json = values.contains(QStringLiteral("--json"));
    return options;
}

OutputFiles ParseFiles(const QMap<QString, QString>& values)
{
    OutputFiles files;
    files.capture = values.value(QStringLiteral("-o"));
    files.vcd = values.value(QStringLiteral("--vcd"));
    files.csv = values.value(QStringLiteral("--csv"));
    files.png = values.value(QStringLiteral("--png"));
    for (const char* name : {"-o", "--vcd", "--csv", "--png"}) {
        if (values.contains(QLatin1String(name)) && values.value(QLatin1String(name)).isEmpty())
            Refuse(QStringLiteral("%1 needs a file name").arg(QLatin1String(name)));
    }
    if (const std::optional<double> micros = ParseTickMicros(values))
        files.tickNanoseconds = std::uint64_t(*micros * 1000.0 + 0.5);
    return files;
}

ExportOptions ParseExport(const QMap<QString, QString>& values)
{
    ExportOptions options;
    options.input = values.value(QStringLiteral("FILE"));
    if (options.input.isEmpty())
        Refuse(QStringLiteral("export needs the capture FILE to read"));
    options.files = ParseFiles(values);
    if (options.files.vcd.isEmpty() && options.files.csv.isEmpty() && options.files.png.isEmpty())
        Refuse(QStringLiteral("export needs --vcd, --csv or --png"));
    options.json = values.contains(QStringLiteral("--json"));
    return options;
}

CaptureOptions ParseCapture(const QMap<QString, QString>& values)
{
    CaptureOptions options;
    options.port = values.value(QStringLiteral("--port"));
    if (options.port.isEmpty())
        Refuse(QStringLiteral("capture needs --port DEVICE (see: dentora-cli ports)"));
    if (values.contains(QStringLiteral("--timeout")))
        options.timeoutSeconds = ParseSeconds(QStringLiteral("--timeout"), values.value(QStringLiteral("--timeout")));
    options.json = values.contains(QStringLiteral("--json"));
    options.fetch = ParseFetch(values);
    options.files = ParseFiles(values);
    options.analysis = ParseAnalysis(values, values.contains(QStringLiteral("--report")));
    return options;
}

}  // namespace

QString GeneralHelp()
{
    QString text = QStringLiteral(
        "Usage: dentora-cli COMMAND [options]\n"
        "       dentora-cli COMMAND --help\n"
        "       dentora-cli --version\n\n"
        "Reads a crank and cam trigger log out of an engine controller over a serial\n"
        "line (115200 8N1) without a window, for scripts and bench rigs.\n\n"
        "Commands:\n");
    for (const CommandInfo& info : Commands())
        text += QStringLiteral("  %1\n").arg(QLatin1String(info.synopsis));
    return text + QLatin1Char('\n') + QLatin1String(kExitStatusHelp);
}

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine result;
    if (arguments.isEmpty())
        Refuse(QStringLiteral("no command given"));
    const QString& first = arguments.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        result.helpText = GeneralHelp();
        return result;
    }
    if (first == QLatin1String("--version")) {
        result.command = Command::kVersion;
        return result;
    }
    const CommandInfo* info = FindCommand(first);
    if (!info)
        Refuse(QStringLiteral("unknown command '%1'").arg(first));
    bool help = false;
    const QMap<QString, QString> values = ParseOptions(*info, arguments.mid(1), &help);
    if (help) {
        result.helpText = CommandHelp(*info);
        return result;
    }
    if (first == QLatin1String("capture")) {
        result.command = Command::kCapture;
        result.capture = ParseCapture(values);
    } else if (first == QLatin1String("analyze")) {
        result.command = Command::kAnalyze;
        result.analyze = ParseAnalyze(values);
    } else if (first == QLatin1String("export")) {
        result.command = Command::kExport;
        result.exportFile = ParseExport(values);
    } else {
        result.command = Command::kPorts;
        result.ports.json = values.contains(QStringLiteral("--json"));
    }
    return result;
}

}  // namespace dentora
