#include "fresh_state.h"

#include "capture/decoder.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "serial/serial_link.h"

#include <cstring>
#include <new>

void ResetProcessState()
{
    // As at program start: a chart object that has never had a window or a
    // line, no port, an idle test run with a zeroed buffer.
    CloseCommPort();
    g_chart.~CChartWnd();
    new (&g_chart) CChartWnd();
    g_nTestState = kIdle;
    std::memset(g_RxBuf, 0, sizeof g_RxBuf);
    g_nRxCount = 0;
    g_nRxPos = 0;
    g_pRunButton = nullptr;
    g_pStatus = nullptr;
    g_nComPort = 0;
    ResetDecoder();
}
