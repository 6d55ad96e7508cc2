// The buttons under the chart that change its looks; nothing is saved.
#include "analyzer_dlg.h"

#include "capture/decoder.h"
#include "chart/chart_wnd.h"

#include <optional>

int g_nGridOn = 1;

namespace {
constexpr DWORD kPickerFlags = CC_SOLIDCOLOR | CC_PREVENTFULLOPEN;

// The picker, preset to the current colour; the colour chosen, or none when cancelled.
std::optional<COLORREF> PickColor(COLORREF current, CWnd* owner)
{
    CColorDialog picker(current, kPickerFlags, owner);
    if (picker.DoModal() != IDOK)
        return std::nullopt;
    return picker.GetColor();
}
}  // namespace

void CAnalyzerDlg::OnBkColor()
{
    if (const auto color = PickColor(g_chart.GetBackColor(), this))
        g_chart.SetBackColor(*color);
}

void CAnalyzerDlg::OnGridToggle()
{
    g_nGridOn = 1 - g_nGridOn;
    g_chart.SetGrid(g_nGridOn != 0 ? TRUE : FALSE);
}

void CAnalyzerDlg::OnCrankColor()
{
    PickLineColor(kCrankLine);
}

void CAnalyzerDlg::OnCamColor()
{
    PickLineColor(kCamLine);
}

void CAnalyzerDlg::PickLineColor(UINT lineId)
{
    if (const auto color = PickColor(g_chart.GetLineColor(lineId), this))
        g_chart.SetLineColor(lineId, *color);
}
