// The checkable "Fast fetch" entry for the chart's context menu.
#pragma once

class QAction;
class QObject;

// Checked while fast fetch is on; toggling it turns fast fetch on or off at
// the next tick, keeping the depth. Owned by parent.
QAction* MakeFastFetchAction(QObject* parent);
