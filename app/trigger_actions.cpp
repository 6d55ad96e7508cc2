#include "trigger_actions.h"

#include "trigger_report_window.h"
#include "trigger_view.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>

namespace dentora {

void AddAnalysisActions(QMenu& menu, TriggerView& view, QWidget* owner)
{
    menu.addAction(QStringLiteral("Trigger report\u2026"), owner, [&view, owner] { ShowTriggerReport(view, owner); });
    QAction* marks = menu.addAction(QStringLiteral("Anomaly marks"));
    marks->setCheckable(true);
    marks->setChecked(view.MarksShown());
    QObject::connect(marks, &QAction::toggled, owner, [&view](bool shown) { view.SetMarksShown(shown); });
    menu.addAction(QStringLiteral("Tick length\u2026"), owner, [&view, owner] { AskTickLength(view, owner); });
}

void AskTickLength(TriggerView& view, QWidget* owner)
{
    constexpr double kMostMicros = 1e6;
    bool accepted = false;
    const double micros =
        QInputDialog::getDouble(owner, QStringLiteral("Tick Length"),
                                QStringLiteral("Microseconds per tick of the controller's counts, for this run\n"
                                               "(0: unknown; engine speeds are shown only when it is known):"),
                                view.TickMicros().value_or(0.0), 0.0, kMostMicros, 3, &accepted);
    if (!accepted)
        return;
    view.SetTickMicros(micros > 0.0 ? std::optional<double>(micros) : std::nullopt);
}

}  // namespace dentora
