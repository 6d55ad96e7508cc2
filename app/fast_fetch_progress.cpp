#include "fast_fetch_progress.h"

#include "capture/fetch_options.h"
#include "platform/dialog.h"
#include "res/resource.h"

#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace {
// Gap between the status line and the bar, and how much lower the bar is.
constexpr int kGapPx = 3;
constexpr int kThinnerPx = 4;
constexpr int kPromptTickMs = 1;
}  // namespace

void FastFetchProgress::Create(CDialog& dialog, std::function<void()> tick)
{
    m_tick = std::move(tick);
    const QWidget* status = dialog.GetDlgItem(IDC_STATUS)->GetSafeWidget();
    m_bar = new QProgressBar(dialog.GetSafeWidget());
    const QRect line = status->geometry();
    m_bar->setGeometry(line.left(), line.bottom() + 1 + kGapPx, line.width(), line.height() - kThinnerPx);
    m_bar->setTextVisible(true);
    m_bar->setAlignment(Qt::AlignCenter);
    m_bar->hide();
}

void FastFetchProgress::AfterTick()
{
    if (!m_bar)
        return;
    const dentora::FetchProgress progress = dentora::CurrentFetchProgress();
    const bool show = progress.fetching && dentora::CurrentFetchOptions().fast;
    if (show) {
        m_bar->setRange(0, progress.recordsExpected);
        m_bar->setValue(progress.recordsFetched);
        QString text = QStringLiteral("%1 of %2 records").arg(progress.recordsFetched).arg(progress.recordsExpected);
        if (progress.secondsLeft >= 0)
            text += QStringLiteral(", %1 s left").arg(progress.secondsLeft);
        m_bar->setFormat(text);
    }
    m_bar->setVisible(show);
    if (dentora::TestRunWantsTickSoon() && !m_tickQueued) {
        m_tickQueued = true;
        // A timer rather than a posted call: timers already due (the
        // dialog's own) come first, and then the event loop turns again.
        QTimer::singleShot(kPromptTickMs, Qt::PreciseTimer, m_bar, [this] {
            m_tickQueued = false;
            m_tick();
        });
    }
}
