#include "chart/chart_wnd.h"

void CChartWnd::OnHScroll(UINT, UINT, CScrollBar*) {}
