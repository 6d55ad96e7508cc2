// The application object: constructed statically, before anything of Qt
// exists; AfxWinMain makes the Qt application and runs InitInstance.
#pragma once

#include "platform/wnd.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the application; returns FALSE when it is over.
    virtual BOOL InitInstance() = 0;

    CWnd* m_pMainWnd = nullptr;
    // What the process exits with once InitInstance has returned.
    int m_exitCode = 0;
};

CWinApp* AfxGetApp();

// The program's entry: makes the Qt application around the one CWinApp.
int AfxWinMain(int argc, char** argv);
