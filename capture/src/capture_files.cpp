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
#include <fstream>

namespace dentora {
namespace {

static_assert(kMaxCaptureRecords == (kRxBufferSize - 3) / 2 + 1, "a file holds what one test can fetch");

constexpr std::uint64_t kMaxTickNanoseconds = 1000000000;
std::optional<std::uint64_t> g_knownTickNanoseconds;

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

constexpr std::string_view kCaptureMagic = "dentora-capture";

QString Located(const QString& path, int line, const std::string& message)
{
    const QString where = line > 0 ? QStringLiteral("%1, line %2").arg(path).arg(line) : path;
    return QStringLiteral("%1: %2").arg(where, QString::fromStdString(message));
}

bool ReadCaptureData(const QString& path, CaptureData* data, QString* error)
{
    QByteArray bytes;
    if (!ReadWholeFile(path, &bytes, error))
        return false;
    CaptureFileError fault;
    if (!ReadCaptureFile(std::string_view(bytes.constData(), std::size_t(bytes.size())), data, &fault)) {
        *error = Located(path, fault.line, fault.message);
        return false;
    }
    return true;
}

// Another tool's file, streamed: only its edges are kept, whatever its size.
bool ImportData(const QString& path, const QFileInfo& info, const ImportRequest& import, CaptureData* data,
                QString* error)
{
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    if (!in) {
        *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    ImportError fault;
    if (!ImportWaveformFile(in, info.fileName().toStdString(), import.options, import.ask, data, &fault)) {
        *error = Located(path, fault.line, fault.message);
        return false;
    }
    // The file's own time is the nearest there is to when the test ran.
    data->startedAtUtc = info.lastModified().toUTC().toString(Qt::ISODateWithMs).toStdString();
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
    // A tick length the user set since holds over the one the file kept.
    data.tickNanoseconds = g_knownTickNanoseconds ? g_knownTickNanoseconds : log.tickNanoseconds;
    data.fallingEdgesReal = log.fallingEdgesReal;
    data.source = log.source;
    return data;
}

bool LoadCaptureFile(const QString& path, CaptureLog* log, QString* error, const ImportRequest& import)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("%1: not a file").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    // Our own suffix keeps our own messages; any other file is known by its content.
    const bool captureFile = info.suffix() == QLatin1String("dentora") ||
        file.peek(qint64(kCaptureMagic.size())) == QByteArray(kCaptureMagic.data(), qsizetype(kCaptureMagic.size()));
    file.close();
    CaptureData data;
    if (captureFile ? !ReadCaptureData(path, &data, error) : !ImportData(path, info, import, &data, error))
        return false;
    CaptureLog loaded;
    loaded.records = std::move(data.records);
    loaded.announcedBytes = data.announcedBytes;
    loaded.port = QString::fromStdString(data.port);
    loaded.startedAt = QDateTime::fromString(QString::fromStdString(data.startedAtUtc), Qt::ISODateWithMs);
    loaded.outcome = data.outcome;
    loaded.outcomeDetail = QString::fromStdString(data.outcomeDetail);
    loaded.file = path;
    loaded.tickNanoseconds = data.tickNanoseconds;
    loaded.fallingEdgesReal = data.fallingEdgesReal;
    loaded.source = std::move(data.source);
    *log = std::move(loaded);
    return true;
}

bool OpenCaptureFile(const QString& path, QString* error, const ImportRequest& import)
{
    if (g_nTestState != kIdle) {
        *error = QStringLiteral("Cannot open %1 while a test runs: press \"Halt Test\" first.").arg(path);
        return false;
    }
    CaptureLog log;
    if (!LoadCaptureFile(path, &log, error, import))
        return false;
    const std::optional<std::uint64_t> tick = log.tickNanoseconds;
    if (!LoadCapture(std::move(log)))
        return false;
    // The file's tick length is the user's from now on, as if set again.
    if (tick)
        SetExportTickNanoseconds(*tick);
    return true;
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
    const CaptureData data = ToCaptureData(log);
    const std::string vcd = WriteVcd(data, data.tickNanoseconds, "Dentora " DENTORA_VERSION);
    return WriteFileAtomically(path, Bytes(vcd), error);
}

bool ExportCsvFile(const QString& path, const CaptureLog& log, QString* error)
{
    if (!IsSaveable(log, path, error))
        return false;
    const CaptureData data = ToCaptureData(log);
    return WriteFileAtomically(path, Bytes(WriteCsv(data, data.tickNanoseconds)), error);
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
    return g_knownTickNanoseconds.value_or(kDefaultTickNanoseconds);
}

std::optional<std::uint64_t> KnownTickNanoseconds()
{
    return g_knownTickNanoseconds;
}

void ForgetTickNanoseconds()
{
    g_knownTickNanoseconds.reset();
}

bool SetExportTickNanoseconds(std::uint64_t nanoseconds)
{
    if (nanoseconds < 1 || nanoseconds > kMaxTickNanoseconds)
        return false;
    g_knownTickNanoseconds = nanoseconds;
    return true;
}

}  // namespace dentora
