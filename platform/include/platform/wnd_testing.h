// Test hooks: the Qt widgets behind a window, for tests, benchmarks and the
// screenshot driver that click, grab and watch them as a user's input and
// the screen would. Product code reaches a window through CWnd alone and
// never includes this header.
#pragma once

class CWnd;
class QScrollBar;
class QWidget;

// The widget painted through OnPaint: the client area of a window made by
// Create, otherwise the window's own widget; null while there is none.
QWidget* ClientWidget(const CWnd& wnd);
// The bar WS_HSCROLL gave the window, or null.
QScrollBar* HorizontalScrollBar(const CWnd& wnd);
