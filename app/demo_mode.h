// The built-in demonstration: a simulated engine controller on a
// pseudo-terminal inside the tool, and the headless run that presses
// "Run Test" by itself and keeps a picture of the finished capture.
#pragma once

#include <QElapsedTimer>
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
//
// It waits countWaitMs for the controller's byte count, then as long as the
// announced log takes to fetch (FetchAllowanceMs).
class SnapshotRun {
public:
    static constexpr int kDefaultCountWaitMs = 2 * 60 * 1000;

    SnapshotRun(CAnalyzerDlg& dialog, QString path, int countWaitMs = kDefaultCountWaitMs);
    void Arm();
    bool Succeeded() const { return m_succeeded; }
    QString Message() const { return m_message; }

    // The longest a fetch of the announced count may take: twice the time
    // its records take at one per tick, and half a minute more.
    static qint64 FetchAllowanceMs(int announcedBytes);

private:
    void Poll();
    // Empty while within the limits; otherwise what timed out.
    QString Overdue();
    void Finish(bool succeeded, const QString& message);

    CAnalyzerDlg& m_dialog;
    QString m_path;
    int m_countWaitMs;
    QElapsedTimer m_sinceClick;
    qint64 m_countSeenAtMs = -1;
    bool m_done = false;
    bool m_succeeded = false;
    QString m_message;
};
