// What dentora-cli prints on standard output: the result, as text for a
// person or as exactly one JSON document (--json; schema in docs/cli.md).
#pragma once

#include "exit_status.h"

#include "capture/capture_log.h"

#include <QJsonObject>
#include <QString>

namespace dentora {

struct CaptureResult {
    ExitStatus status;
    QString error;  // the first error, one line; empty when there was none
    const CaptureLog& log;
};

void PrintCaptureResult(const CaptureResult& result, bool json);

// The members every document has: format version, tool, command, status.
QJsonObject ResultDocument(const char* command, ExitStatus status, const QString& error);
void PrintJson(const QJsonObject& document);

}  // namespace dentora
