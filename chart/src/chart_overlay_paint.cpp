// What is painted beside the traces on request: the expected trace under
// them, the time ruler, the cursors with their readout and the stretch a
// Shift-drag is selecting.
#include "chart/chart_wnd.h"

#include "platform/dc.h"

#include <QFontMetrics>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace {

const COLORREF kRulerBack = RGB(48, 48, 48);
const COLORREF kRulerInk = RGB(220, 220, 220);
const COLORREF kCursorColors[2] = {RGB(255, 255, 255), RGB(255, 140, 0)};
const COLORREF kReadoutBack = RGB(24, 24, 24);
const COLORREF kZoomBandColor = RGB(200, 200, 200);
// Wider than a trace, so that it shows as a faint band round a trace that
// agrees with it and alone where the trace does not.
constexpr int kExpectedTraceWidth = 6;
constexpr int kTextMargin = 3;
constexpr int kMarkRoom = 14;  // the anomaly marks hang this far from the top
// Labels of the ruler about this many to a view.
constexpr double kRulerLabels = 8.0;

// The ruler's labels: the decimals a step needs.
QString RulerLabel(double value, double step)
{
    const int decimals = std::max(0, int(std::ceil(-std::log10(step) - 1e-9)));
    return QString::number(value, 'f', decimals);
}

}  // namespace

int CChartWnd::RulerHeight() const
{
    return m_rulerShown ? QFontMetrics(QGuiApplication::font()).height() + 2 * kTextMargin : 0;
}

void CChartWnd::DrawExpectedTrace(CDC& dc) const
{
    CPen pen;
    pen.CreatePen(PS_SOLID, kExpectedTraceWidth, m_expectedColor);
    CPen* oldPen = dc.SelectObject(&pen);
    const auto byX = [](const std::pair<float, float>& point, float x) { return point.first < x; };
    auto it = std::lower_bound(m_expected.begin(), m_expected.end(), m_xStart, byX);
    if (it != m_expected.begin())
        --it;
    const float right = float(double(m_xStart) + double(m_xSpan));
    dc.MoveTo(DataToClient(it->first, it->second));
    for (++it; it != m_expected.end(); ++it) {
        dc.LineTo(DataToClient(it->first, it->second));
        if (it->first > right)
            break;
    }
    dc.SelectObject(oldPen);
}

void CChartWnd::DrawRuler(CDC& dc, int width) const
{
    // In ms when the tick length is known, else in ticks, else in x units.
    double unitsPerValue = 1.0;
    QString unit = QStringLiteral("units");
    if (m_unitsPerTick) {
        unitsPerValue = *m_unitsPerTick;
        unit = QStringLiteral("ticks");
        if (m_microsPerTick && *m_microsPerTick > 0.0) {
            unitsPerValue *= 1000.0 / *m_microsPerTick;
            unit = QStringLiteral("ms");
        }
    }
    const int height = RulerHeight();
    CBrush back;
    back.CreateSolidBrush(kRulerBack);
    const RECT band{0, 0, width, height};
    dc.FillRect(&band, &back);
    CPen pen;
    pen.CreatePen(PS_SOLID, 1, kRulerInk);
    CPen* oldPen = dc.SelectObject(&pen);
    dc.SetTextColor(kRulerInk);

    const double step = RoundStepAtLeast(double(m_xSpan) / unitsPerValue / kRulerLabels);
    const double firstValue = double(m_xStart) / unitsPerValue;
    const double lastValue = (double(m_xStart) + double(m_xSpan)) / unitsPerValue;
    int labelEnd = dc.GetTextExtent(unit).width() + 2 * kTextMargin;  // the unit's name stands at the left
    dc.TextOut(kTextMargin, kTextMargin, unit);
    for (double k = std::ceil(firstValue / step); k * step <= lastValue; k += 1.0) {
        const int column = DataToClient(float(k * step * unitsPerValue), 0.0f).x;
        dc.MoveTo(column, height - kTextMargin - 1);
        dc.LineTo(column, height);
        const QString label = RulerLabel(k * step, step);
        if (column + kTextMargin < labelEnd)
            continue;  // would overlap the label before
        dc.TextOut(column + kTextMargin, kTextMargin, label);
        labelEnd = column + 2 * kTextMargin + dc.GetTextExtent(label).width();
    }
    dc.SelectObject(oldPen);
}

void CChartWnd::DrawCursors(CDC& dc, int width, int height) const
{
    if (!m_cursors[0] && !m_cursors[1])
        return;
    for (std::size_t index = 0; index < 2; ++index) {
        if (!m_cursors[index])
            continue;
        CPen pen;
        pen.CreatePen(PS_SOLID, 1, kCursorColors[index]);
        CPen* oldPen = dc.SelectObject(&pen);
        const int column = DataToClient(float(*m_cursors[index]), 0.0f).x;
        dc.MoveTo(column, 0);
        dc.LineTo(column, height);
        dc.SelectObject(oldPen);
        const QString name = QString::number(index + 1);
        dc.SetTextColor(kCursorColors[index]);
        dc.TextOut(column + kTextMargin, height - dc.GetTextExtent(name).height() - kTextMargin, name);
    }
    DrawReadout(dc, width);
}

void CChartWnd::DrawReadout(CDC& dc, int width) const
{
    QString text;
    if (m_readoutSource) {
        text = m_readoutSource(m_cursors[0], m_cursors[1]);
    } else if (m_cursors[0] && m_cursors[1]) {
        text = QStringLiteral("\u0394x %1 units").arg(std::abs(*m_cursors[1] - *m_cursors[0]), 0, 'f', 2);
    }
    if (text.isEmpty())
        return;
    const QStringList lines = text.split(QLatin1Char('\n'));
    int textWidth = 0;
    for (const QString& line : lines)
        textWidth = std::max(textWidth, dc.GetTextExtent(line).width());
    const int lineHeight = dc.GetTextExtent(text).height();
    // Under the ruler and the marks, at the right.
    const int top = RulerHeight() + kMarkRoom;
    const RECT box{width - textWidth - 3 * kTextMargin, top, width - kTextMargin,
                   top + int(lines.size()) * lineHeight + 2 * kTextMargin};
    CBrush back;
    back.CreateSolidBrush(kReadoutBack);
    dc.FillRect(&box, &back);
    dc.SetTextColor(kRulerInk);
    for (int i = 0; i < lines.size(); ++i)
        dc.TextOut(box.left + kTextMargin, box.top + kTextMargin + i * lineHeight, lines[i]);
}

void CChartWnd::DrawZoomBand(CDC& dc, int height) const
{
    CPen pen;
    pen.CreatePen(PS_DOT, 1, kZoomBandColor);
    CPen* oldPen = dc.SelectObject(&pen);
    for (const int column : {*m_zoomBandStart, *m_zoomBandEnd}) {
        dc.MoveTo(column, 0);
        dc.LineTo(column, height);
    }
    dc.MoveTo(*m_zoomBandStart, height / 2);
    dc.LineTo(*m_zoomBandEnd, height / 2);
    dc.SelectObject(oldPen);
}
