// The trigger analysis's entries for the chart's context menu: the report
// window, the switch for the anomaly marks and the tick length.
#pragma once

class QMenu;
class QWidget;

namespace dentora {

class TriggerView;

// Adds "Trigger report…", "Anomaly marks" (a switch, on) and "Tick
// length…" to menu; owner: the window the report and the question belong to.
void AddAnalysisActions(QMenu& menu, TriggerView& view, QWidget* owner);

// Asks for the µs per tick of this run (0 for unknown) and applies it;
// nothing changes when the question is cancelled.
void AskTickLength(TriggerView& view, QWidget* owner);

}  // namespace dentora
