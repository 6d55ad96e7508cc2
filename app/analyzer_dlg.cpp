#include "analyzer_dlg.h"

#include "capture/test_run.h"
#include "capture/trace_chart.h"
#include "chart/chart_wnd.h"
#include "chart_menu.h"
#include "chart_view_actions.h"
#include "fast_fetch_action.h"
#include "res/resource.h"
#include "serial/serial_link.h"
#include "trigger_actions.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>

CAnalyzerDlg::CAnalyzerDlg(CWnd* parent)
    : CDialog(g_analyzerDialogTemplate, parent), m_hIcon(LoadAppIcon()), m_trigger(g_chart)
{
}

BOOL CAnalyzerDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    // Every window of the tool carries it: message boxes, file dialogs, help.
    QApplication::setWindowIcon(m_hIcon);

    g_pRunButton = GetDlgItem(IDC_RUN_TEST);
    g_nComPort = 1;
    SetUpPortList();

    g_pStatus = GetDlgItem(IDC_STATUS);
    m_fastFetchProgress.Create(*this, [this] { OnTimer(1); });

    GetSafeWidget()->setMinimumSize(MinimumClientSize());
    CreateChart();
    CreateChartMenu();

    if (SetTimer(1, 100) == 0)
        AfxMessageBox(this, QStringLiteral("Error - Cannot Install Timer \nKill other useless Windows Apps"));

    return TRUE;
}

void CAnalyzerDlg::SetUpPortList()
{
    auto* portList = GetDlgItemAs<CComboBox>(IDC_COMPORT);
    for (int port = 1; port <= kPortListSize; ++port)
        portList->AddString(QStringLiteral("COM%1").arg(port));
    portList->SetCurSel(g_nComPort - 1);
    OnPortListDropDown();
    if (!m_initialPortText.isEmpty())
        portList->SetWindowText(m_initialPortText);
    QObject::connect(qobject_cast<QComboBox*>(portList->GetSafeWidget()), &QComboBox::editTextChanged,
                     portList->GetSafeWidget(), [this] { UpdatePortBoxToolTip(); });
    UpdatePortBoxToolTip();
}

void CAnalyzerDlg::CreateChart()
{
    // The chart covers the placeholder frame exactly.
    RECT chartRect;
    GetDlgItem(IDC_CHART_FRAME)->GetWindowRect(&chartRect);
    ScreenToClient(&chartRect);
    g_chart.Create(WS_VISIBLE | CWS_NOTIFY, chartRect, this, IDC_CHART_FRAME);
    m_trigger.Attach();

    dentora::SetUpTraceChart(g_chart);
}

void CAnalyzerDlg::CreateChartMenu()
{
    m_chartMenu = new ChartMenu(this, &g_chart);
    AddCaptureFileEntries(m_chartMenu, this);
    m_chartMenu->addSeparator();
    m_chartMenu->addAction(MakeFastFetchAction(m_chartMenu));
    m_chartMenu->addSeparator();
    dentora::AddChartViewActions(*m_chartMenu, m_trigger, GetSafeWidget());
    m_chartMenu->addSeparator();
    dentora::AddAnalysisActions(*m_chartMenu, m_trigger, GetSafeWidget());
}

void CAnalyzerDlg::OnCommand(UINT controlId, UINT notifyCode)
{
    if (controlId == UINT(IDC_COMPORT) && notifyCode == CBN_DROPDOWN) {
        OnPortListDropDown();
        return;
    }
    // Enter after typing a device starts the test, as "Run Test" does.
    if (controlId == UINT(IDC_COMPORT) && notifyCode == CBN_EDITRETURN) {
        OnRunTest();
        return;
    }
    if (notifyCode == BN_CLICKED) {
        switch (controlId) {
        case IDC_RUN_TEST: OnRunTest(); return;
        case IDC_BKCOLOR: OnBkColor(); return;
        case IDC_GRID_TOGGLE: OnGridToggle(); return;
        case IDC_CRANK_COLOR: OnCrankColor(); return;
        case IDC_CAM_COLOR: OnCamColor(); return;
        default: break;
        }
    }
    CDialog::OnCommand(controlId, notifyCode);
}

void CAnalyzerDlg::OnOK()
{
    if (MayClose())
        CDialog::OnOK();
}

void CAnalyzerDlg::OnCancel()
{
    if (MayClose())
        CDialog::OnCancel();
}

bool CAnalyzerDlg::MayClose()
{
    if (g_nTestState == kIdle) {
        // A capture read from a file or saved to one can be had again; an
        // empty one holds nothing to lose.
        const dentora::CaptureLog& capture = CurrentCaptureLog();
        return !capture.file.isEmpty() || capture.records.empty() ||
            AfxMessageBox(this, QStringLiteral("The capture has not been saved. Exit anyway?"),
                          MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    if (AfxMessageBox(this, QStringLiteral("A test is running. Halt it and exit?"), MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
        return false;
    CloseCommPort();
    return true;
}

void CAnalyzerDlg::ShowCaptureFileInTitle()
{
    const QString file = CurrentCaptureLog().file;
    const QString caption = QString::fromUtf8(g_analyzerDialogTemplate.caption);
    const QString title = file.isEmpty() ? caption : QStringLiteral("%1 - %2").arg(QFileInfo(file).fileName(), caption);
    if (GetWindowText() != title)
        SetWindowText(title);
}
