// A window object in the classic sense: a plain C++ object that can exist
// before the application (and so be a global), and whose real widget is made
// by Create. Window messages arrive as calls of the virtual handlers below.
#pragma once

#include "platform/wintypes.h"

#include <QString>

#include <map>
#include <optional>

class QWidget;
class QScrollBar;
class QWheelEvent;
class CScrollBar;  // never defined: the scroll handler's bar argument is unused

namespace platform {
class WindowEventSink;
class ClientArea;
}  // namespace platform

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Makes the real widget as a child of parent, at rect (parent client
    // coordinates). WS_VISIBLE shows it; WS_HSCROLL gives it a horizontal
    // scroll bar along its bottom edge, outside the client area; WS_TABSTOP
    // lets Tab and a click give it the keyboard, which it shows with a focus
    // frame round its client area; Return there goes no further (it does
    // not press a dialog's default button). Fails, and
    // makes nothing, without a parent window.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT controlId);

    // Makes this object stand for an existing widget (a dialog's control).
    void Attach(QWidget* widget, CWnd* parent, UINT controlId);

    // The widget, or null while the window does not exist.
    QWidget* GetSafeWidget() const { return m_widget; }
    bool IsWindow() const { return m_widget != nullptr; }
    CWnd* GetParent() const { return m_widget ? m_parent : nullptr; }
    UINT GetDlgCtrlID() const { return m_controlId; }

    // The whole client area is repainted later, through OnPaint.
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE);
    void Invalidate(BOOL erase = TRUE) { InvalidateRect(nullptr, erase); }
    void GetClientRect(RECT* rect) const;
    // Moves and sizes the window; parent client coordinates for a child.
    void MoveWindow(int x, int y, int width, int height);
    void GetWindowRect(RECT* screenRect) const;
    void ScreenToClient(RECT* rect) const;

    // Windows' meaning of a page: the highest position the thumb reaches is
    // nMax - nPage + 1. Returns the new position.
    int SetScrollInfo(int bar, const SCROLLINFO* info, BOOL redraw = TRUE);
    BOOL GetScrollInfo(int bar, SCROLLINFO* info) const;

    // Queues the message; it reaches this window's OnMessage later, through
    // the event loop. FALSE when the window does not exist.
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // A visible control repaints with its new text before this returns. A
    // window without a widget keeps its text, so that a program without
    // windows (the command-line tool) can stand such windows in for controls.
    void SetWindowText(const QString& text);
    QString GetWindowText() const;
    // The text shown when the pointer rests on the window; empty for none.
    void SetToolTipText(const QString& text);

    // A repeating timer whose ticks arrive as OnTimer(id); 0 on failure.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    BOOL KillTimer(UINT_PTR id);

    // Moves the horizontal scroll bar's thumb to position (held within the
    // bar's range) as the user dragging it there and letting go would:
    // OnHScroll hears of it the same way. Nothing without a scroll bar.
    void PlaceScrollThumb(int position);

protected:
    // The message map: a window overrides the messages it handles.
    virtual void OnPaint() {}
    virtual void OnHScroll(UINT code, UINT position, CScrollBar* scrollBar);
    // A key pressed while the client area has the keyboard: key is one of
    // the VK_ codes, repeatCount 1 or more; flags are unused. Only the keys
    // OnGetDlgCode asks for arrive (without Ctrl or Alt); the rest go on to
    // the dialog (Escape, Enter, shortcuts).
    virtual void OnKeyDown(UINT key, UINT repeatCount, UINT flags);
    // DLGC_ bits; DLGC_WANTARROWS unless a window wants more.
    virtual UINT OnGetDlgCode();
    // The left button and the pointer over the client area: flags are MK_
    // bits, point in client coordinates. A move arrives with or without a
    // button held.
    virtual void OnLButtonDown(UINT flags, CPoint point);
    virtual void OnMouseMove(UINT flags, CPoint point);
    virtual void OnLButtonUp(UINT flags, CPoint point);
    // The wheel over the client area, delta in 120ths of a notch; FALSE
    // leaves it to the windows below.
    virtual BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
    // The window's new client size, after it changed; type is unused.
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnTimer(UINT_PTR id);
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The pointer rests on the client area at point: the tooltip to show
    // there, empty for none. Unanswered (the default), the window's own
    // tooltip text shows.
    virtual std::optional<QString> OnToolTipNeeded(CPoint point);

    // Takes ownership of a widget made by a derived class (a dialog).
    void AdoptWidget(QWidget* widget, CWnd* parent);
    // Called when the widget is destroyed from outside (with its parent).
    void ForgetWidget();

private:
    friend class platform::WindowEventSink;
    friend class platform::ClientArea;
    friend class CPaintDC;

    // The widget painted through OnPaint: the client area, or the whole
    // widget of a window that has none of its own (a dialog, a control).
    QWidget* ClientWidget() const;

    void DispatchScrollAction(int action);
    void DispatchThumbPlaced(int value);
    void DispatchScrollWheel(const QWheelEvent& event);
    void RestoreScrollPosition();
    void DispatchTimer(int qtTimerId);

    QWidget* m_widget = nullptr;
    platform::ClientArea* m_client = nullptr;
    QScrollBar* m_hScrollBar = nullptr;
    platform::WindowEventSink* m_sink = nullptr;
    CWnd* m_parent = nullptr;
    UINT m_controlId = 0;
    bool m_ownsWidget = false;
    SCROLLINFO m_scrollInfo;
    // Wheel turned but not yet a whole line, in eighths of a degree times lines.
    int m_wheelLines = 0;
    static constexpr int kWheelNotch = 120;
    std::map<int, UINT_PTR> m_timers;  // Qt's timer id -> ours
    QString m_text;                    // the text while there is no widget
};

// Message box buttons and icon, and the answers besides IDOK and IDCANCEL.
constexpr UINT MB_OK = 0x00;
constexpr UINT MB_YESNO = 0x04;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows a modal message box owned by owner, with the application's name as
// its caption and the buttons type asks for. Returns the button pressed
// (IDOK for MB_OK; IDYES or IDNO for MB_YESNO, IDNO also for Escape). With
// a message sink set, the text goes to the sink instead, no box is shown
// and the answer is IDOK or IDNO.
int AfxMessageBox(CWnd* owner, const QString& text, UINT type = MB_OK);

// Where message boxes go in a program without windows; null shows boxes again.
using AfxMessageSink = void (*)(const QString& text);
void AfxSetMessageSink(AfxMessageSink sink);

// The application's name: the application object's m_pszAppName, or
// without one the executable's file name without its extension.
QString AfxGetAppName();
