#include "dialog_driver.h"

#include "capture/test_run.h"
#include "fresh_state.h"
#include "res/resource.h"
#include "serial/serial_link.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimerEvent>

DialogDriver::DialogDriver()
{
    ResetProcessState();
    m_dialog = std::make_unique<CAnalyzerDlg>();
    if (!m_dialog->CreateModeless())
        return;
    m_status = qobject_cast<QLineEdit*>(m_dialog->GetDlgItem(IDC_STATUS)->GetSafeWidget());
    m_runButton = qobject_cast<QPushButton*>(m_dialog->GetDlgItem(IDC_RUN_TEST)->GetSafeWidget());
    m_portBox = qobject_cast<QComboBox*>(m_dialog->GetDlgItem(IDC_COMPORT)->GetSafeWidget());
    const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(m_dialog->GetSafeWidget());
    // The dialog runs exactly one timer, the one that steps the test run.
    if (m_status && m_runButton && m_portBox && timers.size() == 1)
        m_timerId = timers.front().timerId;
}

DialogDriver::~DialogDriver()
{
    CloseCommPort();
    m_dialog.reset();
    ResetProcessState();
}

void DialogDriver::Tick()
{
    QTimerEvent tick(m_timerId);
    QCoreApplication::sendEvent(m_dialog->GetSafeWidget(), &tick);
    QCoreApplication::processEvents();
}

bool DialogDriver::TickUntilIdle(int mostTicks)
{
    for (int ticks = 0; g_nTestState != kIdle; ++ticks) {
        if (ticks == mostTicks)
            return false;
        Tick();
    }
    return true;
}

void DialogTest::SetUp()
{
    m_driver = std::make_unique<DialogDriver>();
    ASSERT_TRUE(m_driver->Opened());
    m_status = m_driver->status();
    m_button = m_driver->runButton();
    m_portList = m_driver->portBox();
    QObject::connect(m_status, &QLineEdit::textChanged, m_status, [this](const QString& text) { OnStatusShown(text); });
}
