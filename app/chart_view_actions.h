// The chart's view entries of its context menu: zoom (with their
// shortcuts, which work anywhere in the dialog), the time ruler, the
// expected wheel and the tooth-time window.
#pragma once

class QMenu;
class QWidget;

namespace dentora {

class TriggerView;

// "Zoom in" (Ctrl++), "Zoom out" (Ctrl+-), "Whole capture" (Ctrl+0),
// "Usual scale" (Ctrl+1), "Time ruler" and "Expected wheel" (switches,
// off), "Tooth times…"; owner: the window the shortcuts and the window
// belong to.
void AddChartViewActions(QMenu& menu, TriggerView& view, QWidget* owner);

}  // namespace dentora
