// The built-in demonstration: a simulated engine controller on a
// pseudo-terminal inside the tool, and the headless run that presses
// "Run Test" by itself and keeps a picture of the finished capture.
#pragma once

#include <QString>

#include <memory>

class CAnalyzerDlg;

class DemoController {
public:
    DemoController();
    ~DemoController();
    DemoController(const DemoController&) = delete;
    DemoController& operator=(const DemoController&) = delete;

    // Starts serving; returns the device to type into the port box, or an
    // empty string with the reason in *error.
    QString Start(QString* error);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// While the dialog runs: presses "Run Test", waits for the capture to end,
// writes a PNG of the whole dialog to path and closes the dialog. The result
// tells whether the capture finished and the picture was written.
class SnapshotRun {
public:
    SnapshotRun(CAnalyzerDlg& dialog, QString path);
    void Arm();
    bool Succeeded() const { return m_succeeded; }
    QString Message() const { return m_message; }

private:
    void Poll();
    void Finish(bool succeeded, const QString& message);

    CAnalyzerDlg& m_dialog;
    QString m_path;
    int m_polls = 0;
    bool m_done = false;
    bool m_succeeded = false;
    QString m_message;
};
