#include "capture/capture_files.h"

#include "capture/test_run.h"
#include "chart/chart_image.h"
#include "formats/capture_file.h"
#include "formats/waveform_export.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace dentora {
namespace {

static_assert(kMaxCaptureRecords == (kRxBufferSize - 3) / 2 + 1, "a file holds what one test can fetch");

constexpr std::uint64_t kMaxTickNanoseconds = 1000000000;
std::uint64_t g_exportTickNanoseconds = kDefaultTickNanoseconds;

QByteArray Bytes(const std::string& text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

// One sentence, whether shown in a message box or on one line of a console;
// a file already there is named as kept only when there is one.
QString WriteFailure(const QString& path, QString reason)
{
    while (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    if (QFileInfo::exists(path))
        return QStringLiteral("Cannot write %1: %2; the file already there is left as it was.").arg(path, reason);
    return QStringLiteral("Cannot write %1: %2.").arg(path, reason);
}

bool ReadWholeFile(const QString& path, QByteArray* bytes, QString* error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("%1: not a file").arg(path);
        return false;
    }
    // The size first: a huge file is refused without being read.
    if (info.size() > qint64(kMaxCaptureFileBytes)) {
        *error = QStringLiteral("%1: the file is %2 bytes, more than any capture can be (%3)")
                     .arg(path)
                     .arg(info.size())
                     .arg(kMaxCaptureFileBytes);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    *bytes = file.read(qint64(kMaxCaptureFileBytes) + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool IsSaveable(const CaptureLog& log, const QString& path, QString* error)
{
    QString reason;
    if (IsWholeCapture(log, &reason))
        return true;
    *error = QStringLiteral("Cannot write %1: %2").arg(path, reason);
    return false;
}

}  // namespace

bool IsWholeCapture(const CaptureLog& log, QString* reason)
{
    if (!log.startedAt.isValid()) {
        *reason = QStringLiteral("there is no capture yet; run a test or open a capture first.");
        return false;
    }
    if (log.outcome == TestOutcome::kRunning) {
        *reason = QStringLiteral("the test is still running; wait for it to end or halt it.");
        return false;
    }
    return true;
}

CaptureData ToCaptureData(const CaptureLog& log)
{
    CaptureData data;
    data.records = log.records;
    data.announcedBytes = log.announcedBytes;
    data.port = log.port.toStdString();
    data.startedAtUtc = log.startedAt.toUTC().toString(Qt::ISODateWithMs).toStdString();
    data.outcome = log.outcome;
    data.outcomeDetail = log.outcomeDetail.toStdString();
    return data;
}

bool LoadCaptureFile(const QString& path, CaptureLog* log, QString* error)
{
    QByteArray bytes;
    if (!ReadWholeFile(path, &bytes, error))
        return false;
    CaptureData data;
    CaptureFileError fault;
    if (!ReadCaptureFile(std::string_view(bytes.constData(), std::size_t(bytes.size())), &data, &fault)) {
        const QString where = fault.line > 0 ? QStringLiteral("%1, line %2").arg(path).arg(fault.line) : path;
        *error = QStringLiteral("%1: %2").arg(where, QString::fromStdString(fault.message));
        return false;
    }
    CaptureLog loaded;
    loaded.records = std::move(data.records);
    loaded.announcedBytes = data.announcedBytes;
    loaded.port = QString::fromStdString(data.port);
    loaded.startedAt = QDateTime::fromString(QString::fromStdString(data.startedAtUtc), Qt::ISODateWithMs);
    loaded.outcome = data.outcome;
    loaded.outcomeDetail = QString::fromStdString(data.outcomeDetail);
    loaded.file = path;
    *log = std::move(loaded);
    return true;
}

bool OpenCaptureFile(const QString& path, QString* error)
{
    if (g_nTestState != kIdle) {
        *error = QStringLiteral("Cannot open %1 while a test runs: press \"Halt Test\" first.").arg(path);
        return false;
    }
    CaptureLog log;
    return LoadCaptureFile(path, &log, error) && LoadCapture(std::move(log));
}

bool SaveCaptureFile(const QString& path, const CaptureLog& log, QString* error)
{
    return IsSaveable(log, path, error) &&
        WriteFileAtomically(path, Bytes(WriteCaptureFile(ToCaptureData(log))), error);
}

bool ExportVcdFile(const QString& path, const CaptureLog& log, QString* error)
{
    if (!IsSaveable(log, path, error))
        return false;
    const std::string vcd = WriteVcd(ToCaptureData(log), g_exportTickNanoseconds, "Dentora " DENTORA_VERSION);
    return WriteFileAtomically(path, Bytes(vcd), error);
}

bool ExportCsvFile(const QString& path, const CaptureLog& log, QString* error)
{
    return IsSaveable(log, path, error) &&
        WriteFileAtomically(path, Bytes(WriteCsv(ToCaptureData(log), g_exportTickNanoseconds)), error);
}

bool SaveChartImage(const QString& path, QString* error)
{
    const QImage image = RenderChartImage();
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        *error = WriteFailure(path, QStringLiteral("the chart could not be drawn into a picture"));
        return false;
    }
    return WriteFileAtomically(path, png, error);
}

bool CheckWritable(const QString& path, QString* error)
{
    // Nothing was tried on the file itself yet: no word of keeping it.
    if (QFileInfo(path).isDir()) {
        *error = QStringLiteral("Cannot write %1: it is a folder").arg(path);
        return false;
    }
    // The temporary file a write would start with, made and removed again.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    file.cancelWriting();
    return true;
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = WriteFailure(path, file.errorString());
        return false;
    }
    // Every write and the final flush are checked before the rename: a
    // short write on a full disk must not install a truncated file.
    errno = 0;
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 step = file.write(bytes.constData() + written, bytes.size() - written);
        if (step <= 0)
            break;
        written += step;
    }
    if (written < bytes.size() || !file.flush() || !file.commit()) {
        // The device's own text for a failed flush can be "Unknown error".
        const QString reason = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        *error = WriteFailure(path, reason);
        file.cancelWriting();
        return false;
    }
    return true;
}

std::uint64_t ExportTickNanoseconds()
{
    return g_exportTickNanoseconds;
}

bool SetExportTickNanoseconds(std::uint64_t nanoseconds)
{
    if (nanoseconds < 1 || nanoseconds > kMaxTickNanoseconds)
        return false;
    g_exportTickNanoseconds = nanoseconds;
    return true;
}

}  // namespace dentora
