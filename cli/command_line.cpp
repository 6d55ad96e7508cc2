#include "command_line.h"

#include "exit_status.h"

#include <set>
#include <vector>

namespace dentora {
namespace {

using Given = std::set<QString>;

// One option: how it is written, its help, and what it sets. A value that
// is wrong is refused by apply with a message that names the option.
struct OptionInfo {
    const char* name;
    const char* valueName;  // null for a switch
    const char* help;
    void (*apply)(CommandOptions& options, const QString& value);
};

struct CommandInfo {
    const char* name;
    Command command;
    const char* positional;  // the one argument that is not an option, or null
    const char* synopsis;
    const char* summary;
    std::vector<OptionInfo> options;
    // What only the whole command line can tell: a required option, two
    // that exclude each other.
    void (*finish)(CommandOptions& options, const Given& given);
};

[[noreturn]] void Refuse(const QString& message)
{
    throw UsageError(message.toStdString());
}

QString RequireFileName(const char* option, const QString& value)
{
    if (value.isEmpty())
        Refuse(QStringLiteral("%1 needs a file name").arg(QLatin1String(option)));
    return value;
}

int ParseSeconds(const QString& text)
{
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds < 0 || seconds > 86400)
        Refuse(QStringLiteral("--timeout wants whole seconds from 0 to 86400, not '%1'").arg(text));
    return seconds;
}

int ParseAhead(const QString& text)
{
    bool ok = false;
    const int ahead = text.toInt(&ok);
    if (!ok || ahead < 1 || ahead > kMostAhead)
        Refuse(QStringLiteral("--ahead wants a depth from 1 to %1, not '%2'").arg(kMostAhead).arg(text));
    return ahead;
}

void SetTickMicros(CommandOptions& options, const QString& text)
{
    bool ok = false;
    const double micros = text.toDouble(&ok);
    if (!ok || !(micros >= 0.001 && micros <= 1e6))
        Refuse(QStringLiteral("--tick-us wants microseconds from 0.001 to 1000000, not '%1'").arg(text));
    options.analysis.tickMicros = micros;
    options.files.tickNanoseconds = std::uint64_t(micros * 1000.0 + 0.5);
    options.import.tickNanoseconds = options.files.tickNanoseconds;
}

void SetExpect(CommandOptions& options, const QString& text)
{
    options.analysis.expectText = text;
    std::string error;
    options.analysis.expect = ParseWheelPattern(text.toStdString(), &error);
    if (!options.analysis.expect)
        Refuse(QStringLiteral("--expect: %1").arg(QString::fromStdString(error)));
}

void SetAllow(CommandOptions& options, const QString& text)
{
    std::string error;
    const auto kinds = ParseAnomalyKinds(text.toStdString(), &error);
    if (!kinds)
        Refuse(QStringLiteral("--allow: %1").arg(QString::fromStdString(error)));
    options.analysis.allowed = *kinds;
}

// --allow tolerates some anomalies of what --expect asks for.
void RequireExpectForAllow(const CommandOptions& options, const Given& given)
{
    if (given.count(QStringLiteral("--allow")) && !options.analysis.expect)
        Refuse(QStringLiteral("--allow is for --expect"));
}

const OptionInfo kJsonOption{"--json", nullptr, "print exactly one JSON document on standard output (docs/cli.md)",
                             [](CommandOptions& o, const QString&) { o.json = true; }};
const OptionInfo kVcdOption{"--vcd", "FILE", "write the edges as a VCD for waveform viewers (PulseView, GTKWave)",
                            [](CommandOptions& o, const QString& v) { o.files.vcd = RequireFileName("--vcd", v); }};
const OptionInfo kCsvOption{"--csv", "FILE", "write one row per edge as CSV (docs/file-format.md)",
                            [](CommandOptions& o, const QString& v) { o.files.csv = RequireFileName("--csv", v); }};
const OptionInfo kPngOption{"--png", "FILE", "write a picture of the chart as the dialog draws it (offscreen)",
                            [](CommandOptions& o, const QString& v) { o.files.png = RequireFileName("--png", v); }};
const OptionInfo kTickOption{"--tick-us", "T",
                             "one controller tick is T microseconds: the report's engine speed, the\n"
                             "time axis of --vcd and --csv, the ticks a file to import is counted in\n"
                             "(default: what the capture file keeps; else unknown, and the exports count ticks)",
                             SetTickMicros};
const OptionInfo kCrankOption{"--crank", "NAME",
                              "of a file to import: the crank signal, by name or by column number\n"
                              "from 1, the time column included (default: by name, else most edges)",
                              [](CommandOptions& o, const QString& v) { o.import.crank = v.toStdString(); }};
const OptionInfo kCamOption{"--cam", "NAME", "of a file to import: the cam signal, as --crank",
                            [](CommandOptions& o, const QString& v) { o.import.cam = v.toStdString(); }};
const OptionInfo kInvertCrankOption{"--invert-crank", nullptr, "of a file to import: the crank reads inverted",
                                    [](CommandOptions& o, const QString&) { o.import.invertCrank = true; }};
const OptionInfo kInvertCamOption{"--invert-cam", nullptr, "of a file to import: the cam reads inverted",
                                  [](CommandOptions& o, const QString&) { o.import.invertCam = true; }};
const OptionInfo kExpectOption{"--expect", "PATTERN",
                               "exit 7 unless the wheel is PATTERN and healthy (no anomaly): a wheel\n"
                               "library name (36-1, 36-2-2-2, gm-24x, miata-nb, ...; docs/analysis.md),\n"
                               "optionally with the cam: 36-1,cam-tooth=7,cam-angle=60,tolerance=2 (degrees)",
                               SetExpect};
const OptionInfo kAllowOption{"--allow", "KIND[,KIND...]",
                              "with --expect: anomalies of these kinds do not fail it (glitch, lost-edge,\n"
                              "unexpected-gap, missing-gap, tooth-spacing, tooth-count, cam-moved,\n"
                              "saturated-count, bad-record)",
                              SetAllow};

const std::vector<OptionInfo> kCaptureOptions = {
    {"--port", "DEVICE", "the controller's serial device (/dev/ttyUSB0, COM3: the n-th device, as in `ports`)",
     [](CommandOptions& o, const QString& v) { o.port = v; }},
    {"--fast", nullptr, "fetch fast, with requests sent ahead of their answers (the default here)",
     [](CommandOptions& o, const QString&) { o.fetch.fast = true; }},
    {"--ahead", "N",
     "with --fast: at most N requests wait for their answers at once, 1 to 64\n"
     "(default 3, one record; 1 for a controller that cannot buffer requests)",
     [](CommandOptions& o, const QString& v) { o.fetch.ahead = ParseAhead(v); }},
    {"--tick-pace", nullptr, "fetch one record per 100 ms tick, as the dialog does by default",
     [](CommandOptions& o, const QString&) { o.fetch.fast = false; }},
    {"-o", "FILE", "write the capture to FILE (.dentora), whatever the outcome",
     [](CommandOptions& o, const QString& v) { o.files.capture = RequireFileName("-o", v); }},
    kVcdOption,
    kCsvOption,
    kPngOption,
    {"--report", nullptr, "print the trigger report: wheel, cam, speed, anomalies",
     [](CommandOptions& o, const QString&) { o.analysis.report = true; }},
    kExpectOption,
    kAllowOption,
    kTickOption,
    {"--timeout", "S",
     "give up when the controller has not acknowledged the capture within S seconds\n"
     "(default 30; 0 waits until Ctrl+C, as the dialog does)",
     [](CommandOptions& o, const QString& v) { o.timeoutSeconds = ParseSeconds(v); }},
    kJsonOption,
};

void FinishCapture(CommandOptions& options, const Given& given)
{
    RequireExpectForAllow(options, given);
    if (options.port.isEmpty())
        Refuse(QStringLiteral("capture needs --port DEVICE (see: dentora-cli ports)"));
    if (given.count(QStringLiteral("--tick-pace")) && given.count(QStringLiteral("--fast")))
        Refuse(QStringLiteral("--fast and --tick-pace exclude each other"));
    if (given.count(QStringLiteral("--tick-pace")) && given.count(QStringLiteral("--ahead")))
        Refuse(QStringLiteral("--ahead is for the fast fetch, not --tick-pace"));
}

void FinishAnalyze(CommandOptions& options, const Given& given)
{
    RequireExpectForAllow(options, given);
    if (options.input.isEmpty())
        Refuse(QStringLiteral("analyze needs the capture FILE to read"));
    options.analysis.report = true;
}

void FinishExport(CommandOptions& options, const Given&)
{
    if (options.input.isEmpty())
        Refuse(QStringLiteral("export needs the capture FILE to read"));
    if (options.files.vcd.isEmpty() && options.files.csv.isEmpty() && options.files.png.isEmpty())
        Refuse(QStringLiteral("export needs --vcd, --csv or --png"));
}

void FinishImport(CommandOptions& options, const Given&)
{
    if (options.input.isEmpty() || options.files.capture.isEmpty())
        Refuse(QStringLiteral("import needs the FILE to read and -o OUT.dentora to write"));
}

const std::vector<CommandInfo>& Commands()
{
    static const std::vector<CommandInfo> commands = {
        {"capture", Command::kCapture, nullptr, "capture --port DEVICE [options]",
         "Runs a test on the controller at DEVICE as the dialog's \"Run Test\" does:\n"
         "the same exchange, the same status lines (on standard error), the same\n"
         "handling of a controller that misbehaves; fast unless --tick-pace. Standard\n"
         "output carries only the result. Ctrl+C halts the test cleanly: the port is\n"
         "closed, and -o still writes what was captured.",
         kCaptureOptions, FinishCapture},
        {"analyze",
         Command::kAnalyze,
         "FILE",
         "analyze FILE [--tick-us T] [--expect PATTERN [--allow KINDS]] [--crank NAME] [--cam NAME] [--json]",
         "Prints the trigger report of a capture file, or of a VCD, logic-analyser CSV,\n"
         "composite or tooth log it imports: the wheel, the revolutions, the cam, the\n"
         "engine speed and every anomaly. Exits 0 for any capture it could read,\n"
         "whatever that capture's outcome, unless --expect does not match.",
         {kTickOption, kExpectOption, kAllowOption, kCrankOption, kCamOption, kInvertCrankOption, kInvertCamOption,
          kJsonOption},
         FinishAnalyze},
        {"export",
         Command::kExport,
         "FILE",
         "export FILE --vcd F | --csv F | --png F [--tick-us T] [--crank NAME] [--cam NAME] [--json]",
         "Writes a capture file (from capture -o, or the dialog's \"Save capture\"), or a\n"
         "file it imports, as VCD, CSV or a picture of the chart; any of them at once.",
         {kVcdOption, kCsvOption, kPngOption, kTickOption, kCrankOption, kCamOption, kInvertCrankOption,
          kInvertCamOption, kJsonOption},
         FinishExport},
        {"import",
         Command::kImport,
         "FILE",
         "import FILE -o OUT.dentora [--tick-us T] [--crank NAME] [--cam NAME] [--json]",
         "Converts a VCD, logic-analyser CSV, composite or tooth log into a capture\n"
         "file: the crank's and cam's edges as the controller's records, with the tick\n"
         "length (the shortest of 1, 2, 4, ... us that fits, unless --tick-us), the\n"
         "source file and the channel mapping kept (docs/file-format.md).",
         {{"-o", "FILE", "write the capture to FILE (.dentora)",
           [](CommandOptions& o, const QString& v) { o.files.capture = RequireFileName("-o", v); }},
          kTickOption,
          kCrankOption,
          kCamOption,
          kInvertCrankOption,
          kInvertCamOption,
          kJsonOption},
         FinishImport},
        {"ports",
         Command::kPorts,
         nullptr,
         "ports [--json]",
         "Lists the serial devices present, with the COM number each one has in the\n"
         "dialog's port list and the adapter's description.",
         {kJsonOption},
         [](CommandOptions&, const Given&) {}},
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

const OptionInfo& FindOption(const CommandInfo& info, const std::string& name)
{
    for (const OptionInfo& option : info.options) {
        if (name == option.name)
            return option;
    }
    throw std::logic_error("the parser returned an option the command does not have: " + name);
}

// Every option at most once; the positional argument, when the command has
// one, at most once.
CommandLine ParseCommand(const CommandInfo& info, const QStringList& arguments)
{
    std::vector<options::OptionForm> forms;
    for (const OptionInfo& option : info.options)
        forms.push_back({option.name, option.valueName ? option.valueName : ""});
    std::vector<std::string> words;
    for (const QString& argument : arguments)
        words.push_back(argument.toStdString());
    const options::ParsedArguments parsed =
        options::ParseArguments(forms, words, {info.positional ? 1u : 0u, true, std::string(info.name) + ": "});

    CommandLine result;
    if (parsed.help) {
        result.helpText = CommandHelp(info);
        return result;
    }
    result.command = info.command;
    Given given;
    for (const options::GivenOption& option : parsed.options) {
        FindOption(info, option.name).apply(result.options, QString::fromStdString(option.value));
        given.insert(QString::fromStdString(option.name));
    }
    if (!parsed.positionals.empty())
        result.options.input = QString::fromStdString(parsed.positionals.front());
    info.finish(result.options, given);
    return result;
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
    return ParseCommand(*info, arguments.mid(1));
}

}  // namespace dentora
