// What the dialog adds while a fast fetch runs: a thin bar under the status
// line with the records fetched of those expected and the time left, and the
// next tick as soon as the dialog has handled its events, not at the next
// timer tick. Invisible and idle otherwise.
#pragma once

#include <functional>

class CDialog;
class QProgressBar;

class FastFetchProgress {
public:
    // Puts the hidden bar under the dialog's status line; tick is what the
    // dialog's timer does.
    void Create(CDialog& dialog, std::function<void()> tick);
    // Called after every tick of the test run.
    void AfterTick();
    // True while the next tick is asked for and has not come yet.
    bool TickQueued() const { return m_tickQueued; }

private:
    QProgressBar* m_bar = nullptr;  // a child of the dialog
    std::function<void()> m_tick;
    bool m_tickQueued = false;
};
