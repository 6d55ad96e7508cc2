#include "result_output.h"

#include "analysis/trigger_record.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace dentora {
namespace {

// Raised only when a document changes incompatibly; members may be added.
constexpr int kJsonFormatVersion = 2;

const char* OutcomeName(TestOutcome outcome)
{
    switch (outcome) {
    case TestOutcome::kRunning: return "running";
    case TestOutcome::kFinished: return "finished";
    case TestOutcome::kHalted: return "halted";
    case TestOutcome::kOutOfSequence: return "out-of-sequence";
    case TestOutcome::kNoAnswer: return "no-answer";
    case TestOutcome::kPortLost: return "port-lost";
    case TestOutcome::kCouldNotOpen: return "could-not-open";
    }
    return "unknown";
}

struct EdgeCounts {
    int crank = 0;
    int cam = 0;
};

// Edges after the calibration records; the test run keeps only records
// with a known type byte.
EdgeCounts CountEdges(const CaptureLog& log)
{
    EdgeCounts counts;
    for (std::size_t i = kCalibrationRecords; i < log.records.size(); ++i) {
        const std::uint8_t type = log.records[i].type;
        if (type == kCrankRise || type == kCrankFall)
            ++counts.crank;
        else if (type == kCamRise || type == kCamFall)
            ++counts.cam;
    }
    return counts;
}

QJsonObject CaptureJson(const CaptureLog& log)
{
    const EdgeCounts edges = CountEdges(log);
    return QJsonObject{
        {QStringLiteral("port"), log.port},
        {QStringLiteral("startedAt"), log.startedAt.toString(Qt::ISODateWithMs)},
        {QStringLiteral("outcome"), QLatin1String(OutcomeName(log.outcome))},
        {QStringLiteral("announcedBytes"), log.announcedBytes},
        {QStringLiteral("records"), int(log.records.size())},
        {QStringLiteral("crankEdges"), edges.crank},
        {QStringLiteral("camEdges"), edges.cam},
    };
}

QJsonArray FilesJson(const std::vector<WrittenFile>& files)
{
    QJsonArray array;
    for (const WrittenFile& file : files) {
        array.append(QJsonObject{{QStringLiteral("kind"), QLatin1String(file.kind)},
                                 {QStringLiteral("path"), file.path},
                                 {QStringLiteral("written"), file.written}});
    }
    return array;
}

void PrintFilesText(const std::vector<WrittenFile>& files)
{
    for (const WrittenFile& file : files) {
        if (file.written)
            std::printf("written:    %s (%s)\n", qPrintable(file.path), file.kind);
    }
}

void PrintCaptureText(const CaptureLog& log)
{
    const EdgeCounts edges = CountEdges(log);
    std::printf("port:       %s\n", qPrintable(log.port));
    std::printf("outcome:    %s\n", OutcomeName(log.outcome));
    std::printf("announced:  %d bytes\n", log.announcedBytes);
    std::printf("records:    %d (%d crank edges, %d cam edges after the calibration)\n", int(log.records.size()),
                edges.crank, edges.cam);
}

void InsertAnalysis(QJsonObject* document, const CaptureResult& result)
{
    if (!result.analysis)
        return;
    document->insert(QStringLiteral("analysis"), AnalysisJson(result.analysis->report));
    if (result.analysis->check)
        document->insert(QStringLiteral("expect"), ExpectJson(*result.analysis, *result.request));
}

}  // namespace

QJsonObject ResultDocument(const char* command, ExitStatus status, const QString& error)
{
    return QJsonObject{
        {QStringLiteral("formatVersion"), kJsonFormatVersion},
        {QStringLiteral("tool"), QStringLiteral("dentora-cli " DENTORA_VERSION)},
        {QStringLiteral("command"), QLatin1String(command)},
        {QStringLiteral("exitStatus"), int(status)},
        {QStringLiteral("status"), QLatin1String(ExitStatusName(status))},
        {QStringLiteral("error"), error},
    };
}

void PrintJson(const QJsonObject& document)
{
    std::fputs(QJsonDocument(document).toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
}

void PrintCaptureResult(const CaptureResult& result, bool json)
{
    if (json) {
        QJsonObject document = ResultDocument("capture", result.status, result.error);
        if (result.log.outcome != TestOutcome::kRunning)
            document.insert(QStringLiteral("capture"), CaptureJson(result.log));
        document.insert(QStringLiteral("files"), FilesJson(result.files));
        InsertAnalysis(&document, result);
        PrintJson(document);
        return;
    }
    // A test that never started or a port that never opened has no capture
    // to speak of.
    if (result.log.outcome != TestOutcome::kCouldNotOpen && result.log.outcome != TestOutcome::kRunning)
        PrintCaptureText(result.log);
    PrintFilesText(result.files);
    if (result.analysis) {
        if (result.request->report)
            std::fputc('\n', stdout);
        PrintAnalysisText(*result.analysis, *result.request);
    }
}

void PrintAnalyzeResult(const CaptureResult& result, const QString& input, bool json)
{
    if (!json) {
        if (result.analysis)
            PrintAnalysisText(*result.analysis, *result.request);
        return;
    }
    QJsonObject document = ResultDocument("analyze", result.status, result.error);
    document.insert(QStringLiteral("input"), input);
    if (result.analysis)
        document.insert(QStringLiteral("capture"), CaptureJson(result.log));
    InsertAnalysis(&document, result);
    PrintJson(document);
}

void PrintExportResult(const CaptureResult& result, const QString& input, bool json, const char* command)
{
    if (!json) {
        PrintFilesText(result.files);
        return;
    }
    QJsonObject document = ResultDocument(command, result.status, result.error);
    document.insert(QStringLiteral("input"), input);
    if (result.log.startedAt.isValid())
        document.insert(QStringLiteral("capture"), CaptureJson(result.log));
    document.insert(QStringLiteral("files"), FilesJson(result.files));
    PrintJson(document);
}

}  // namespace dentora
