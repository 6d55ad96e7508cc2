#include "fresh_state.h"

#include "capture/decoder.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "serial/serial_link.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

void ResetCaptureState()
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
    g_strComDevice.clear();
    g_fCrankHigh = 0.0f;
    g_fCamHigh = 0.0f;
    ResetDecoder();
    g_nChannel = 0;
    std::fill(std::begin(g_fLevelNew), std::end(g_fLevelNew), 0.0f);
    std::fill(std::begin(g_fTime), std::end(g_fTime), 0.0f);
    g_dTimeScale = 0.0;
}
