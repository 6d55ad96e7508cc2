// --open FILE: a capture file that cannot be read is said in the message box
// Open capture... shows, naming the file and the line, and the window opens
// with the chart empty; nothing goes to standard error.
#include "capture/decoder.h"
#include "chart/chart_wnd.h"
#include "chart_menu.h"
#include "dialog_driver.h"
#include "run_dentora.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

namespace {

QString WriteNewerVersion(const QTemporaryDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("newer.dentora"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write("dentora-capture 7\n") > 0);
    return path;
}

TEST(OpenOptionTest, UnreadableCaptureIsSaidInTheOpenBoxOverTheWindowWithAnEmptyChart)
{
    QTemporaryDir folder;
    const QString newer = WriteNewerVersion(folder);
    DialogDriver driver;
    ASSERT_TRUE(driver.Opened());

    QString text;
    QWidget* owner = nullptr;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            owner = box->parentWidget();
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start(10);
    OpenCaptureOrSayWhy(&driver.dialog(), newer);
    EXPECT_TRUE(text.startsWith(QStringLiteral("%1, line 1: version \"7\"").arg(newer))) << text.toStdString();
    EXPECT_EQ(owner, driver.dialog().GetSafeWidget());
    EXPECT_TRUE(driver.dialog().GetSafeWidget()->isVisible());
    EXPECT_TRUE(g_chart.LinePoints(kCrankLine)->empty());
    EXPECT_TRUE(g_chart.LinePoints(kCamLine)->empty());
}

// The real program, given the file with --open or alone as a file manager
// gives it: it stays up (the box waits for the user) and says nothing on
// standard error, where a desktop's user would never look.
TEST(OpenOptionTest, ProgramStaysUpInsteadOfExitingOnAnUnreadableCapture)
{
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("missing.dentora"));
    for (const QStringList& arguments : {QStringList{QStringLiteral("--open"), missing}, QStringList{missing}}) {
        QProcess process;
        process.start(QStringLiteral(DENTORA_EXECUTABLE), arguments);
        ASSERT_TRUE(process.waitForStarted());
        EXPECT_FALSE(process.waitForFinished(3000)) << process.readAllStandardError().toStdString();
        process.kill();
        process.waitForFinished();
        EXPECT_FALSE(process.readAllStandardError().contains("dentora:"));
    }
}

TEST(OpenOptionTest, FileAndOpenTogetherAreAUsageError)
{
    QProcess process;
    process.start(QStringLiteral(DENTORA_EXECUTABLE),
                  {QStringLiteral("a.dentora"), QStringLiteral("--open"), QStringLiteral("b.dentora")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("either as FILE or with --open"));
}

}  // namespace
