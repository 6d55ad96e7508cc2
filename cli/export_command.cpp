// The export command: a capture file to VCD, CSV or a picture of the chart;
// and the import command: another tool's file to a capture file.
#include "commands.h"
#include "output_files.h"
#include "result_output.h"

#include "capture/capture_files.h"

namespace dentora {

ExitStatus RunExportCommand(const ExportOptions& options, Console& console)
{
    CaptureLog log;
    QString error;
    std::vector<WrittenFile> files;
    ExitStatus status = ExitStatus::kOk;
    if (!LoadCaptureFile(options.input, &log, &error, {options.import, {}})) {
        console.Error(error);
        status = ExitStatus::kBadFile;
    } else {
        files = WriteOutputFiles(log, options.files, console);
        if (!AllWritten(files))
            status = ExitStatus::kBadFile;
    }
    PrintExportResult({status, console.FirstError(), log, files}, options.input, options.json);
    return status;
}

ExitStatus RunImportCommand(const ImportCommandOptions& options, Console& console)
{
    CaptureLog log;
    QString error;
    std::vector<WrittenFile> files;
    ExitStatus status = ExitStatus::kOk;
    if (!LoadCaptureFile(options.input, &log, &error, {options.import, {}})) {
        console.Error(error);
        status = ExitStatus::kBadFile;
    } else {
        const bool written = SaveCaptureFile(options.output, log, &error);
        if (!written) {
            console.Error(error);
            status = ExitStatus::kBadFile;
        }
        files.push_back({"capture", options.output, written});
    }
    PrintExportResult({status, console.FirstError(), log, files}, options.input, options.json, "import");
    return status;
}

}  // namespace dentora
