// The analyze command: the trigger report of a capture file. Any capture
// that can be read is analysed, whatever its outcome.
#include "commands.h"
#include "result_output.h"

#include "capture/capture_files.h"

namespace dentora {

ExitStatus RunAnalyzeCommand(const AnalyzeOptions& options, Console& console)
{
    CaptureLog log;
    QString error;
    const std::vector<WrittenFile> noFiles;
    if (!LoadCaptureFile(options.input, &log, &error, {options.import, {}})) {
        console.Error(error);
        PrintAnalyzeResult({ExitStatus::kBadFile, console.FirstError(), log, noFiles}, options.input, options.json);
        return ExitStatus::kBadFile;
    }
    const AnalysisResult analysis = AnalyzeCapture(log, options.analysis);
    ExitStatus status = ExitStatus::kOk;
    if (analysis.Mismatch()) {
        console.Error(MismatchMessage(analysis, options.analysis));
        status = ExitStatus::kPatternMismatch;
    }
    PrintAnalyzeResult({status, console.FirstError(), log, noFiles, &analysis, &options.analysis}, options.input,
                       options.json);
    return status;
}

}  // namespace dentora
