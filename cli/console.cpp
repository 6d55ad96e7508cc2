#include "console.h"

#include <QStringList>

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <unistd.h>
#endif

namespace dentora {
namespace {

constexpr int kBarWidth = 24;
// A terminal is redrawn at most this often; more is flicker, not news.
constexpr qint64 kRedrawMs = 100;

QString MinutesSeconds(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

Console::Console() : m_terminal(isatty(STDERR_FILENO) != 0) {}

void Console::Print(const QString& line)
{
    ClearBar();
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}

void Console::Status(const QString& line)
{
    Print(line);
    if (m_active && m_terminal)
        DrawBar(m_fetched);
}

void Console::Error(const QString& message)
{
    if (m_firstError.isEmpty())
        m_firstError = message.simplified();
    QStringList lines = message.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    Print(QStringLiteral("dentora-cli: ") + lines.join(QLatin1String(": ")));
}

void Console::StartProgress(int expectedRecords)
{
    m_active = expectedRecords > 0;
    m_expected = expectedRecords;
    m_fetched = 0;
    m_nextTenth = 1;
    m_lastDrawMs = -1;
    m_clock.start();
}

void Console::Progress(int fetchedRecords)
{
    if (!m_active)
        return;
    m_fetched = fetchedRecords;
    if (m_terminal) {
        if (m_lastDrawMs < 0 || m_clock.elapsed() - m_lastDrawMs >= kRedrawMs)
            DrawBar(fetchedRecords);
        return;
    }
    if (fetchedRecords * 10 < m_nextTenth * m_expected)
        return;
    while (fetchedRecords * 10 >= m_nextTenth * m_expected)
        ++m_nextTenth;
    Print(QStringLiteral("Fetched %1 of %2 records").arg(fetchedRecords).arg(m_expected));
}

void Console::EndProgress()
{
    if (!m_active)
        return;
    if (m_terminal && m_fetched > 0) {
        DrawBar(m_fetched);
        std::fputc('\n', stderr);
        m_barShown = false;
    }
    m_active = false;
}

void Console::DrawBar(int fetchedRecords)
{
    const qint64 elapsedMs = m_clock.elapsed();
    m_lastDrawMs = elapsedMs;
    const int filled = int(std::min<qint64>(kBarWidth, qint64(kBarWidth) * fetchedRecords / m_expected));
    const double rate = elapsedMs > 0 ? fetchedRecords * 1000.0 / double(elapsedMs) : 0.0;
    const QString left =
        rate > 0 ? MinutesSeconds(qint64((m_expected - fetchedRecords) / rate + 0.5)) : QStringLiteral("-:--");
    const QString bar = QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('-'));
    std::fprintf(stderr, "\r[%s] %d/%d records  %.0f rec/s  %s left\x1b[K", qPrintable(bar), fetchedRecords, m_expected,
                 rate, qPrintable(left));
    std::fflush(stderr);
    m_barShown = true;
}

void Console::ClearBar()
{
    if (!m_barShown)
        return;
    std::fputs("\r\x1b[K", stderr);
    m_barShown = false;
}

}  // namespace dentora
