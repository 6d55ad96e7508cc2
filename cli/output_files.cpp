#include "output_files.h"

#include "capture/capture_files.h"
#include "capture/test_run.h"
#include "capture/trace_chart.h"
#include "chart/chart_wnd.h"
#include "res/resource.h"

#include <QWidget>

namespace dentora {
namespace {

// The chart control of the dialog's template: where the picture's size comes from.
RECT ChartFrameUnits()
{
    for (std::size_t i = 0; i < g_analyzerDialogTemplate.controlCount; ++i) {
        const DialogControl& control = g_analyzerDialogTemplate.controls[i];
        if (control.id == IDC_CHART_FRAME)
            return RECT{control.x, control.y, control.x + control.cx, control.y + control.cy};
    }
    return RECT{};
}

// The chart as the dialog draws it at its designed size: the tool's chart
// window on a host of its own, set up as the dialog sets it up, with the
// capture replayed into it and its anomalies marked.
bool SaveChartPicture(const CaptureLog& log, const QString& path, QString* error)
{
    const RECT frame = MapDialogRect(g_analyzerDialogTemplate, ChartFrameUnits());
    QWidget host;
    host.setFont(DialogFont(g_analyzerDialogTemplate));
    host.resize(frame.right - frame.left, frame.bottom - frame.top);
    CWnd hostWnd;
    hostWnd.Attach(&host, nullptr, 0);
    if (!g_chart.Create(WS_VISIBLE, RECT{0, 0, host.width(), host.height()}, &hostWnd, IDC_CHART_FRAME)) {
        *error = QStringLiteral("%1: the chart could not be made").arg(path);
        return false;
    }
    SetUpTraceChart(g_chart);
    if (!LoadCapture(log)) {
        *error = QStringLiteral("%1: the chart could not be drawn while a test runs").arg(path);
        return false;
    }
    MarkAnomalies(g_chart, AnalyzeTrigger(log.records, {std::nullopt, log.fallingEdgesReal}));
    return SaveChartImage(path, error);
}

using Writer = bool (*)(const QString&, const CaptureLog&, QString*);

struct OutputRequest {
    const char* kind;
    QString path;
    Writer write;
};

// The files asked for, in the order they are written.
std::vector<OutputRequest> Requests(const OutputFiles& files)
{
    const OutputRequest all[] = {
        {"capture", files.capture, SaveCaptureFile},
        {"vcd", files.vcd, ExportVcdFile},
        {"csv", files.csv, ExportCsvFile},
        {"png", files.png,
         [](const QString& path, const CaptureLog& log, QString* error) { return SaveChartPicture(log, path, error); }},
    };
    std::vector<OutputRequest> asked;
    for (const OutputRequest& request : all) {
        if (!request.path.isEmpty())
            asked.push_back(request);
    }
    return asked;
}

}  // namespace

bool CheckOutputFiles(const OutputFiles& files, Console& console)
{
    bool allWritable = true;
    for (const OutputRequest& request : Requests(files)) {
        QString error;
        if (!CheckWritable(request.path, &error)) {
            console.Error(error);
            allWritable = false;
        }
    }
    return allWritable;
}

std::vector<WrittenFile> UnwrittenFiles(const OutputFiles& files)
{
    std::vector<WrittenFile> unwritten;
    for (const OutputRequest& request : Requests(files))
        unwritten.push_back({request.kind, request.path, false});
    return unwritten;
}

std::vector<WrittenFile> WriteOutputFiles(const CaptureLog& log, const OutputFiles& files, Console& console)
{
    if (files.tickNanoseconds)
        SetExportTickNanoseconds(*files.tickNanoseconds);
    else if (log.tickNanoseconds)
        SetExportTickNanoseconds(*log.tickNanoseconds);
    std::vector<WrittenFile> written;
    for (const OutputRequest& request : Requests(files)) {
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
