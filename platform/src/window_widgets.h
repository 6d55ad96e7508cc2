// The Qt objects behind a CWnd: the widget that paints its client area, the
// filter that turns timer and posted-message events into handler calls, and
// the event that carries a posted message.
#pragma once

#include "platform/wnd.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

namespace platform {

class PostedMessageEvent : public QEvent {
public:
    PostedMessageEvent(UINT msg, WPARAM w, LPARAM l) : QEvent(eventType()), message(msg), wParam(w), lParam(l) {}
    static QEvent::Type eventType();

    const UINT message;
    const WPARAM wParam;
    const LPARAM lParam;
};

class WindowEventSink : public QObject {
public:
    explicit WindowEventSink(CWnd* owner);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CWnd* m_owner;
};

class ClientArea : public QWidget {
public:
    ClientArea(CWnd* owner, QWidget* parent);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    CWnd* m_owner;
};

}  // namespace platform
