// The buttons under the chart that change its looks; nothing is saved.
#include "analyzer_dlg.h"

#include "capture/decoder.h"
#include "chart/chart_wnd.h"

int g_nGridOn = 1;

namespace {
constexpr DWORD kPickerFlags = CC_SOLIDCOLOR | CC_PREVENTFULLOPEN;
}

void CAnalyzerDlg::OnBkColor()
{
    CColorDialog picker(g_chart.GetBackColor(), kPickerFlags, this);
    if (picker.DoModal() == IDOK)
        g_chart.SetBackColor(picker.GetColor());
}

void CAnalyzerDlg::OnGridToggle()
{
    g_nGridOn = 1 - g_nGridOn;
    g_chart.SetGrid(g_nGridOn != 0 ? TRUE : FALSE);
}

void CAnalyzerDlg::OnCrankColor()
{
    CColorDialog picker(g_chart.GetLineColor(kCrankLine), kPickerFlags, this);
    if (picker.DoModal() == IDOK)
        g_chart.SetLineColor(kCrankLine, picker.GetColor());
}

void CAnalyzerDlg::OnCamColor()
{
    CColorDialog picker(g_chart.GetLineColor(kCamLine), kPickerFlags, this);
    if (picker.DoModal() == IDOK)
        g_chart.SetLineColor(kCamLine, picker.GetColor());
}
