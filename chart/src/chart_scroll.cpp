#include "chart/chart_wnd.h"

#include <algorithm>

void CChartWnd::OnHScroll(UINT code, UINT position, CScrollBar*)
{
    const double start = m_xStart;
    const double span = m_xSpan;
    switch (code) {
    case SB_LINELEFT:
        // Already at (or within a unit, or a thousandth of a narrower view,
        // of) the left end: leave it all alone.
        if (m_xStart < float(std::min(1.0, span / 1000.0)))
            return;
        m_xStart = float(start - 0.01 * span);
        break;
    case SB_LINERIGHT: m_xStart = float(start + 0.01 * span); break;
    case SB_PAGELEFT:
        m_xStart = float(start - span / 2.0);
        if (m_xStart < 0.0f)
            m_xStart = 0.0f;
        break;
    case SB_PAGERIGHT: m_xStart = float(start + span / 2.0); break;
    case SB_THUMBTRACK: {
        // The bar runs from 0 to ScrollRange() over the whole extent.
        const float fraction = float(position / double(ScrollRange()));
        m_xStart = float(double(m_xMin) + (double(m_xMax) - double(m_xMin)) * fraction);
        break;
    }
    default:
        // The drag's end and the jumps to either end move nothing: the
        // thumb tracked live all along.
        return;
    }

    // Right end first, so that the left end wins when both bite.
    if (double(m_xMax) - span < double(m_xStart))
        m_xStart = float(double(m_xMax) - span);
    if (m_xStart < m_xMin)
        m_xStart = m_xMin;

    Invalidate(TRUE);
    UpdateScrollBar();
}

void CChartWnd::OnKeyDown(UINT key, UINT repeatCount, UINT)
{
    UINT code = SB_ENDSCROLL;
    switch (key) {
    case VK_LEFT: code = SB_LINELEFT; break;
    case VK_RIGHT: code = SB_LINERIGHT; break;
    case VK_PRIOR: code = SB_PAGELEFT; break;
    case VK_NEXT: code = SB_PAGERIGHT; break;
    case '1':
    case '2':
        if (m_pointer)
            PlaceCursorAt(int(key - '1'), *m_pointer);
        return;
    case VK_ESCAPE: HideCursors(); return;
    case 'N': StepToMark(+1); return;
    case 'P': StepToMark(-1); return;
    case VK_OEM_6: StepToEdge(+1); return;
    case VK_OEM_4: StepToEdge(-1); return;
    default: return;
    }
    for (UINT i = 0; i < repeatCount; ++i)
        OnHScroll(code, 0, nullptr);
    OnHScroll(SB_ENDSCROLL, 0, nullptr);
}

UINT CChartWnd::OnGetDlgCode()
{
    // Escape hides the cursors while there are any; otherwise it is the
    // dialog's, as everywhere.
    const bool cursorsShown = m_cursors[0] || m_cursors[1];
    return DLGC_WANTARROWS | DLGC_WANTCHARS | (cursorsShown ? DLGC_WANTALLKEYS : 0u);
}
