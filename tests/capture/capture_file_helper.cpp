// A second Dentora process for the capture-file tests, built from the real
// dialog and the real readers and writers.
//   capture_file_helper reopen FILE DIR
//       opens FILE into the dialog's chart, then writes DIR/resaved.dentora,
//       DIR/chart.png, DIR/capture.vcd and DIR/capture.csv
//   capture_file_helper save-limited BYTES FILE DEST
//       saves the capture in FILE as DEST while the process may write no
//       file longer than BYTES, as on a full disk
#include "analyzer_dlg.h"
#include "capture/capture_files.h"
#include "capture/test_run.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace {

int Fail(const QString& error)
{
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
}

int Reopen(const QString& file, const QDir& out)
{
    CAnalyzerDlg dialog;
    if (!dialog.CreateModeless())
        return Fail(QStringLiteral("the dialog did not open"));
    QString error;
    if (!dentora::OpenCaptureFile(file, &error))
        return Fail(error);
    QCoreApplication::processEvents();
    const dentora::CaptureLog& log = CurrentCaptureLog();
    const bool written = dentora::SaveCaptureFile(out.filePath(QStringLiteral("resaved.dentora")), log, &error) &&
        dentora::SaveChartImage(out.filePath(QStringLiteral("chart.png")), &error) &&
        dentora::ExportVcdFile(out.filePath(QStringLiteral("capture.vcd")), log, &error) &&
        dentora::ExportCsvFile(out.filePath(QStringLiteral("capture.csv")), log, &error);
    return written ? 0 : Fail(error);
}

int SaveLimited(const QString& limit, const QString& file, const QString& destination)
{
    dentora::CaptureLog log;
    QString error;
    if (!dentora::LoadCaptureFile(file, &log, &error))
        return Fail(error);
    // The write past the limit must fail with EFBIG, not end the process.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit bytes{rlim_t(limit.toULongLong()), rlim_t(limit.toULongLong())};
    if (setrlimit(RLIMIT_FSIZE, &bytes) != 0)
        return Fail(QStringLiteral("setrlimit failed"));
    return dentora::SaveCaptureFile(destination, log, &error) ? 0 : Fail(error);
}

}  // namespace

int main(int argc, char** argv)
{
    // Headless, on the screen the test that started it has.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The test binaries' style, so that pictures compare pixel for pixel.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() == 3 && arguments[0] == QLatin1String("reopen"))
        return Reopen(arguments[1], QDir(arguments[2]));
    if (arguments.size() == 4 && arguments[0] == QLatin1String("save-limited"))
        return SaveLimited(arguments[1], arguments[2], arguments[3]);
    return Fail(QStringLiteral("usage: capture_file_helper reopen FILE DIR | save-limited BYTES FILE DEST"));
}
