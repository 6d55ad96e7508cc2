#include "chart_view_actions.h"

#include "chart/chart_wnd.h"
#include "tooth_time_view.h"
#include "trigger_view.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include <functional>

namespace dentora {
namespace {

// A press of a zoom key or menu entry: twice as near, or as far.
constexpr double kZoomStep = 2.0;

void AddShortcutEntry(QMenu& menu, QWidget* owner, const QString& text, const QList<QKeySequence>& keys,
                      std::function<void()> handler)
{
    QAction* action = menu.addAction(text, owner, std::move(handler));
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    owner->addAction(action);
}

QAction* AddSwitch(QMenu& menu, QWidget* owner, const QString& text, bool on, std::function<void(bool)> handler)
{
    QAction* action = menu.addAction(text);
    action->setCheckable(true);
    action->setChecked(on);
    QObject::connect(action, &QAction::toggled, owner, std::move(handler));
    return action;
}

}  // namespace

void AddChartViewActions(QMenu& menu, TriggerView& view, QWidget* owner)
{
    CChartWnd& chart = view.Chart();
    AddShortcutEntry(menu, owner, QStringLiteral("Zoom in"),
                     {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                     [&chart] { chart.ZoomAroundCentre(kZoomStep); });
    AddShortcutEntry(menu, owner, QStringLiteral("Zoom out"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
                     [&chart] { chart.ZoomAroundCentre(1.0 / kZoomStep); });
    AddShortcutEntry(menu, owner, QStringLiteral("Whole capture"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
                     [&chart] { chart.ZoomToWhole(); });
    AddShortcutEntry(menu, owner, QStringLiteral("Usual scale (1,000 units)"), {QKeySequence(Qt::CTRL | Qt::Key_1)},
                     [&chart] { chart.ZoomToUsual(); });
    AddSwitch(menu, owner, QStringLiteral("Time ruler"), chart.TimeRulerShown() != FALSE,
              [&chart](bool shown) { chart.ShowTimeRuler(shown ? TRUE : FALSE); });
    AddSwitch(menu, owner, QStringLiteral("Expected wheel"), view.ExpectedWheelShown(),
              [&view](bool shown) { view.SetExpectedWheelShown(shown); });
    menu.addAction(QStringLiteral("Tooth times\u2026"), owner, [&view, owner] { ShowToothTimes(view, owner); });
}

}  // namespace dentora
