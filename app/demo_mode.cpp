#include "demo_mode.h"

#include "analyzer_dlg.h"
#include "capture/test_run.h"
#include "res/resource.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#ifdef DENTORA_HAVE_SIMULATOR
#include "simulator/pty_controller.h"

#include <exception>
#endif

namespace {
constexpr int kPollIntervalMs = 200;
constexpr qint64 kTickMs = 100;
constexpr qint64 kFetchSlackMs = 30 * 1000;

QString Status()
{
    return g_pStatus->GetWindowText();
}
}  // namespace

struct DemoController::Impl {
#ifdef DENTORA_HAVE_SIMULATOR
    std::unique_ptr<dentora::sim::PtyController> controller;
#endif
};

DemoController::DemoController() : m_impl(std::make_unique<Impl>()) {}

DemoController::~DemoController() = default;

QString DemoController::Start(QString* error)
{
#ifdef DENTORA_HAVE_SIMULATOR
    try {
        dentora::sim::ControllerConfig config;
        // A 36-1 wheel at a fast idle, and a log that takes about half a
        // minute to fetch at one record per tick.
        config.engine.rpm = 1500.0;
        config.engine.teeth = 36;
        config.engine.missingTeeth = 1;
        config.records = 160;
        config.acknowledgeDelay = std::chrono::milliseconds(700);
        m_impl->controller = std::make_unique<dentora::sim::PtyController>(config);
        return QString::fromStdString(m_impl->controller->Start());
    } catch (const std::exception& failure) {
        m_impl->controller.reset();
        *error = QString::fromLocal8Bit(failure.what());
        return QString();
    }
#else
    *error = QStringLiteral("the built-in demo controller needs pseudo-terminals, which this system lacks");
    return QString();
#endif
}

SnapshotRun::SnapshotRun(CAnalyzerDlg& dialog, QString path, int countWaitMs)
    : m_dialog(dialog), m_path(std::move(path)), m_countWaitMs(countWaitMs)
{
}

qint64 SnapshotRun::FetchAllowanceMs(int announcedBytes)
{
    // One record per tick.
    return 2 * qint64(RecordsToFetch(announcedBytes)) * kTickMs + kFetchSlackMs;
}

void SnapshotRun::Arm()
{
    QTimer::singleShot(0, [this] {
        // Polling starts first: a message box the click opens must not wait
        // for a user who is not there.
        QTimer::singleShot(kPollIntervalMs, [this] { Poll(); });
        auto* runButton = qobject_cast<QPushButton*>(m_dialog.GetDlgItem(IDC_RUN_TEST)->GetSafeWidget());
        m_sinceClick.start();
        runButton->click();
    });
}

void SnapshotRun::Poll()
{
    if (m_done)
        return;
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        const QString text = box->text();
        box->done(QMessageBox::Ok);
        Finish(false, text);
        return;
    }
    if (g_nTestState == kIdle) {
        const dentora::CaptureLog& log = CurrentCaptureLog();
        if (log.outcome != dentora::TestOutcome::kFinished) {
            Finish(false, QStringLiteral("the capture did not finish (\"%1\"). %2").arg(Status(), TestEndingText(log)));
            return;
        }
        QWidget* window = m_dialog.GetSafeWidget();
        if (!window->grab().save(m_path, "PNG")) {
            Finish(false, QStringLiteral("cannot write %1").arg(m_path));
            return;
        }
        Finish(true, m_path);
        return;
    }
    const QString overdue = Overdue();
    if (!overdue.isEmpty()) {
        Finish(false, overdue);
        return;
    }
    QTimer::singleShot(kPollIntervalMs, [this] { Poll(); });
}

QString SnapshotRun::Overdue()
{
    const qint64 elapsed = m_sinceClick.elapsed();
    if (g_nTestState < kFetch) {
        if (elapsed <= m_countWaitMs)
            return QString();
        return QStringLiteral("no byte count came from the controller within %1 s of \"Run Test\" (\"%2\")")
            .arg(m_countWaitMs / 1000.0)
            .arg(Status());
    }
    if (m_countSeenAtMs < 0)
        m_countSeenAtMs = elapsed;
    const dentora::CaptureLog& log = CurrentCaptureLog();
    const qint64 allowance = FetchAllowanceMs(log.announcedBytes);
    if (elapsed - m_countSeenAtMs <= allowance)
        return QString();
    return QStringLiteral("the fetch of the %1 bytes announced did not end within %2 s (%3 records fetched, \"%4\")")
        .arg(log.announcedBytes)
        .arg(allowance / 1000.0)
        .arg(log.records.size())
        .arg(Status());
}

void SnapshotRun::Finish(bool succeeded, const QString& message)
{
    m_done = true;
    m_succeeded = succeeded;
    m_message = message;
    m_dialog.EndDialog(succeeded ? IDOK : IDCANCEL);
}
