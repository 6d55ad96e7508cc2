// F1 in the main dialog opens the tool's help, from the page that ships in
// the tool itself.
#include "analyzer_app.h"
#include "analyzer_dlg.h"
#include "fresh_state.h"
#include "res/resource.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(Help, F1OpensTheHelpOnEverythingAUserMeetsAndEscapeClosesIt)
{
    ResetProcessState();
    CAnalyzerApp app;
    auto dialog = std::make_unique<CAnalyzerDlg>();
    app.m_pMainWnd = dialog.get();
    ASSERT_TRUE(dialog->CreateModeless());
    QWidget* window = dialog->GetSafeWidget();
    window->activateWindow();
    QApplication::processEvents();

    auto* runButton = window->findChild<QPushButton*>(QStringLiteral("control1002"));
    ASSERT_NE(runButton, nullptr);
    runButton->setFocus();
    QTest::keyClick(runButton, Qt::Key_F1);
    QTest::keyClick(window, Qt::Key_F1);  // again: the same window comes forward

    const QList<QTextBrowser*> helpWindows = window->findChildren<QTextBrowser*>();
    ASSERT_EQ(helpWindows.size(), 1);
    QTextBrowser* help = helpWindows.front();
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->isWindow());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Dentora Help"));
    const QString text = help->toPlainText();
    for (const char* expected :
         {"Run Test", "Halt Test", "BG Color...", "Grid On/Off...", "Crank Line Color...", "Cam Line Color...", "Exit",
          ">>> Finished <<<", "Step 3: Waiting for Done...", ">>> Out of Sequence - Abort <<<",
          "*** Error in opening COM port ***", "115200 baud", "250 ms", "COM10", "dialout",
          // the chart's menu, its keys and tooltips, the report, and when Exit asks
          "Open capture...", "Ctrl+O", "Save capture...", "Ctrl+S", "Export VCD...", "Save image...", "Fast fetch",
          "Trigger report...", "Anomaly marks", "Tick length...", "Page Up", "Left", "Tooltips", "scrolls the chart",
          "A test is running. Halt it and exit?", "The capture has not been saved. Exit anyway?"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(expected))) << expected;

    const QPointer<QTextBrowser> shown = help;
    QApplication::setActiveWindow(help);
    QTest::keyClick(help, Qt::Key_Escape);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull() || !shown->isVisible()) << "Escape left the help open";
    EXPECT_TRUE(window->isVisible()) << "Escape in the help reached the main window";

    dialog.reset();
    ResetProcessState();
}

}  // namespace
