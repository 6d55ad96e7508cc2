// The main dialog: port selector, "Run Test", status line, the chart and
// the buttons that change the chart's looks.
#pragma once

#include "platform/dialog.h"

#include <QIcon>

class CAnalyzerDlg : public CDialog {
public:
    explicit CAnalyzerDlg(CWnd* parent = nullptr);

    // A device to show in the port box at start-up instead of "COM1".
    void SetInitialPortText(const QString& device) { m_initialPortText = device; }

protected:
    BOOL OnInitDialog() override;
    void OnCommand(UINT controlId, UINT notifyCode) override;
    void OnTimer(UINT_PTR id) override;

    void OnRunTest();
    void OnPortListDropDown();

    void OnBkColor();
    void OnGridToggle();
    void OnCrankColor();
    void OnCamColor();

private:
    void PickLineColor(UINT lineId);

    QIcon m_hIcon;
    QString m_initialPortText;
};

// The dialog's own copy of the grid state; 1 while the grid is shown.
extern int g_nGridOn;
