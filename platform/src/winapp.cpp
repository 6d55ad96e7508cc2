#include "platform/winapp.h"

#include <QApplication>
#include <QStyleFactory>

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
