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

CWinApp* AfxGetApp()
{
    return g_theApp;
}

int AfxWinMain(int argc, char** argv)
{
    QApplication application(argc, argv);
    // One look on every system, so that the layout checked here is the one
    // users get.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (!g_theApp)
        return 1;
    g_theApp->InitInstance();
    return g_theApp->m_exitCode;
}
