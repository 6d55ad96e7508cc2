// The dialog's side of the test run: the button, the timer and the port list.
#include "analyzer_dlg.h"

#include "capture/test_run.h"
#include "res/resource.h"

void CAnalyzerDlg::OnRunTest()
{
    const auto* portList = GetDlgItemAs<CComboBox>(IDC_COMPORT);
    RunTestClicked(this, portList->GetCurSel(), portList->GetTypedText());
}

void CAnalyzerDlg::OnTimer(UINT_PTR)
{
    TestRunTick(this);
}

void CAnalyzerDlg::OnPortListDropDown() {}
