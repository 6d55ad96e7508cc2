// Where the controls stand when the dialog is not at its template's size:
// the chart takes the room the dialog gains or loses, the controls under it
// move with its bottom edge, the group boxes round it stretch, the buttons
// under it spread across its width and the controls above it stay centred.
#include "analyzer_dlg.h"

#include "chart/chart_wnd.h"
#include "res/resource.h"

#include <QWidget>

#include <algorithm>

namespace {

// Dialog units: the least height the chart shrinks to (its traces, 0.5 and
// 0.4 high, still a finger's breadth apart, and the scroll bar); the least width,
// which keeps the port row and the status box (x 51 to 404 in the template)
// inside their group boxes; the room between a group box's edge and what
// it holds.
constexpr int kMinimumChartHeight = 64;
constexpr int kGroupMargin = 4;
constexpr int kMinimumWidth = 7 + kGroupMargin + (404 - 51) + kGroupMargin + 7;

struct Layout {
    RECT chart;  // the chart frame at the template's size, pixels
    int width;   // the template's client width, pixels
    int dx;      // what the client gained (or lost) on each axis
    int dy;
    int aboveShift;  // how far the controls above the chart move across
    int rightLimit;  // where a group box's contents end now

    bool SpansChart(const RECT& r) const { return r.left <= chart.left && r.right >= chart.right; }

    // Where a control the template puts at r (pixels) stands now.
    RECT Place(RECT r) const
    {
        int shift = aboveShift;
        if (SpansChart(r)) {
            shift = 0;
            r.right += dx;
        } else if (r.top >= chart.top) {
            shift = dx * (r.left + r.right) / 2 / width;
        }
        r.left += shift;
        r.right += shift;
        // Narrower than its minimum (a small screen), a wide control is
        // cut to its group box rather than run out of the window.
        if (!SpansChart(r))
            r.right = std::max(r.left + 1, std::min(r.right, rightLimit));
        if (r.top >= chart.bottom) {
            r.top += dy;
            r.bottom += dy;
        } else if (r.top <= chart.top && r.bottom >= chart.bottom) {
            r.bottom += dy;
        }
        return r;
    }
};

RECT PixelRect(const CDialog& dialog, const DialogControl& control)
{
    return dialog.MapDialogRect(RECT{control.x, control.y, control.x + control.cx, control.y + control.cy});
}

Layout LayoutFor(const CDialog& dialog, int cx, int cy)
{
    const DialogTemplate& dialogTemplate = g_analyzerDialogTemplate;
    const RECT client = dialog.MapDialogRect(RECT{0, 0, dialogTemplate.cx, dialogTemplate.cy});
    Layout layout{};
    for (std::size_t i = 0; i < dialogTemplate.controlCount; ++i) {
        if (dialogTemplate.controls[i].id == IDC_CHART_FRAME)
            layout.chart = PixelRect(dialog, dialogTemplate.controls[i]);
    }
    layout.width = client.right;
    layout.dx = cx - client.right;
    layout.dy = cy - client.bottom;
    // Centred above the chart, but never past their group boxes' left edge.
    int groupLeft = client.right;
    int groupRight = 0;
    int leftmost = client.right;
    for (std::size_t i = 0; i < dialogTemplate.controlCount; ++i) {
        const RECT r = PixelRect(dialog, dialogTemplate.controls[i]);
        if (layout.SpansChart(r)) {
            groupLeft = std::min(groupLeft, r.left);
            groupRight = std::max(groupRight, r.right);
        } else if (r.bottom <= layout.chart.top) {
            leftmost = std::min(leftmost, r.left);
        }
    }
    const int margin = dialog.MapDialogRect(RECT{0, 0, kGroupMargin, 0}).right;
    layout.aboveShift = std::max(layout.dx / 2, std::min(0, groupLeft + margin - leftmost));
    layout.rightLimit = groupRight + layout.dx - margin;
    return layout;
}

}  // namespace

QSize CAnalyzerDlg::MinimumClientSize() const
{
    const DialogTemplate& dialogTemplate = g_analyzerDialogTemplate;
    int chartHeight = 0;
    for (std::size_t i = 0; i < dialogTemplate.controlCount; ++i) {
        if (dialogTemplate.controls[i].id == IDC_CHART_FRAME)
            chartHeight = dialogTemplate.controls[i].cy;
    }
    const RECT least = MapDialogRect(RECT{0, 0, kMinimumWidth, dialogTemplate.cy - chartHeight + kMinimumChartHeight});
    return QSize(least.right, least.bottom);
}

void CAnalyzerDlg::OnSize(UINT type, int cx, int cy)
{
    CDialog::OnSize(type, cx, cy);
    if (!g_chart.IsWindow())
        return;  // OnInitDialog has not run yet
    const Layout layout = LayoutFor(*this, cx, cy);
    const DialogTemplate& dialogTemplate = g_analyzerDialogTemplate;
    for (std::size_t i = 0; i < dialogTemplate.controlCount; ++i) {
        CWnd* control = GetTemplateControl(i);
        const RECT r = layout.Place(PixelRect(*this, dialogTemplate.controls[i]));
        // A combo box is as high as its edit field, whatever the template says.
        const bool keepsHeight = dialogTemplate.controls[i].kind == ControlKind::ComboDropDown;
        const int height = keepsHeight ? control->GetSafeWidget()->height() : r.bottom - r.top;
        control->MoveWindow(r.left, r.top, r.right - r.left, height);
        if (dialogTemplate.controls[i].id == IDC_CHART_FRAME)
            g_chart.MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
}
