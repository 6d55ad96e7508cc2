// "Trigger Report": the wheel, revolutions, cam position, speed and the
// list of anomalies of the last ended capture; choosing an anomaly scrolls
// the chart to it. A window beside the dialog, kept up to date.
#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QListWidget;

namespace dentora {

class TriggerView;

class TriggerReportWindow : public QDialog {
public:
    TriggerReportWindow(TriggerView& view, QWidget* parent);

    // Reads the view's report again.
    void Refresh();

    QLabel* summary() const { return m_summary; }
    QListWidget* anomalies() const { return m_anomalies; }

private:
    void OnAnomalyChosen(int row);

    // The dialog's view, which goes before the dialog's widgets (and so
    // before this window) when the dialog closes.
    QPointer<TriggerView> m_view;
    QLabel* m_summary = nullptr;
    QLabel* m_anomalyHeading = nullptr;
    QListWidget* m_anomalies = nullptr;
};

// Shows the dialog's one report window, making it on first use. It opens
// beside the dialog, within the screen's available area, and never over the
// chart while any free part of the screen holds it.
TriggerReportWindow* ShowTriggerReport(TriggerView& view, QWidget* parent);

}  // namespace dentora
