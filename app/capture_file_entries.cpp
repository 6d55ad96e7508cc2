// The chart menu's file entries: a file dialog, then the capture's own
// reader or writer; every refusal and failure is a message box.
#include "chart_menu.h"
#include "import_dialog.h"

#include "capture/capture_files.h"
#include "capture/test_run.h"
#include "platform/wnd.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace {

// Qt's file dialog stores recent folders in the toolkit's settings file when
// it closes. Dentora writes nothing it was not asked to, so those settings
// are pointed at a folder inside the executable file, which cannot exist:
// storing them fails without touching the disk.
void KeepToolkitSettingsOff()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString nowhere = QCoreApplication::applicationFilePath() + QStringLiteral("/no-settings");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
}

// The folder of the last file chosen, for this run only.
QString g_lastFolder;

struct FileKind {
    const char* caption;
    const char* filter;
    const char* suffix;
};

const FileKind kCaptureToOpen = {"Open capture",
                                 "Captures and recordings (*.dentora *.vcd *.csv *.txt *.log);;"
                                 "Dentora captures (*.dentora);;All files (*)",
                                 "dentora"};
const FileKind kCaptureToSave = {"Save capture", "Dentora captures (*.dentora)", "dentora"};
const FileKind kVcd = {"Export VCD", "Value change dumps (*.vcd)", "vcd"};
const FileKind kCsv = {"Export CSV", "Comma-separated values (*.csv)", "csv"};
const FileKind kPng = {"Save image", "PNG images (*.png)", "png"};

// The non-native dialog: the platform's own may keep a list of recent files.
QString AskForFile(CWnd* owner, const FileKind& kind, bool save)
{
    KeepToolkitSettingsOff();
    QFileDialog dialog(owner->GetSafeWidget(), QString::fromUtf8(kind.caption), g_lastFolder,
                       QString::fromUtf8(kind.filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromUtf8(kind.suffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    g_lastFolder = QFileInfo(path).absolutePath();
    return path;
}

using CaptureWriter = bool (*)(const QString&, const dentora::CaptureLog&, QString*);

void WriteCapture(CWnd* owner, const FileKind& kind, CaptureWriter write)
{
    QString error;
    if (!dentora::IsWholeCapture(CurrentCaptureLog(), &error)) {
        AfxMessageBox(owner, QStringLiteral("Nothing to write: %1").arg(error));
        return;
    }
    const QString path = AskForFile(owner, kind, true);
    if (!path.isEmpty() && !write(path, CurrentCaptureLog(), &error))
        AfxMessageBox(owner, error);
}

void OpenCapture(CWnd* owner)
{
    if (g_nTestState != kIdle) {
        AfxMessageBox(owner,
                      QStringLiteral("A capture cannot be opened while a test runs: press \"Halt Test\" first."));
        return;
    }
    const QString path = AskForFile(owner, kCaptureToOpen, false);
    QString error;
    if (!path.isEmpty() && !dentora::OpenCaptureFile(path, &error, dentora::ImportAsking(owner->GetSafeWidget())))
        AfxMessageBox(owner, error);
}

void SaveImage(CWnd* owner)
{
    const QString path = AskForFile(owner, kPng, true);
    QString error;
    if (!path.isEmpty() && !dentora::SaveChartImage(path, &error))
        AfxMessageBox(owner, error);
}

}  // namespace

void AddCaptureFileEntries(ChartMenu* menu, CWnd* owner)
{
    menu->AddEntry(
        QStringLiteral("Open capture\u2026"), [owner] { OpenCapture(owner); }, QKeySequence::Open);
    menu->AddEntry(
        QStringLiteral("Save capture\u2026"),
        [owner] { WriteCapture(owner, kCaptureToSave, dentora::SaveCaptureFile); }, QKeySequence::Save);
    menu->addSeparator();
    menu->AddEntry(QStringLiteral("Export VCD\u2026"), [owner] { WriteCapture(owner, kVcd, dentora::ExportVcdFile); });
    menu->AddEntry(QStringLiteral("Export CSV\u2026"), [owner] { WriteCapture(owner, kCsv, dentora::ExportCsvFile); });
    menu->AddEntry(QStringLiteral("Save image\u2026"), [owner] { SaveImage(owner); });
}
