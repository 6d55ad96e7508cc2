// Runs dentora-cli as a user would from a shell or a script: as its own
// process, against a simulated controller on a pseudo-terminal.
#pragma once

#include "simulator/pty_controller.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace dentora::test {

// The words every test types.
inline const QString kCapture = QStringLiteral("capture");
inline const QString kPortOption = QStringLiteral("--port");
inline const QString kJson = QStringLiteral("--json");

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs to the end; environment changes as NAME=VALUE, or NAME= to remove;
// a launcher (e.g. setpriv and its arguments) runs the tool when given.
CliResult RunCli(const QStringList& arguments, const QStringList& environment = {}, const QStringList& launcher = {});

// Starts the process and returns at once; the caller waits and reads it.
std::unique_ptr<QProcess> StartCli(const QStringList& arguments);

// Runs with standard error on a fresh pseudo-terminal, as in a terminal
// window; standard output goes to a pipe. err holds what the terminal showed.
CliResult RunCliWithTerminalStderr(const QStringList& arguments);

// A controller serving `records` records (count 3 * records) with a short
// acknowledge delay; faults and the rest set through `adjust`.
std::unique_ptr<sim::PtyController> StartController(unsigned records, void (*adjust)(sim::ControllerConfig&) = nullptr);

// Problems the JSON schema of docs/cli-output.schema.json finds in the text;
// empty when it is exactly one valid document.
QString SchemaViolations(const QString& json);

}  // namespace dentora::test
