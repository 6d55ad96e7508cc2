// dentora-cli's command line: the commands, their options and help texts,
// parsed into typed options before anything is opened.
#pragma once

#include "analysis_output.h"

#include "capture/fetch_options.h"
#include "formats/waveform_import.h"
#include "options/option_parser.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace dentora {

// A mistake on the command line; the message names what was wrong.
using UsageError = options::UsageError;

enum class Command { kHelp, kVersion, kCapture, kAnalyze, kExport, kImport, kPorts };

// Files a capture is written to; empty paths are not asked for.
struct OutputFiles {
    QString capture;  // -o, the .dentora file
    QString vcd;
    QString csv;
    QString png;
    std::optional<std::uint64_t> tickNanoseconds;  // --tick-us, for the VCD and CSV time axis

    bool NeedsWindowSystem() const { return !png.isEmpty(); }
};

// What the options of any command set; each command reads its own part.
struct CommandOptions {
    QString port;                             // capture
    QString input;                            // analyze, export, import: the .dentora file or another tool's
    ImportOptions import;                     // analyze, export, import: how another tool's file is read
    int timeoutSeconds = 30;                  // the wait for the acknowledge; 0 waits until Ctrl+C
    FetchOptions fetch{true, kDefaultAhead};  // fast unless --tick-pace
    OutputFiles files;
    AnalysisRequest analysis;
    bool json = false;
};

using CaptureOptions = CommandOptions;
using AnalyzeOptions = CommandOptions;
using ExportOptions = CommandOptions;
using ImportCommandOptions = CommandOptions;
using PortsOptions = CommandOptions;

struct CommandLine {
    Command command = Command::kHelp;
    QString helpText;  // for kHelp: the text to print (general, or one command's)
    CommandOptions options;
};

// Parses the arguments after the program name. Throws UsageError.
// A new option is one row in the table of command_line.cpp: its name,
// value, help and what it sets in CommandOptions.
CommandLine ParseCommandLine(const QStringList& arguments);

// The general help: the commands, how to get each one's help, exit statuses.
QString GeneralHelp();

}  // namespace dentora
