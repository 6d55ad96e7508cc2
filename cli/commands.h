// The commands of dentora-cli; each returns the process's exit status.
#pragma once

#include "command_line.h"
#include "console.h"
#include "exit_status.h"

namespace dentora {

ExitStatus RunCaptureCommand(const CaptureOptions& options, Console& console);
ExitStatus RunAnalyzeCommand(const AnalyzeOptions& options, Console& console);
ExitStatus RunExportCommand(const ExportOptions& options, Console& console);
ExitStatus RunImportCommand(const ImportCommandOptions& options, Console& console);
ExitStatus RunPortsCommand(const PortsOptions& options);

}  // namespace dentora
