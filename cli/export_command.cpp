// The export command: a capture file to VCD, CSV or a picture of the chart.
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
    if (!LoadCaptureFile(options.input, &log, &error)) {
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

}  // namespace dentora
