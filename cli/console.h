// Standard error as dentora-cli's console: status lines, one-line errors and
// the fetch progress, drawn as a bar on a terminal and as plain lines
// (every tenth of the records) when standard error is a file or a pipe.
#pragma once

#include <QElapsedTimer>
#include <QString>

namespace dentora {

class Console {
public:
    Console();

    void Status(const QString& line);
    // "dentora-cli: " and the message, its lines joined into one.
    void Error(const QString& message);
    // The first error reported, in one line; empty when there was none.
    QString FirstError() const { return m_firstError; }

    void StartProgress(int expectedRecords);
    void Progress(int fetchedRecords);
    // Leaves the bar at its last state on a line of its own.
    void EndProgress();

private:
    void Print(const QString& line);
    void DrawBar(int fetchedRecords);
    void ClearBar();

    bool m_terminal = false;
    bool m_barShown = false;
    bool m_active = false;
    int m_expected = 0;
    int m_fetched = 0;
    int m_nextTenth = 1;
    qint64 m_lastDrawMs = -1;
    QElapsedTimer m_clock;
    QString m_firstError;
};

}  // namespace dentora
