#include "platform/dc.h"

#include "qt_color.h"

#include <QFontMetrics>
#include <QVector>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

// The window system's dash lengths in pixels, for the 1-pixel pens that
// draw dashed at all.
QVector<qreal> DashPattern(int penStyle)
{
    switch (penStyle) {
    case PS_DASH: return {18, 6};
    case PS_DOT: return {3, 3};
    case PS_DASHDOT: return {9, 6, 3, 6};
    case PS_DASHDOTDOT: return {9, 3, 3, 3, 3, 3};
    default: return {};
    }
}

}  // namespace

BOOL CPen::CreatePen(int penStyle, int width, COLORREF color)
{
    // A width of 0 or less still draws one pixel wide.
    const int pixels = std::max(width, 1);
    m_pen = QPen(platform::ToQColor(color), pixels);
    m_insideFrame = penStyle == PS_INSIDEFRAME && pixels > 1;
    if (penStyle == PS_NULL) {
        m_pen.setStyle(Qt::NoPen);
    } else if (penStyle >= PS_DASH && penStyle <= PS_DASHDOTDOT && pixels == 1) {
        m_pen.setDashPattern(DashPattern(penStyle));
        // Dashes exactly as long as the pattern says.
        m_pen.setCapStyle(Qt::FlatCap);
    }
    return TRUE;
}

void CBrush::CreateSolidBrush(COLORREF color)
{
    m_brush = QBrush(platform::ToQColor(color));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC*, int width, int height)
{
    if (width <= 0 || height <= 0)
        return FALSE;
    m_image = QImage(width, height, QImage::Format_RGB32);
    return m_image.isNull() ? FALSE : TRUE;
}

CDC::CDC()
{
    m_stockPen.CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    m_stockBrush.CreateSolidBrush(RGB(255, 255, 255));
}

CDC::~CDC()
{
    if (m_painter.isActive())
        m_painter.end();
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    if (!dc || !dc->m_painter.isActive())
        return FALSE;
    m_memory = true;
    return TRUE;
}

void CDC::BeginPaint(QPaintDevice* device)
{
    if (!m_painter.begin(device))
        return;
    // Predictable pixels: no smoothing of any kind.
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setPen(m_pen->m_pen);
    m_painter.setBrush(m_brush->m_brush);
    ApplyBackground();
    ApplyViewport();
}

CBitmap* CDC::SelectObject(CBitmap* bitmap)
{
    CBitmap* previous = m_bitmap;
    if (!m_memory || !bitmap)
        return nullptr;
    if (m_painter.isActive())
        m_painter.end();
    m_bitmap = bitmap;
    if (!bitmap->m_image.isNull())
        BeginPaint(&bitmap->m_image);
    return previous;
}

CPen* CDC::SelectObject(CPen* pen)
{
    CPen* previous = m_pen;
    m_pen = pen;
    if (m_painter.isActive())
        m_painter.setPen(pen->m_pen);
    return previous;
}

CBrush* CDC::SelectObject(CBrush* brush)
{
    CBrush* previous = m_brush;
    m_brush = brush;
    if (m_painter.isActive())
        m_painter.setBrush(brush->m_brush);
    return previous;
}

void CDC::SetBkMode(int mode)
{
    m_bkMode = mode;
    ApplyBackground();
}

void CDC::SetBkColor(COLORREF color)
{
    m_bkColor = color;
    ApplyBackground();
}

void CDC::ApplyBackground()
{
    if (!m_painter.isActive())
        return;
    // In opaque mode the painter fills the gaps of dashed lines with this.
    m_painter.setBackgroundMode(m_bkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
    m_painter.setBackground(QBrush(platform::ToQColor(m_bkColor)));
}

void CDC::SetViewportOrg(int x, int y)
{
    m_viewportOrigin = QPoint(x, y);
    ApplyViewport();
}

void CDC::ApplyViewport()
{
    if (!m_painter.isActive())
        return;
    m_painter.resetTransform();
    m_painter.translate(m_viewportOrigin);
}

void CDC::FillRect(const RECT* rect, CBrush* brush)
{
    if (m_painter.isActive())
        m_painter.fillRect(QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top),
                           brush->m_brush);
}

void CDC::MoveTo(int x, int y)
{
    m_position = QPoint(x, y);
}

void CDC::LineTo(int x, int y)
{
    const QPoint to(x, y);
    if (m_painter.isActive())
        m_painter.drawLine(m_position, to);
    m_position = to;
}

void CDC::Ellipse(int left, int top, int right, int bottom)
{
    if (!m_painter.isActive())
        return;
    // The rectangle may come reversed; normalised, a box with nothing left
    // once its right and bottom edges are excluded draws nothing.
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    if (right == left || bottom == top)
        return;
    if (m_pen->m_insideFrame) {
        // The outline's path moves in by half the pen, so its outer edge
        // meets the box; a pen wider than the box fills it.
        const int half = std::min(m_pen->m_pen.width(), std::min(right - left, bottom - top)) / 2;
        left += half;
        top += half;
        right -= half;
        bottom -= half;
    }
    m_painter.drawEllipse(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void CDC::SetTextColor(COLORREF color)
{
    m_textColor = color;
}

void CDC::TextOut(int x, int y, const QString& text)
{
    if (!m_painter.isActive())
        return;
    const QPen pen = m_painter.pen();
    const Qt::BGMode mode = m_painter.backgroundMode();
    m_painter.setPen(platform::ToQColor(m_textColor));
    m_painter.setBackgroundMode(Qt::TransparentMode);
    m_painter.drawText(QPoint(x, y + QFontMetrics(m_painter.font()).ascent()), text);
    m_painter.setPen(pen);
    m_painter.setBackgroundMode(mode);
}

QSize CDC::GetTextExtent(const QString& text) const
{
    const QFontMetrics metrics(m_painter.isActive() ? m_painter.font() : QFont());
    return QSize(metrics.horizontalAdvance(text), metrics.height());
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int xSource, int ySource, DWORD rop)
{
    if (rop != SRCCOPY || !m_painter.isActive() || !source || source->m_bitmap->m_image.isNull())
        return FALSE;
    const QPainter::CompositionMode mode = m_painter.compositionMode();
    m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    m_painter.drawImage(QRect(x, y, width, height), source->m_bitmap->m_image, QRect(xSource, ySource, width, height));
    m_painter.setCompositionMode(mode);
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* wnd)
{
    if (QWidget* client = wnd->ClientWidget())
        BeginPaint(client);
}
