// The export command: a capture file to VCD, CSV or a picture of the chart;
// and the import command: another tool's file to a capture file.
#include "commands.h"
#include "output_files.h"
#include "result_output.h"

#include "capture/capture_files.h"

namespace dentora {
namespace {

// Reads the input (a capture file, or a recording to import) and writes the
// files asked for; the result as the command prints it.
ExitStatus ReadAndWrite(const QString& input, const ImportOptions& import, const OutputFiles& outputs, bool json,
                        const char* command, Console& console)
{
    CaptureLog log;
    QString error;
    std::vector<WrittenFile> files;
    ExitStatus status = ExitStatus::kOk;
    if (!LoadCaptureFile(input, &log, &error, {import, {}})) {
        console.Error(error);
        status = ExitStatus::kBadFile;
    } else {
        files = WriteOutputFiles(log, outputs, console);
        if (!AllWritten(files))
            status = ExitStatus::kBadFile;
    }
    PrintExportResult({status, console.FirstError(), log, files}, input, json, command);
    return status;
}

}  // namespace

ExitStatus RunExportCommand(const ExportOptions& options, Console& console)
{
    return ReadAndWrite(options.input, options.import, options.files, options.json, "export", console);
}

ExitStatus RunImportCommand(const ImportCommandOptions& options, Console& console)
{
    return ReadAndWrite(options.input, options.import, options.files, options.json, "import", console);
}

}  // namespace dentora
