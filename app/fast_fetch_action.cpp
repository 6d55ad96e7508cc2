#include "fast_fetch_action.h"

#include "capture/fetch_options.h"

#include <QAction>

QAction* MakeFastFetchAction(QObject* parent)
{
    auto* action = new QAction(QStringLiteral("Fast fetch"), parent);
    action->setCheckable(true);
    action->setChecked(dentora::CurrentFetchOptions().fast);
    action->setToolTip(QStringLiteral("Fetch the log with up to %1 requests ahead of their answers")
                           .arg(dentora::CurrentFetchOptions().ahead));
    QObject::connect(action, &QAction::toggled, [](bool on) {
        dentora::FetchOptions options = dentora::CurrentFetchOptions();
        options.fast = on;
        dentora::SetFetchOptions(options);
    });
    return action;
}
