#include "output_files.h"

#include "analyzer_dlg.h"

#include "capture/capture_files.h"
#include "capture/test_run.h"

namespace dentora {
namespace {

// The chart as the dialog draws it: the real dialog, made for the picture
// only once the test is over, with the capture replayed into its chart.
bool SaveChartPicture(const CaptureLog& log, const QString& path, QString* error)
{
    CAnalyzerDlg dialog;
    dialog.CreateModeless();
    if (!LoadCapture(log)) {
        *error = QStringLiteral("%1: the chart could not be drawn while a test runs").arg(path);
        return false;
    }
    return SaveChartImage(path, error);
}

}  // namespace

std::vector<WrittenFile> WriteOutputFiles(const CaptureLog& log, const OutputFiles& files, Console& console)
{
    if (files.tickNanoseconds)
        SetExportTickNanoseconds(*files.tickNanoseconds);
    else if (log.tickNanoseconds)
        SetExportTickNanoseconds(*log.tickNanoseconds);
    using Writer = bool (*)(const QString&, const CaptureLog&, QString*);
    const struct {
        const char* kind;
        const QString& path;
        Writer write;
    } requests[] = {
        {"capture", files.capture, SaveCaptureFile},
        {"vcd", files.vcd, ExportVcdFile},
        {"csv", files.csv, ExportCsvFile},
        {"png", files.png,
         [](const QString& path, const CaptureLog& log, QString* error) { return SaveChartPicture(log, path, error); }},
    };
    std::vector<WrittenFile> written;
    for (const auto& request : requests) {
        if (request.path.isEmpty())
            continue;
        QString error;
        const bool ok = request.write(request.path, log, &error);
        if (!ok)
            console.Error(error);
        written.push_back({request.kind, request.path, ok});
    }
    return written;
}

bool AllWritten(const std::vector<WrittenFile>& files)
{
    for (const WrittenFile& file : files) {
        if (!file.written)
            return false;
    }
    return true;
}

}  // namespace dentora
