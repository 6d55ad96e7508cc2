// Device contexts and drawing objects in the classic sense, on QPainter:
// just what the chart's double-buffered paint needs. Drawing is aliased so
// that every pixel lands where the integer coordinates say.
#pragma once

#include "platform/wnd.h"

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QPen>

// Background mode that fills the gaps of dashed and dotted lines with the
// background colour.
constexpr int OPAQUE = 2;

// The one raster operation of BitBlt: copy the source.
constexpr DWORD SRCCOPY = 0x00CC0020;

class CDC;

class CPen {
public:
    // As the window system does it: a width above 1 makes the dashed and
    // dotted styles solid, PS_INSIDEFRAME is solid, and any other style
    // draws as PS_SOLID. Always TRUE.
    BOOL CreatePen(int penStyle, int width, COLORREF color);

private:
    friend class CDC;
    QPen m_pen;
    // Wide PS_INSIDEFRAME pen: figures with a bounding box stay inside it.
    bool m_insideFrame = false;
};

class CBrush {
public:
    void CreateSolidBrush(COLORREF color);

private:
    friend class CDC;
    QBrush m_brush;
};

class CBitmap {
public:
    // FALSE, and no bitmap, for an empty size or when memory runs out.
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);

private:
    friend class CDC;
    QImage m_image;
};

class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Makes this a memory DC; it draws once a bitmap is selected into it.
    // FALSE when dc itself has nothing to draw on.
    BOOL CreateCompatibleDC(CDC* dc);

    // Each returns the object selected before, to be selected back later.
    CBitmap* SelectObject(CBitmap* bitmap);
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);

    void SetBkMode(int mode);
    void SetBkColor(COLORREF color);
    void SetViewportOrg(int x, int y);

    // Fills rect, right and bottom edges excluded, with brush.
    void FillRect(const RECT* rect, CBrush* brush);
    void MoveTo(int x, int y);
    void MoveTo(CPoint point) { MoveTo(point.x, point.y); }
    // A line in the selected pen from the current position, which moves on.
    void LineTo(int x, int y);
    void LineTo(CPoint point) { LineTo(point.x, point.y); }
    // Outlined with the selected pen and filled with the selected brush,
    // within the bounding rectangle less its right and bottom edges; a wide
    // PS_INSIDEFRAME pen's outline lies wholly inside the rectangle.
    void Ellipse(int left, int top, int right, int bottom);
    // Text in the application's font and the text colour, its top left at
    // x, y, over whatever is there.
    void SetTextColor(COLORREF color);
    void TextOut(int x, int y, const QString& text);
    // The width and height that text takes in TextOut.
    QSize GetTextExtent(const QString& text) const;
    // FALSE for a raster operation other than SRCCOPY or nothing to copy.
    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int xSource, int ySource, DWORD rop);

protected:
    // Starts drawing on device, with this DC's current objects and modes.
    void BeginPaint(QPaintDevice* device);

private:
    void ApplyBackground();
    void ApplyViewport();

    QPainter m_painter;
    bool m_memory = false;
    // What a new DC holds before anything is selected into it.
    CBitmap m_stockBitmap;
    CPen m_stockPen;
    CBrush m_stockBrush;
    CBitmap* m_bitmap = &m_stockBitmap;
    CPen* m_pen = &m_stockPen;
    CBrush* m_brush = &m_stockBrush;
    int m_bkMode = OPAQUE;
    COLORREF m_bkColor = RGB(255, 255, 255);
    COLORREF m_textColor = RGB(0, 0, 0);
    QPoint m_viewportOrigin;
    QPoint m_position;
};

// Draws on a window's client area; made only in the window's OnPaint.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
};
