#include "platform/wnd_testing.h"

#include "platform/wnd.h"
#include "window_widgets.h"

#include <QScrollBar>

// Create makes the client area and the scroll bar direct children of the
// window's widget; a window without them paints on its widget itself.
QWidget* ClientWidget(const CWnd& wnd)
{
    QWidget* widget = wnd.GetSafeWidget();
    if (!widget)
        return nullptr;
    for (QObject* child : widget->children()) {
        if (auto* client = dynamic_cast<platform::ClientArea*>(child))
            return client;
    }
    return widget;
}

QScrollBar* HorizontalScrollBar(const CWnd& wnd)
{
    QWidget* widget = wnd.GetSafeWidget();
    return widget ? widget->findChild<QScrollBar*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}
