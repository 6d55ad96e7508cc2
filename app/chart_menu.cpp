#include "chart_menu.h"

#include "platform/wnd.h"

#include <QWidget>

ChartMenu::ChartMenu(CWnd* owner, CWnd* chart) : QMenu(owner->GetSafeWidget()), m_owner(owner->GetSafeWidget())
{
    QWidget* chartWidget = chart->GetSafeWidget();
    chartWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(chartWidget, &QWidget::customContextMenuRequested, this,
                     [this, chartWidget](const QPoint& at) { popup(chartWidget->mapToGlobal(at)); });
}

QAction* ChartMenu::AddEntry(const QString& text, std::function<void()> handler, const QKeySequence& shortcut)
{
    QAction* action = addAction(text);
    QObject::connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        m_owner->addAction(action);
    }
    return action;
}
