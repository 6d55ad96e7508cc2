// The dialog's side of the test run: the button, the timer and the port list.
#include "analyzer_dlg.h"

#include "capture/test_run.h"
#include "res/resource.h"
#include "serial/serial_link.h"

#include <QWidget>

void CAnalyzerDlg::OnRunTest()
{
    const auto* portList = GetDlgItemAs<CComboBox>(IDC_COMPORT);
    RunTestClicked(this, portList->GetCurSel(), portList->GetTypedText());
}

void CAnalyzerDlg::OnTimer(UINT_PTR)
{
    // The tick already on its way does the work: two back to back would
    // hold the dialog twice as long.
    if (m_fastFetchProgress.TickQueued())
        return;
    TestRunTick(this);
    m_fastFetchProgress.AfterTick();
    // Once the capture has ended, its analysis; forgotten when the next starts.
    m_trigger.FollowCapture(CurrentCaptureLog());
    ShowCaptureFileInTitle();
}

// Devices come and go (USB adapters), so the list is read each time it opens.
void CAnalyzerDlg::OnPortListDropDown()
{
    auto* portList = GetDlgItemAs<CComboBox>(IDC_COMPORT);
    const auto devices = PortListDevices();
    m_noSerialDevice = true;
    for (int index = 0; index < kPortListSize; ++index) {
        const auto& device = devices[std::size_t(index)];
        if (!device) {
            portList->SetItemToolTip(index, QStringLiteral("No serial device for COM%1").arg(index + 1));
            continue;
        }
        m_noSerialDevice = false;
        portList->SetItemToolTip(index,
                                 device->description.isEmpty()
                                     ? device->path
                                     : QStringLiteral("%1 \u2014 %2").arg(device->path, device->description));
    }
    UpdatePortBoxToolTip();
}

// The box is narrow: its tooltip shows the whole text, and says when there
// is no device to pick.
void CAnalyzerDlg::UpdatePortBoxToolTip()
{
    auto* portList = GetDlgItemAs<CComboBox>(IDC_COMPORT);
    QString tip = portList->GetWindowText();
    if (m_noSerialDevice)
        tip += QStringLiteral("\nNo serial device is present: plug in an adapter, or type a device path");
    portList->GetSafeWidget()->setToolTip(tip.trimmed());
}
