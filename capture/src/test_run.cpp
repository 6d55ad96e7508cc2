#include "capture/test_run.h"

int g_nTestState = kIdle;
unsigned char g_RxBuf[kRxBufferSize] = {};
int g_nRxCount = 0;
int g_nRxPos = 0;
CWnd* g_pRunButton = nullptr;
CWnd* g_pStatus = nullptr;

void RunTestClicked(CWnd*, int, const QString&) {}
void TestRunTick(CWnd*) {}
