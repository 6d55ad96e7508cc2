#include "analyzer_app.h"

#include "analyzer_dlg.h"
#include "capture/capture_files.h"
#include "capture/fetch_options.h"
#include "capture/test_run.h"
#include "demo_mode.h"
#include "import_dialog.h"
#include "res/resource.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

const char kUsage[] =
    "Usage: dentora [--demo] [--port DEVICE] [--fast] [--ahead N] [--open FILE]\n"
    "               [--snapshot FILE] [--tick-us MICROSECONDS] [--version] [--help]\n"
    "\n"
    "Reads a crank and cam trigger log out of an engine controller over a\n"
    "serial line (115200 8N1) and draws the crank and cam signals as square\n"
    "waves. Pick the port, press \"Run Test\" and watch the capture arrive.\n"
    "\n"
    "  --demo           start a simulated engine controller inside Dentora and\n"
    "                   put its device into the port box; press \"Run Test\"\n"
    "  --port DEVICE    put DEVICE (e.g. /dev/ttyUSB0, or COM3) into the port box\n"
    "  --fast           fetch the log fast: the same requests, sent ahead of their\n"
    "                   answers, so a full log takes seconds instead of minutes\n"
    "                   (also in the chart's context menu)\n"
    "  --ahead N        fetch fast with at most N requests waiting for their\n"
    "                   answers, 1 to 64 (default 3, one record); use less for a\n"
    "                   controller that cannot buffer requests\n"
    "  --open FILE      start with the capture saved in FILE (.dentora) on the chart, or\n"
    "                   a VCD, logic-analyser CSV, composite or tooth log imported\n"
    "  --snapshot FILE  press \"Run Test\" by itself, wait for the capture to\n"
    "                   finish, write a PNG of the window to FILE, print its\n"
    "                   path and exit (0 when the capture finished)\n"
    "  --tick-us MICROSECONDS\n"
    "                   length of one tick of the controller's counts, so that\n"
    "                   the trigger report gives engine speeds (for this run;\n"
    "                   \"Tick length...\" changes it; a saved capture keeps it)\n"
    "  --version        print the version and exit\n"
    "  --help           print this text and exit\n"
    "\n"
    "Without arguments Dentora opens with COM1 selected; COMn is the n-th\n"
    "serial device present (USB and ACM adapters first).\n";

struct Options {
    bool demo = false;
    dentora::FetchOptions fetch;
    QString port;
    QString snapshot;
    QString open;
    std::optional<double> tickMicros;
};

// A depth of 1 to kMostAhead turns fast fetch on with that depth.
bool ParseAhead(const QString& text, dentora::FetchOptions* fetch)
{
    bool isNumber = false;
    const int ahead = text.toInt(&isNumber);
    if (!isNumber || ahead < 1 || ahead > dentora::kMostAhead)
        return false;
    fetch->fast = true;
    fetch->ahead = ahead;
    return true;
}

// A tick length as the user typed it: a positive number of µs, at most 10^6.
std::optional<double> ParseTickMicros(const QString& text)
{
    bool isNumber = false;
    const double micros = text.toDouble(&isNumber);
    if (!isNumber || !(micros > 0.0) || micros > 1e6)
        return std::nullopt;
    return micros;
}

// Returns false when the process should end now (help, version, a mistake).
bool ParseArguments(const QStringList& arguments, Options* options, int* exitCode)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == QLatin1String("--version")) {
            std::printf("dentora %s\n", AppVersionString());
            return false;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return false;
        }
        if (argument == QLatin1String("--demo")) {
            options->demo = true;
        } else if (argument == QLatin1String("--port") && hasValue) {
            options->port = arguments[++i];
        } else if (argument == QLatin1String("--fast")) {
            options->fetch.fast = true;
        } else if (argument == QLatin1String("--ahead")) {
            if (!hasValue || !ParseAhead(arguments[++i], &options->fetch)) {
                std::fprintf(stderr, "dentora: --ahead needs a number of requests from 1 to %d\n", dentora::kMostAhead);
                *exitCode = 2;
                return false;
            }
        } else if (argument == QLatin1String("--open") && hasValue) {
            options->open = arguments[++i];
        } else if (argument == QLatin1String("--snapshot") && hasValue) {
            options->snapshot = QFileInfo(arguments[++i]).absoluteFilePath();
        } else if (argument == QLatin1String("--tick-us") && hasValue && ParseTickMicros(arguments[i + 1])) {
            options->tickMicros = ParseTickMicros(arguments[++i]);
        } else {
            std::fprintf(stderr, "dentora: unknown or incomplete argument '%s'\n\n%s", qPrintable(argument), kUsage);
            *exitCode = 2;
            return false;
        }
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

    // A file that cannot be read ends the start: the user asked for it.
    dentora::CaptureLog opened;
    QString openError;
    if (!options.open.isEmpty() &&
        !dentora::LoadCaptureFile(options.open, &opened, &openError, dentora::ImportAsking(nullptr))) {
        std::fprintf(stderr, "dentora: %s\n", qPrintable(openError));
        m_exitCode = 1;
        return FALSE;
    }

    CAnalyzerDlg dialog;
    dialog.SetInitialPortText(options.port);
    // Drawn once the dialog and its chart exist, as its modal loop starts.
    if (!options.open.isEmpty())
        QTimer::singleShot(0, [&opened] { LoadCapture(std::move(opened)); });
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
