// The main dialog: port selector, "Run Test", status line, the chart and
// the buttons that change the chart's looks.
#pragma once

#include "fast_fetch_progress.h"
#include "platform/dialog.h"
#include "trigger_view.h"

#include <QIcon>
#include <QSize>

class ChartMenu;

class CAnalyzerDlg : public CDialog {
public:
    explicit CAnalyzerDlg(CWnd* parent = nullptr);

    // A device to show in the port box at start-up instead of "COM1".
    void SetInitialPortText(const QString& device) { m_initialPortText = device; }
    // The chart's context menu, once the dialog exists; add entries to it.
    ChartMenu* chartMenu() const { return m_chartMenu; }

    // The trigger analysis of the last ended capture, its marks and tooltips.
    dentora::TriggerView& Trigger() { return m_trigger; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(UINT controlId, UINT notifyCode) override;
    void OnTimer(UINT_PTR id) override;
    // Exit, Escape and the close box: at once, unless a test runs or a
    // fetched capture is not saved, and the user does not want it lost.
    void OnOK() override;
    void OnCancel() override;
    // Places the controls for the new client size (analyzer_dlg_layout.cpp).
    void OnSize(UINT type, int cx, int cy) override;

    void OnRunTest();
    void OnPortListDropDown();

    void OnBkColor();
    void OnGridToggle();
    void OnCrankColor();
    void OnCamColor();

private:
    void SetUpPortList();
    void CreateChart();
    void CreateChartMenu();

    void PickLineColor(UINT lineId);
    bool MayClose();
    // The window's title names the capture file on the chart, if any.
    void ShowCaptureFileInTitle();
    // The smallest the client area may be: the chart's least height, and
    // room for the widest control above it.
    QSize MinimumClientSize() const;
    void UpdatePortBoxToolTip();

    QIcon m_hIcon;
    QString m_initialPortText;
    bool m_noSerialDevice = false;
    FastFetchProgress m_fastFetchProgress;
    ChartMenu* m_chartMenu = nullptr;  // owned by the dialog's widget
    dentora::TriggerView m_trigger;
};

// The dialog's own copy of the grid state; 1 while the grid is shown.
extern int g_nGridOn;
