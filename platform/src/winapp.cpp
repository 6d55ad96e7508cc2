#include "platform/winapp.h"

#include <QApplication>
#include <QFile>
#include <QShortcut>
#include <QStyleFactory>
#include <QTextBrowser>
#include <QUrl>

namespace {
CWinApp* g_theApp = nullptr;
}

CWinApp::CWinApp()
{
    g_theApp = this;
}

CWinApp::~CWinApp()
{
    if (g_theApp == this)
        g_theApp = nullptr;
}

BOOL CWinApp::PreInitInstance(const QStringList&)
{
    return TRUE;
}

void CWinApp::OnHelp()
{
    if (m_helpWindow) {
        m_helpWindow->show();
        m_helpWindow->raise();
        m_helpWindow->activateWindow();
        return;
    }
    if (!QFile::exists(m_helpFilePath)) {
        AfxMessageBox(m_pMainWnd, QStringLiteral("No help is available: %1 is missing.").arg(m_helpFilePath));
        return;
    }
    // A window of the main window's own, so that a modal main dialog does
    // not block it, and it closes with it.
    auto* browser = new QTextBrowser(m_pMainWnd ? m_pMainWnd->GetSafeWidget() : nullptr);
    browser->setWindowFlag(Qt::Window);
    browser->setAttribute(Qt::WA_DeleteOnClose);
    browser->setOpenExternalLinks(true);
    const bool resource = m_helpFilePath.startsWith(QLatin1Char(':'));
    browser->setSource(resource ? QUrl(QStringLiteral("qrc") + m_helpFilePath) : QUrl::fromLocalFile(m_helpFilePath));
    browser->setWindowTitle(browser->documentTitle());
    // Read and put away as a dialog is: Escape closes it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), browser);
    QObject::connect(escape, &QShortcut::activated, browser, &QWidget::close);
    browser->resize(600, 640);
    browser->show();
    m_helpWindow = browser;
}

CWinApp* AfxGetApp()
{
    return g_theApp;
}

int AfxWinMain(int argc, char** argv)
{
    if (!g_theApp)
        return 1;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!g_theApp->PreInitInstance(arguments))
        return g_theApp->m_exitCode;
    QApplication application(argc, argv);
    // One look on every system, so that the layout checked here is the one
    // users get.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    g_theApp->InitInstance();
    return g_theApp->m_exitCode;
}
