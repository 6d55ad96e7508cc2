#include "analyzer_app.h"

#include "analyzer_dlg.h"
#include "res/resource.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>


namespace {

const char kUsage[] =
    "Usage: dentora [--version] [--help]\n"
    "\n"
    "Reads a crank and cam trigger log out of an engine controller over a\n"
    "serial line and draws the two signals as square waves.\n"
    "\n"
    "  --version  print the version and exit\n"
    "  --help     print this text and exit\n";

}  // namespace

BOOL CAnalyzerApp::InitInstance()
{
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--version")) {
            std::printf("dentora %s\n", AppVersionString());
            return FALSE;
        }
        if (argument == QLatin1String("--help")) {
            std::fputs(kUsage, stdout);
            return FALSE;
        }
        std::fprintf(stderr, "dentora: unknown argument '%s'\n\n%s", qPrintable(argument), kUsage);
        m_exitCode = 2;
        return FALSE;
    }

    CAnalyzerDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
