// Picking colours saves nothing: the tool runs with a scratch home and
// configuration directory, colours are picked through the real picker (and
// added to its custom colours where it lets them), the process exits, and
// both directories are still empty.
#include "analyzer_dlg.h"
#include "chart/chart_wnd.h"
#include "fresh_state.h"
#include "res/resource.h"

#include <QApplication>
#include <QColorDialog>
#include <QDirIterator>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Adds the colour to the custom colours, as far as the picker lets a user,
// then OK.
void PickAddingToCustomColours(QColorDialog& picker, const QColor& colour)
{
    picker.setCurrentColor(colour);
    int addButtons = 0;
    for (QPushButton* button : picker.findChildren<QPushButton*>()) {
        if (button->text() == QColorDialog::tr("&Add to Custom Colors")) {
            ++addButtons;
            button->click();
        }
    }
    EXPECT_EQ(addButtons, 1) << "the picker's button for adding a custom colour is not where it was";
    picker.accept();
}

// Run only as the child process of the test below.
TEST(NothingSaved, DISABLED_PickColoursThroughThePickerAndExit)
{
    ResetProcessState();
    auto dialog = std::make_unique<CAnalyzerDlg>();
    ASSERT_TRUE(dialog->CreateModeless());
    const std::pair<int, QColor> picks[] = {{IDC_BKCOLOR, QColor(40, 60, 80)}, {IDC_CRANK_COLOR, QColor(250, 0, 250)}};
    for (const auto& [buttonId, colour] : picks) {
        bool answered = false;
        QObject scope;
        QTimer::singleShot(0, &scope, [&, colour = colour] {
            if (auto* picker = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
                answered = true;
                PickAddingToCustomColours(*picker, colour);
            }
        });
        dialog->GetSafeWidget()->findChild<QPushButton*>(QStringLiteral("control%1").arg(buttonId))->click();
        ASSERT_TRUE(answered) << buttonId;
    }
    EXPECT_EQ(g_chart.GetBackColor(), RGB(40, 60, 80));
    dialog.reset();
    ResetProcessState();
}

QStringList FilesUnder(const QString& directory)
{
    QStringList files;
    QDirIterator it(directory, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

TEST(NothingSaved, PickingColoursWritesNoFile)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString home = scratch.filePath(QStringLiteral("home"));
    const QString config = scratch.filePath(QStringLiteral("config"));
    ASSERT_TRUE(QDir().mkpath(home) && QDir().mkpath(config));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=NothingSaved.DISABLED_PickColoursThroughThePickerAndExit")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    ASSERT_EQ(child.exitCode(), 0) << output.toStdString();
    ASSERT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();

    for (const QString& directory : {home, config}) {
        const QStringList files = FilesUnder(directory);
        EXPECT_TRUE(files.isEmpty()) << files.join(QStringLiteral(", ")).toStdString();
    }
}

}  // namespace
