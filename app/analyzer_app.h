#pragma once

#include "platform/winapp.h"

class CAnalyzerApp : public CWinApp {
public:
    CAnalyzerApp();
    BOOL InitInstance() override;
};

extern CAnalyzerApp theApp;
