// The chart menu's file entries: a file dialog, then the capture's own
// reader or writer; every refusal and failure is a message box.
#include "chart_menu.h"
#include "import_dialog.h"

#include "capture/capture_files.h"
#include "capture/test_run.h"
#include "platform/wnd.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSettings>
#include <QStyle>

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

// The folder of the last file opened or written, for this run only: a
// folder where a write failed is no place to start the next dialog.
QString g_lastGoodFolder;

QString StartFolder()
{
    return QFileInfo(g_lastGoodFolder).isDir() ? g_lastGoodFolder : QDir::homePath();
}

// Icons and type names from the file's name and kind alone. The toolkit's
// own provider reads a file to tell its type when the name does not, and a
// file such as /proc/kmsg never ends: the dialog would hang listing it.
class NameOnlyIconProvider : public QAbstractFileIconProvider {
public:
    NameOnlyIconProvider()
        : m_folder(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
          m_file(QApplication::style()->standardIcon(QStyle::SP_FileIcon)),
          m_link(QApplication::style()->standardIcon(QStyle::SP_FileLinkIcon)),
          m_drive(QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon)),
          m_computer(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon))
    {
    }

    // Called on the file list's own thread: only copies of icons made here.
    QIcon icon(IconType type) const override
    {
        switch (type) {
        case Computer: return m_computer;
        case Drive: return m_drive;
        case Folder: return m_folder;
        default: return m_file;
        }
    }
    QIcon icon(const QFileInfo& info) const override
    {
        if (info.isDir())
            return m_folder;
        return info.isSymLink() ? m_link : m_file;
    }
    QString type(const QFileInfo& info) const override
    {
        if (info.isDir())
            return QStringLiteral("Folder");
        const QMimeType mime = m_mimeTypes.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }

private:
    QIcon m_folder, m_file, m_link, m_drive, m_computer;
    QMimeDatabase m_mimeTypes;
};

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
    NameOnlyIconProvider icons;  // outlives the dialog, which does not own it
    QFileDialog dialog(owner->GetSafeWidget(), QString::fromUtf8(kind.caption), StartFolder(),
                       QString::fromUtf8(kind.filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromUtf8(kind.suffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

// Says why, or remembers the file's folder as the next dialog's start.
bool Succeeded(CWnd* owner, bool succeeded, const QString& path, const QString& error)
{
    if (!succeeded) {
        AfxMessageBox(owner, error);
        return false;
    }
    g_lastGoodFolder = QFileInfo(path).absolutePath();
    return true;
}

using CaptureWriter = bool (*)(const QString&, const dentora::CaptureLog&, QString*);

// The file written, or empty.
QString WriteCapture(CWnd* owner, const FileKind& kind, CaptureWriter write)
{
    QString error;
    if (!dentora::IsWholeCapture(CurrentCaptureLog(), &error)) {
        AfxMessageBox(owner, QStringLiteral("Nothing to write: %1").arg(error));
        return QString();
    }
    const QString path = AskForFile(owner, kind, true);
    if (path.isEmpty() || !Succeeded(owner, write(path, CurrentCaptureLog(), &error), path, error))
        return QString();
    return path;
}

void SaveCapture(CWnd* owner)
{
    const QString path = WriteCapture(owner, kCaptureToSave, dentora::SaveCaptureFile);
    if (!path.isEmpty())
        SetCurrentCaptureFile(path);
}

void OpenCapture(CWnd* owner)
{
    if (g_nTestState != kIdle) {
        AfxMessageBox(owner,
                      QStringLiteral("A capture cannot be opened while a test runs: press \"Halt Test\" first."));
        return;
    }
    const QString path = AskForFile(owner, kCaptureToOpen, false);
    if (!path.isEmpty())
        OpenCaptureOrSayWhy(owner, path);
}

void SaveImage(CWnd* owner)
{
    const QString path = AskForFile(owner, kPng, true);
    QString error;
    if (!path.isEmpty())
        Succeeded(owner, dentora::SaveChartImage(path, &error), path, error);
}

}  // namespace

void OpenCaptureOrSayWhy(CWnd* owner, const QString& path)
{
    QString error;
    Succeeded(owner, dentora::OpenCaptureFile(path, &error, dentora::ImportAsking(owner->GetSafeWidget())), path,
              error);
}

void AddCaptureFileEntries(ChartMenu* menu, CWnd* owner)
{
    menu->AddEntry(
        QStringLiteral("Open capture\u2026"), [owner] { OpenCapture(owner); }, QKeySequence::Open);
    menu->AddEntry(
        QStringLiteral("Save capture\u2026"), [owner] { SaveCapture(owner); }, QKeySequence::Save);
    menu->addSeparator();
    menu->AddEntry(QStringLiteral("Export VCD\u2026"), [owner] { WriteCapture(owner, kVcd, dentora::ExportVcdFile); });
    menu->AddEntry(QStringLiteral("Export CSV\u2026"), [owner] { WriteCapture(owner, kCsv, dentora::ExportCsvFile); });
    menu->AddEntry(QStringLiteral("Save image\u2026"), [owner] { SaveImage(owner); });
}
