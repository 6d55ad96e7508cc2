#pragma once

#include "platform/winapp.h"

class CAnalyzerApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

extern CAnalyzerApp theApp;
