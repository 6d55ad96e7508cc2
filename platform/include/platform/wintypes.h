// The handful of window-system types, constants and macros the tool is
// written against. They keep their familiar names and values so that the
// chart's arithmetic and the dialog's identifiers read the same on every
// system; everything behind them runs on Qt.
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using UINT_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// 0x00BBGGRR, as the colour pickers and the chart store it.
using COLORREF = DWORD;
constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue)
{
    return COLORREF(red) | (COLORREF(green) << 8) | (COLORREF(blue) << 16);
}
constexpr BYTE GetRValue(COLORREF c)
{
    return BYTE(c & 0xFF);
}
constexpr BYTE GetGValue(COLORREF c)
{
    return BYTE((c >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF c)
{
    return BYTE((c >> 16) & 0xFF);
}

struct RECT {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct CPoint {
    int x = 0;
    int y = 0;
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const CPoint& o) const { return !(*this == o); }
};

constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_TABSTOP = 0x00010000;

// Virtual-key codes of the keys a window may handle in OnKeyDown.
constexpr UINT VK_PRIOR = 0x21;  // Page Up
constexpr UINT VK_NEXT = 0x22;   // Page Down
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_OEM_4 = 0xDB;  // [ on a US keyboard
constexpr UINT VK_OEM_6 = 0xDD;  // ] on a US keyboard
// Digits and letters are their upper-case ASCII codes, '0' to '9', 'A' to 'Z'.

// Mouse handlers' flags: the buttons held and the modifiers down.
constexpr UINT MK_LBUTTON = 0x0001;
constexpr UINT MK_SHIFT = 0x0004;
constexpr UINT MK_CONTROL = 0x0008;

// What OnGetDlgCode says a window wants of the keyboard beyond Tab.
constexpr UINT DLGC_WANTARROWS = 0x0001;   // the arrows, Page Up and Page Down
constexpr UINT DLGC_WANTCHARS = 0x0080;    // digits, letters and [ ]
constexpr UINT DLGC_WANTALLKEYS = 0x0004;  // Escape too

constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;

// Scroll bars: which bar, what the user did with it, and what a SCROLLINFO sets.
constexpr int SB_HORZ = 0;

constexpr UINT SB_LINELEFT = 0;
constexpr UINT SB_LINERIGHT = 1;
constexpr UINT SB_PAGELEFT = 2;
constexpr UINT SB_PAGERIGHT = 3;
constexpr UINT SB_THUMBPOSITION = 4;
constexpr UINT SB_THUMBTRACK = 5;
constexpr UINT SB_LEFT = 6;
constexpr UINT SB_RIGHT = 7;
constexpr UINT SB_ENDSCROLL = 8;

constexpr UINT SIF_RANGE = 0x01;
constexpr UINT SIF_PAGE = 0x02;
constexpr UINT SIF_POS = 0x04;
constexpr UINT SIF_TRACKPOS = 0x10;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

struct SCROLLINFO {
    UINT cbSize = sizeof(SCROLLINFO);
    UINT fMask = 0;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};

// Messages a window may post to another; numbers from WM_USER up are the
// application's own.
constexpr UINT WM_USER = 0x0400;

// Dialog results and the standard command ids.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
// The help command (F1), routed to the application's OnHelp.
constexpr UINT ID_HELP = 0xE146;
