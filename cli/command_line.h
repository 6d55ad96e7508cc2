// dentora-cli's command line: the commands, their options and help texts,
// parsed into typed options before anything is opened.
#pragma once

#include "analysis_output.h"

#include "capture/fetch_options.h"
#include "formats/waveform_import.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <stdexcept>

namespace dentora {

// A mistake on the command line; the message names what was wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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

struct CaptureOptions {
    QString port;
    int timeoutSeconds = 30;                  // the wait for the acknowledge; 0 waits until Ctrl+C
    FetchOptions fetch{true, kDefaultAhead};  // fast unless --tick-pace
    OutputFiles files;
    AnalysisRequest analysis;
    bool json = false;
};

struct ExportOptions {
    QString input;  // the .dentora file, or another tool's file to import
    ImportOptions import;
    OutputFiles files;
    bool json = false;
};

struct AnalyzeOptions {
    QString input;  // the .dentora file, or another tool's file to import
    ImportOptions import;
    AnalysisRequest analysis;
    bool json = false;
};

struct ImportCommandOptions {
    QString input;   // another tool's file
    QString output;  // -o, the .dentora file
    ImportOptions import;
    bool json = false;
};

struct PortsOptions {
    bool json = false;
};

struct CommandLine {
    Command command = Command::kHelp;
    QString helpText;  // for kHelp: the text to print (general, or one command's)
    CaptureOptions capture;
    AnalyzeOptions analyze;
    ExportOptions exportFile;
    ImportCommandOptions importFile;
    PortsOptions ports;
};

// Parses the arguments after the program name. Throws UsageError.
CommandLine ParseCommandLine(const QStringList& arguments);

// The general help: the commands, how to get each one's help, exit statuses.
QString GeneralHelp();

}  // namespace dentora
