// The chart's context menu: what can be done with the capture beyond the
// dialog's buttons. The dialog makes it; anyone may add entries, and an
// entry with a shortcut works anywhere in the dialog, menu shown or not.
#pragma once

#include <QKeySequence>
#include <QMenu>

#include <functional>

class CWnd;

class ChartMenu : public QMenu {
public:
    // Opens on a right click on chart; owned by owner's widget.
    ChartMenu(CWnd* owner, CWnd* chart);

    // An entry that calls handler when chosen (make it checkable through
    // the action returned, if it is a switch).
    QAction* AddEntry(const QString& text, std::function<void()> handler, const QKeySequence& shortcut = {});

private:
    QWidget* m_owner;
};

// Draws the capture in path on the chart, or says in a message box owned by
// owner why not, leaving the chart as it was: Open capture... once a file is chosen.
void OpenCaptureOrSayWhy(CWnd* owner, const QString& path);

// Open capture..., Save capture..., Export VCD..., Export CSV..., Save image...
void AddCaptureFileEntries(ChartMenu* menu, CWnd* owner);
