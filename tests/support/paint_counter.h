// Counts the paints a widget receives, to tell which operations repaint.
#pragma once

#include <QEvent>
#include <QObject>

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
