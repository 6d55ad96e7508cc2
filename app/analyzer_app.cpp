#include "analyzer_app.h"

#include "analyzer_dlg.h"
#include "capture/fetch_options.h"
#include "capture/test_run.h"
#include "chart_menu.h"
#include "demo_mode.h"
#include "options/option_parser.h"
#include "res/resource.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

struct Options {
    bool demo = false;
    dentora::FetchOptions fetch;
    QString port;
    QString snapshot;
    QString open;
    std::optional<double> tickMicros;
};

[[noreturn]] void Refuse(const char* message)
{
    throw dentora::options::UsageError(message);
}

// A depth of 1 to kMostAhead turns fast fetch on with that depth.
void SetAhead(Options& options, const QString& text)
{
    bool isNumber = false;
    const int ahead = text.toInt(&isNumber);
    if (!isNumber || ahead < 1 || ahead > dentora::kMostAhead)
        Refuse("--ahead needs a number of requests from 1 to 64");
    options.fetch.fast = true;
    options.fetch.ahead = ahead;
}

// A tick length as the user typed it: a positive number of µs, at most 10^6.
void SetTickMicros(Options& options, const QString& text)
{
    bool isNumber = false;
    const double micros = text.toDouble(&isNumber);
    if (!isNumber || !(micros > 0.0) || micros > 1e6)
        Refuse("--tick-us needs a length in microseconds above 0 and at most 1000000");
    options.tickMicros = micros;
}

// One option of the dialog: how it is written, its help (lines of the
// usage text) and what it sets; a wrong value is refused by apply.
struct StartOption {
    const char* name;
    const char* valueName;  // null for a switch
    const char* help;
    void (*apply)(Options& options, const QString& value);
};

const StartOption kStartOptions[] = {
    {"--demo", nullptr,
     "start a simulated engine controller inside Dentora and\n"
     "put its device into the port box; press \"Run Test\"",
     [](Options& o, const QString&) { o.demo = true; }},
    {"--port", "DEVICE", "put DEVICE (e.g. /dev/ttyUSB0, or COM3) into the port box",
     [](Options& o, const QString& v) { o.port = v; }},
    {"--fast", nullptr,
     "fetch the log fast: the same requests, sent ahead of their\n"
     "answers, so a full log takes seconds instead of minutes\n"
     "(also in the chart's context menu)",
     [](Options& o, const QString&) { o.fetch.fast = true; }},
    {"--ahead", "N",
     "fetch fast with at most N requests waiting for their\n"
     "answers, 1 to 64 (default 3, one record); use less for a\n"
     "controller that cannot buffer requests",
     SetAhead},
    {"--open", "FILE",
     "start with the capture saved in FILE (.dentora) on the chart,\n"
     "or a VCD, logic-analyser CSV, composite or tooth log imported;\n"
     "FILE alone, as a file manager gives it, does the same",
     [](Options& o, const QString& v) { o.open = v; }},
    {"--snapshot", "FILE",
     "press \"Run Test\" by itself, wait for the capture to\n"
     "finish, write a PNG of the window to FILE, print its\n"
     "path and exit (0 when the capture finished)",
     [](Options& o, const QString& v) { o.snapshot = QFileInfo(v).absoluteFilePath(); }},
    {"--tick-us", "MICROSECONDS",
     "length of one tick of the controller's counts, so that\n"
     "the trigger report gives engine speeds (for this run;\n"
     "\"Tick length...\" changes it; a saved capture keeps it)",
     SetTickMicros},
    {"--version", nullptr, "print the version and exit", nullptr},
    {"--help", nullptr, "print this text and exit", nullptr},
};

QString OptionHead(const StartOption& option)
{
    return QLatin1String(option.name) +
        (option.valueName ? QLatin1Char(' ') + QLatin1String(option.valueName) : QString());
}

QString Synopsis()
{
    const QString indent(14, QLatin1Char(' '));
    QString text = QStringLiteral("Usage: dentora [FILE]");
    int lineStart = 0;
    for (const StartOption& option : kStartOptions) {
        const QString item = QStringLiteral(" [%1]").arg(OptionHead(option));
        if (text.size() - lineStart + item.size() > 79) {
            text += QLatin1Char('\n');
            lineStart = int(text.size());
            text += indent;
        }
        text += item;
    }
    return text + QLatin1Char('\n');
}

QString Usage()
{
    QString text = Synopsis() +
        QStringLiteral("\n"
                       "Reads a crank and cam trigger log out of an engine controller over a\n"
                       "serial line (115200 8N1) and draws the crank and cam signals as square\n"
                       "waves. Pick the port, press \"Run Test\" and watch the capture arrive.\n"
                       "\n");
    const QString helpIndent(19, QLatin1Char(' '));
    for (const StartOption& option : kStartOptions) {
        QString head = QStringLiteral("  ") + OptionHead(option);
        head = head.size() < 19 ? head.leftJustified(19) : head + QLatin1Char('\n') + helpIndent;
        text += head + QString::fromUtf8(option.help).replace(QLatin1Char('\n'), QLatin1Char('\n') + helpIndent) +
            QLatin1Char('\n');
    }
    return text +
        QStringLiteral(
               "\n"
               "Without arguments Dentora opens with COM1 selected; COMn is the n-th\n"
               "serial device present (USB and ACM adapters first).\n");
}

std::vector<dentora::options::OptionForm> OptionForms()
{
    std::vector<dentora::options::OptionForm> forms;
    for (const StartOption& option : kStartOptions) {
        if (option.apply)
            forms.push_back({option.name, option.valueName ? option.valueName : ""});
    }
    return forms;
}

// A file manager starts "dentora FILE": the same as --open FILE.
void OpenPositionalFile(const std::vector<std::string>& positionals, Options* options)
{
    if (positionals.empty())
        return;
    if (!options->open.isEmpty())
        Refuse("give the capture to open either as FILE or with --open, not both");
    options->open = QString::fromStdString(positionals.front());
}

// Returns false when the process should end now (help, version, a mistake).
bool ParseArguments(const QStringList& arguments, Options* options, int* exitCode)
{
    std::vector<std::string> words;
    for (const QString& argument : arguments)
        words.push_back(argument.toStdString());
    if (std::find(words.begin(), words.end(), "--version") != words.end()) {
        std::printf("dentora %s\n", AppVersionString());
        return false;
    }
    try {
        dentora::options::ParseRules rules;
        rules.mostPositionals = 1;
        const dentora::options::ParsedArguments parsed = dentora::options::ParseArguments(OptionForms(), words, rules);
        if (parsed.help) {
            std::fputs(qPrintable(Usage()), stdout);
            return false;
        }
        for (const dentora::options::GivenOption& given : parsed.options) {
            for (const StartOption& option : kStartOptions) {
                if (given.name == option.name)
                    option.apply(*options, QString::fromStdString(given.value));
            }
        }
        OpenPositionalFile(parsed.positionals, options);
    } catch (const dentora::options::UsageError& error) {
        std::fprintf(stderr, "dentora: %s\n\n%s", error.what(), qPrintable(Usage()));
        *exitCode = 2;
        return false;
    }
    return true;
}

}  // namespace

// --help and --version are answered before any window system is touched;
// everything else waits for the application, which takes its own options
// (-platform, -style) off the line first.
BOOL CAnalyzerApp::PreInitInstance(const QStringList& arguments)
{
    const bool asksForText = arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h")) ||
        arguments.contains(QLatin1String("--version"));
    Options ignored;
    return !asksForText || ParseArguments(arguments, &ignored, &m_exitCode);
}

CAnalyzerApp::CAnalyzerApp()
{
    m_helpFilePath = HelpPagePath();
    m_pszAppName = "Dentora";
}

BOOL CAnalyzerApp::InitInstance()
{
    Options options;
    if (!ParseArguments(QCoreApplication::arguments().mid(1), &options, &m_exitCode))
        return FALSE;

    dentora::SetFetchOptions(options.fetch);

    DemoController demo;
    if (options.demo) {
        QString error;
        options.port = demo.Start(&error);
        if (options.port.isEmpty()) {
            std::fprintf(stderr, "dentora: cannot start the demo controller: %s\n", qPrintable(error));
            m_exitCode = 1;
            return FALSE;
        }
    }

    CAnalyzerDlg dialog;
    dialog.SetInitialPortText(options.port);
    // Once the dialog and its chart exist, as its modal loop starts; a file
    // that cannot be read is said in a box and leaves the chart empty.
    if (!options.open.isEmpty())
        QTimer::singleShot(0, [&dialog, &options] { OpenCaptureOrSayWhy(&dialog, options.open); });
    dialog.Trigger().SetTickMicros(options.tickMicros);
    m_pMainWnd = &dialog;
    if (options.snapshot.isEmpty()) {
        dialog.DoModal();
    } else {
        SnapshotRun snapshot(dialog, options.snapshot);
        snapshot.Arm();
        dialog.DoModal();
        if (snapshot.Succeeded()) {
            std::printf("%s\n", qPrintable(snapshot.Message()));
        } else {
            std::fprintf(stderr, "dentora: %s\n", qPrintable(snapshot.Message()));
            m_exitCode = 1;
        }
    }
    m_pMainWnd = nullptr;
    return FALSE;
}
