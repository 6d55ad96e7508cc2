#include "analyzer_app.h"

#include "analyzer_dlg.h"
#include "demo_mode.h"
#include "res/resource.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

const char kUsage[] =
    "Usage: dentora [--demo] [--port DEVICE] [--snapshot FILE] [--version] [--help]\n"
    "\n"
    "Reads a crank and cam trigger log out of an engine controller over a\n"
    "serial line (115200 8N1) and draws the crank and cam signals as square\n"
    "waves. Pick the port, press \"Run Test\" and watch the capture arrive.\n"
    "\n"
    "  --demo           start a simulated engine controller inside Dentora and\n"
    "                   put its device into the port box; press \"Run Test\"\n"
    "  --port DEVICE    put DEVICE (e.g. /dev/ttyUSB0, or COM3) into the port box\n"
    "  --snapshot FILE  press \"Run Test\" by itself, wait for the capture to\n"
    "                   finish, write a PNG of the window to FILE, print its\n"
    "                   path and exit (0 when the capture finished)\n"
    "  --version        print the version and exit\n"
    "  --help           print this text and exit\n"
    "\n"
    "Without arguments Dentora opens with COM1 selected; COMn is the n-th\n"
    "serial device present (USB and ACM adapters first).\n";

struct Options {
    bool demo = false;
    QString port;
    QString snapshot;
};

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
        } else if (argument == QLatin1String("--snapshot") && hasValue) {
            options->snapshot = QFileInfo(arguments[++i]).absoluteFilePath();
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

BOOL CAnalyzerApp::InitInstance()
{
    Options options;
    if (!ParseArguments(QCoreApplication::arguments().mid(1), &options, &m_exitCode))
        return FALSE;

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
