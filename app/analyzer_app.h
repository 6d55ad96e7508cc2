#pragma once

#include "platform/winapp.h"

class CAnalyzerApp : public CWinApp {
public:
    CAnalyzerApp();
    BOOL PreInitInstance(const QStringList& arguments) override;
    BOOL InitInstance() override;
};

extern CAnalyzerApp theApp;
