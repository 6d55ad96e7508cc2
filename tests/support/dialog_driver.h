// The real main dialog, made and shown headless as the tool starts it, with
// its controls at hand and its timer ticked as fast as a test wants.
#pragma once

#include "analyzer_dlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

class DialogDriver {
public:
    // Starts from a freshly started process state; check Opened() after.
    DialogDriver();
    ~DialogDriver();

    bool Opened() const { return m_timerId != 0; }
    CAnalyzerDlg& dialog() { return *m_dialog; }
    QLineEdit* status() const { return m_status; }
    QPushButton* runButton() const { return m_runButton; }
    QComboBox* portBox() const { return m_portBox; }

    // One tick of the dialog's own timer, then what the event loop would do
    // before the next one (paints, the chart's messages).
    void Tick();
    // Ticks until the test run is idle; false if it is not within mostTicks.
    bool TickUntilIdle(int mostTicks = 20000);

private:
    std::unique_ptr<CAnalyzerDlg> m_dialog;
    QLineEdit* m_status = nullptr;
    QPushButton* m_runButton = nullptr;
    QComboBox* m_portBox = nullptr;
    int m_timerId = 0;
};

// A test of the dialog: the driver made afresh for each test, and every
// status line the test run shows handed to OnStatusShown.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { m_driver.reset(); }
    virtual void OnStatusShown(const QString& status) = 0;

    void Tick() { m_driver->Tick(); }

    std::unique_ptr<DialogDriver> m_driver;
    QLineEdit* m_status = nullptr;
    QPushButton* m_button = nullptr;
    QComboBox* m_portList = nullptr;
};
