// The application object: constructed statically, before anything of Qt
// exists; AfxWinMain makes the Qt application and runs InitInstance.
#pragma once

#include "platform/wnd.h"

#include <QPointer>
#include <QString>
#include <QStringList>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Sees the arguments before any window system is touched, so that what
    // needs no window (help, the version) works anywhere. FALSE ends the
    // process at once with m_exitCode; the default goes on.
    virtual BOOL PreInitInstance(const QStringList& arguments);

    // Runs the application; returns FALSE when it is over.
    virtual BOOL InitInstance() = 0;
    // The help command: shows m_helpFilePath in a window of its own beside
    // the main window (Escape closes it), or says why it cannot.
    virtual void OnHelp();

    CWnd* m_pMainWnd = nullptr;
    // What the process exits with once InitInstance has returned.
    int m_exitCode = 0;
    // The help page, HTML: a file or a resource path (":/...").
    QString m_helpFilePath;
    // The name message boxes carry as their caption; null for the
    // executable's file name.
    const char* m_pszAppName = nullptr;

private:
    QPointer<QWidget> m_helpWindow;
};

CWinApp* AfxGetApp();

// The program's entry: makes the Qt application around the one CWinApp.
int AfxWinMain(int argc, char** argv);
