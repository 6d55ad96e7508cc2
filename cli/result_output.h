// What dentora-cli prints on standard output: the result, as text for a
// person or as exactly one JSON document (--json; schema in docs/cli.md).
#pragma once

#include "analysis_output.h"
#include "exit_status.h"
#include "output_files.h"

#include "capture/capture_log.h"

#include <QJsonObject>
#include <QString>

namespace dentora {

struct CaptureResult {
    ExitStatus status;
    QString error;  // the first error, one line; empty when there was none
    const CaptureLog& log;
    const std::vector<WrittenFile>& files;
    const AnalysisResult* analysis = nullptr;  // when one was asked for
    const AnalysisRequest* request = nullptr;
};

void PrintCaptureResult(const CaptureResult& result, bool json);
// The analyze command's result: the report, or the document with it.
void PrintAnalyzeResult(const CaptureResult& result, const QString& input, bool json);
// The export (or import) command's result: what was read and what was written.
void PrintExportResult(const CaptureResult& result, const QString& input, bool json, const char* command = "export");

// The members every document has: format version, tool, command, status.
QJsonObject ResultDocument(const char* command, ExitStatus status, const QString& error);
void PrintJson(const QJsonObject& document);

}  // namespace dentora
