// Captures as files, through the real dialog: a capture from the simulated
// controller saved, exported and reopened in a second process; the VCD read
// by sigrok-cli and vcd2fst; bad files and failed saves; and the toolkit's
// settings file that must not appear.
#include "analyzer_app.h"
#include "capture/capture_files.h"
#include "capture/test_run.h"
#include "chart/chart_image.h"
#include "chart/chart_wnd.h"
#include "chart_menu.h"
#include "dialog_driver.h"
#include "platform/wnd_testing.h"
#include "res/resource.h"
#include "simulator/pty_controller.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace {

namespace sim = dentora::sim;

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct ProcessRun {
    int exitCode;
    QString out;
    QString err;
};

ProcessRun RunProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(100000)) << program.toStdString();
    const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {code, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class CaptureFilesTest : public DialogTest {
protected:
    void SetUp() override
    {
        // A scratch home: whatever the dialogs write lands here.
        ASSERT_TRUE(m_home.isValid() && m_files.isValid());
        for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            qunsetenv(variable);
        qputenv("HOME", m_home.path().toUtf8());
        DialogTest::SetUp();
    }

    void TearDown() override
    {
        DialogTest::TearDown();
        if (m_controller)
            m_controller->Stop();
    }

    void OnStatusShown(const QString&) override {}

    void RunCapture(int records)
    {
        sim::ControllerConfig config;
        config.records = records;
        config.acknowledgeDelay = std::chrono::milliseconds(30);
        m_controller = std::make_unique<sim::PtyController>(config);
        m_portList->setEditText(QString::fromStdString(m_controller->Start()));
        m_button->click();
        ASSERT_TRUE(m_driver->TickUntilIdle());
        ASSERT_EQ(CurrentCaptureLog().outcome, dentora::TestOutcome::kFinished);
    }

    QString File(const QString& name) const { return m_files.filePath(name); }

    // Right-clicks the chart and finds the entry in the menu that opens.
    QAction* ChartMenuEntry(const QString& entry)
    {
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(50, 50),
                                ClientWidget(g_chart)->mapToGlobal(QPoint(50, 50)));
        QCoreApplication::sendEvent(ClientWidget(g_chart), &click);
        ChartMenu* menu = m_driver->dialog().chartMenu();
        EXPECT_TRUE(menu->isVisible()) << "the right click opened no menu";
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == entry)
                chosen = action;
        EXPECT_NE(chosen, nullptr) << entry.toStdString();
        menu->hide();
        return chosen;
    }

    // Chooses the chart menu's entry, giving the file dialog that follows
    // `path`; returns the text of any message box shown.
    QString ChooseFromChartMenu(const QString& entry, const QString& path)
    {
        QAction* chosen = ChartMenuEntry(entry);
        return AnswerDialogs(path, [chosen] {
            if (chosen)
                chosen->trigger();
        });
    }

    // Runs action, filling in any file dialog with path and closing any
    // message box; returns the message boxes' text.
    QString AnswerDialogs(const QString& path, const std::function<void()>& action)
    {
        QString messages;
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                m_fileDialogs += files->testOption(QFileDialog::DontUseNativeDialog) ? 1 : 1000;
                // Typed into the dialog's file name box, as a user would.
                files->setDirectory(QFileInfo(path).absolutePath());
                files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QFileInfo(path).fileName());
                static_cast<QDialog*>(files)->accept();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages += box->text();
                box->done(QMessageBox::Ok);
            } else if (auto* dialog = qobject_cast<QDialog*>(modal);
                       dialog && dialog->windowTitle() == QStringLiteral("Import") && m_answerImport) {
                m_answerImport(dialog);
            }
        });
        answerer.start(10);
        action();
        return messages;
    }

    std::string FilesUnder(const QString& folder) const
    {
        QStringList found;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            found.push_back(it.next());
        return found.join(QLatin1Char(' ')).toStdString();
    }

    QTemporaryDir m_home;
    QTemporaryDir m_files;
    std::unique_ptr<sim::PtyController> m_controller;
    int m_fileDialogs = 0;
    std::function<void(QDialog*)> m_answerImport;  // what a user does in the import dialog
};

using Points = std::map<float, float>;

TEST_F(CaptureFilesTest, SavedCaptureReopensInANewProcessWithTheSameRecordsFilesAndPixels)
{
    RunCapture(300);
    const dentora::CaptureLog live = CurrentCaptureLog();
    const Points crank = *g_chart.LinePoints(1);
    const Points cam = *g_chart.LinePoints(2);

    // Ctrl+S saves, as the menu's entry does.
    QString messages = AnswerDialogs(File("capture.dentora"), [this] {
        QWidget* dialog = m_driver->dialog().GetSafeWidget();
        QApplication::setActiveWindow(dialog);
        QTest::keyClick(dialog, Qt::Key_S, Qt::ControlModifier);
    });
    messages += ChooseFromChartMenu(QStringLiteral("Export VCD\u2026"), File("capture.vcd"));
    messages += ChooseFromChartMenu(QStringLiteral("Export CSV\u2026"), File("capture.csv"));
    messages += ChooseFromChartMenu(QStringLiteral("Save image\u2026"), File("chart.png"));
    EXPECT_EQ(messages, QString());
    EXPECT_EQ(m_fileDialogs, 4) << "each write asks for its file in Qt's own dialog";
    EXPECT_EQ(FilesUnder(m_home.path()), "") << "the file dialogs left settings behind";

    QTemporaryDir second;
    const ProcessRun reopened = RunProgram(QStringLiteral(CAPTURE_FILE_HELPER),
                                           {QStringLiteral("reopen"), File("capture.dentora"), second.path()});
    ASSERT_EQ(reopened.exitCode, 0) << reopened.err.toStdString();
    for (const char* name : {"capture.vcd", "capture.csv"})
        EXPECT_EQ(Contents(second.filePath(name)), Contents(File(name))) << name;
    EXPECT_EQ(Contents(second.filePath("resaved.dentora")), Contents(File("capture.dentora")));
    const QImage before(File("chart.png"));
    ASSERT_FALSE(before.isNull());
    EXPECT_TRUE(before == QImage(second.filePath("chart.png"))) << "the reopened chart looks different";

    // Opened into this process, the chart gets the live capture's points, bit for bit.
    QString error;
    g_chart.ClearPoints();
    ASSERT_TRUE(dentora::OpenCaptureFile(File("capture.dentora"), &error)) << error.toStdString();
    EXPECT_EQ(CurrentCaptureLog().records, live.records);
    EXPECT_EQ(CurrentCaptureLog().announcedBytes, live.announcedBytes);
    EXPECT_EQ(CurrentCaptureLog().port, live.port);
    EXPECT_EQ(CurrentCaptureLog().startedAt, live.startedAt);
    EXPECT_EQ(CurrentCaptureLog().outcome, live.outcome);
    EXPECT_TRUE(*g_chart.LinePoints(1) == crank && *g_chart.LinePoints(2) == cam);
}

// The edges sigrok-cli samples from a VCD ("-O bits": one character per
// sample and channel), as (sample, channel, level) where a level changes.
using Transitions = std::vector<std::tuple<std::size_t, std::string, char>>;

Transitions SampledTransitions(const QString& bitsOutput)
{
    std::map<std::string, std::string> samples;
    for (const QString& line : bitsOutput.split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        const QString name = line.left(colon);
        if (colon > 0 && (name == QLatin1String("crank") || name == QLatin1String("cam")))
            samples[name.toStdString()] += line.mid(colon + 1).remove(QLatin1Char(' ')).toStdString();
    }
    Transitions found;
    for (const auto& [channel, bits] : samples) {
        EXPECT_FALSE(bits.empty());
        for (std::size_t i = 0; i < bits.size(); ++i)
            if (i == 0 ? bits[0] != '0' : bits[i] != bits[i - 1])
                found.emplace_back(i, channel, bits[i]);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<QString> TimestampsOf(const QByteArray& vcd)
{
    std::vector<QString> times;
    for (const QByteArray& line : vcd.split('\n'))
        if (line.startsWith('#'))
            times.push_back(QString::fromLatin1(line.trimmed()));
    return times;
}

TEST_F(CaptureFilesTest, ExportedVcdShowsTheEnginesEdgesToSigrokAndGtkwave)
{
    RunCapture(120);
    QString error;
    ASSERT_TRUE(dentora::ExportVcdFile(File("capture.vcd"), CurrentCaptureLog(), &error)) << error.toStdString();

    // At the default 1 us per tick, sample n of a 1 MHz sampling is tick n.
    Transitions expected;
    sim::EdgeStream engine(m_controller->Timing());
    std::map<std::string, char> levels{{"crank", '0'}, {"cam", '0'}};
    // The test fetches more records than the controller announced (one per two bytes).
    for (std::size_t edge = 2; edge < CurrentCaptureLog().records.size(); ++edge) {
        const sim::Edge next = engine.Next();
        const std::string channel = next.channel == sim::Channel::Crank ? "crank" : "cam";
        const char level = next.rising ? '1' : '0';
        if (std::exchange(levels[channel], level) != level)
            expected.emplace_back(std::size_t(next.tick), channel, level);
    }
    std::sort(expected.begin(), expected.end());

    const ProcessRun sigrok = RunProgram(QStringLiteral("sigrok-cli"),
                                         {QStringLiteral("-I"), QStringLiteral("vcd"), QStringLiteral("-i"),
                                          File("capture.vcd"), QStringLiteral("-O"), QStringLiteral("bits")});
    ASSERT_EQ(sigrok.exitCode, 0) << sigrok.err.toStdString();
    EXPECT_TRUE(sigrok.out.contains(QStringLiteral("samplerate: 1000000"))) << sigrok.out.left(200).toStdString();
    const Transitions sampled = SampledTransitions(sigrok.out);
    EXPECT_EQ(sampled.size(), expected.size());
    const auto [differs, _] = std::mismatch(sampled.begin(), sampled.end(), expected.begin(), expected.end());
    EXPECT_TRUE(differs == sampled.end())
        << "first difference at sample " << std::get<0>(*differs) << " on " << std::get<1>(*differs);

    const ProcessRun fst = RunProgram(QStringLiteral("vcd2fst"), {File("capture.vcd"), File("capture.fst")});
    ASSERT_EQ(fst.exitCode, 0) << fst.err.toStdString();
    // And back: GTKWave's own format holds every step of ours.
    const ProcessRun back = RunProgram(QStringLiteral("fst2vcd"), {File("capture.fst")});
    ASSERT_EQ(back.exitCode, 0) << back.err.toStdString();
    EXPECT_EQ(TimestampsOf(back.out.toUtf8()), TimestampsOf(Contents(File("capture.vcd"))));
}

TEST_F(CaptureFilesTest, BadFilesAreRefusedNamingTheFileAndLeaveTheChartAsItWas)
{
    RunCapture(40);
    QString error;
    ASSERT_TRUE(dentora::SaveCaptureFile(File("good.dentora"), CurrentCaptureLog(), &error));
    const QByteArray good = Contents(File("good.dentora"));
    Write(File("cut.dentora"), good.left(good.size() / 2));
    Write(File("garbage.dentora"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    Write(File("empty.dentora"), QByteArray());
    {
        QFile huge(File("huge.dentora"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 30));  // sparse: 1 GB, no disk
    }
    const Points crank = *g_chart.LinePoints(1);
    const std::vector<dentora::TriggerRecord> records = CurrentCaptureLog().records;
    const std::pair<const char*, const char*> cases[] = {
        {"cut.dentora", ", line "},
        {"garbage.dentora", ", line 1: not a Dentora capture"},
        {"empty.dentora", ": the file is empty"},
        {"huge.dentora", ": the file is 1073741824 bytes, more than any capture"},
    };
    for (const auto& [name, says] : cases) {
        const QString message = ChooseFromChartMenu(QStringLiteral("Open capture\u2026"), File(name));
        EXPECT_TRUE(message.startsWith(File(name) + QString::fromUtf8(says))) << message.toStdString();
        EXPECT_TRUE(*g_chart.LinePoints(1) == crank) << name;
        EXPECT_EQ(CurrentCaptureLog().records, records) << name;
    }
    // The file dialog lets no missing file through; --open can name one.
    EXPECT_FALSE(dentora::OpenCaptureFile(File("missing.dentora"), &error));
    EXPECT_TRUE(error.startsWith(File("missing.dentora") + QStringLiteral(": "))) << error.toStdString();
}

// A recording sigrok-cli made: its wires are named D0 and D1, so the import
// dialog asks which is which; the user takes D1 as the crank and D0, inverted,
// as the cam. The chart shows every edge; saved and reopened, it is the same.
TEST_F(CaptureFilesTest, RecordingOfAnotherToolOpensThroughTheImportDialog)
{
    const ProcessRun sigrok = RunProgram(QStringLiteral("sigrok-cli"),
                                         {"-d", "demo", "--channels", "D0,D1", "--config", "samplerate=1M", "--samples",
                                          "3000", "-O", "vcd", "-o", File("demo.vcd")});
    ASSERT_EQ(sigrok.exitCode, 0) << sigrok.err.toStdString();
    QStringList offered;
    m_answerImport = [&](QDialog* dialog) {
        const QList<QComboBox*> boxes = dialog->findChildren<QComboBox*>();
        ASSERT_EQ(boxes.size(), 2);
        for (int i = 0; i < boxes[0]->count(); ++i)
            offered.push_back(boxes[0]->itemText(i));
        boxes[0]->setCurrentIndex(1);  // crank: D1
        boxes[1]->setCurrentIndex(1);  // cam: D0
        dialog->findChildren<QCheckBox*>()[1]->setChecked(true);
        dialog->accept();
    };
    const QString message = ChooseFromChartMenu(QStringLiteral("Open capture\u2026"), File("demo.vcd"));
    ASSERT_TRUE(message.isEmpty()) << message.toStdString();
    ASSERT_EQ(offered.size(), 2);
    EXPECT_TRUE(offered[0].startsWith(QStringLiteral("D0 ("))) << offered[0].toStdString();
    const dentora::CaptureLog opened = CurrentCaptureLog();
    ASSERT_TRUE(opened.source);
    EXPECT_EQ(opened.source->crank, "D1");
    EXPECT_EQ(opened.source->cam, "D0");
    EXPECT_TRUE(opened.source->camInverted);
    std::size_t crankRecords = 0;
    for (std::size_t i = 2; i < opened.records.size(); ++i)
        crankRecords += opened.records[i].type == 'R' || opened.records[i].type == 'F' ? 1 : 0;
    // Two points per edge, after the seed point every trace starts with.
    EXPECT_EQ(g_chart.LinePoints(1)->size(), 1 + 2 * crankRecords);

    QString error;
    ASSERT_TRUE(dentora::SaveCaptureFile(File("demo.dentora"), opened, &error)) << error.toStdString();
    ASSERT_TRUE(dentora::OpenCaptureFile(File("demo.dentora"), &error)) << error.toStdString();
    EXPECT_EQ(CurrentCaptureLog().records, opened.records);
    EXPECT_EQ(CurrentCaptureLog().tickNanoseconds, std::optional<std::uint64_t>(1000));
    EXPECT_EQ(dentora::KnownTickNanoseconds(), std::optional<std::uint64_t>(1000)) << "the file's tick length is used";

    // A recording with a fault is refused naming the line; the chart stays.
    Write(File("back.csv"), "time,crank,cam\n0,0,0\n0.002,1,0\n0.001,0,1\n");
    const Points crank = *g_chart.LinePoints(1);
    const QString refused = ChooseFromChartMenu(QStringLiteral("Open capture\u2026"), File("back.csv"));
    EXPECT_TRUE(refused.startsWith(File("back.csv") + QStringLiteral(", line 4: time goes back")))
        << refused.toStdString();
    EXPECT_TRUE(*g_chart.LinePoints(1) == crank);
}

TEST_F(CaptureFilesTest, OpeningIsRefusedWhileATestRuns)
{
    sim::ControllerConfig config;
    config.faults.silent = true;
    m_controller = std::make_unique<sim::PtyController>(config);
    m_portList->setEditText(QString::fromStdString(m_controller->Start()));
    m_button->click();
    Tick();
    ASSERT_NE(g_nTestState, kIdle);
    const QString message = ChooseFromChartMenu(QStringLiteral("Open capture\u2026"), File("any.dentora"));
    EXPECT_TRUE(message.contains(QStringLiteral("while a test runs"))) << message.toStdString();
    EXPECT_EQ(m_fileDialogs, 0) << "no file should be asked for";
}

TEST_F(CaptureFilesTest, FailedSaveLeavesTheExistingFileAsItWas)
{
    RunCapture(300);
    QString error;
    ASSERT_TRUE(dentora::SaveCaptureFile(File("capture.dentora"), CurrentCaptureLog(), &error));
    const QByteArray saved = Contents(File("capture.dentora"));
    const QByteArray previous("an earlier file of the user's\n");
    Write(File("kept.dentora"), previous);

    // A disk that fills up half-way: the process may write no file longer
    // than half the capture.
    const ProcessRun full = RunProgram(QStringLiteral(CAPTURE_FILE_HELPER),
                                       {QStringLiteral("save-limited"), QString::number(saved.size() / 2),
                                        File("capture.dentora"), File("kept.dentora")});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_TRUE(
        full.err.contains(QStringLiteral("Cannot write %1: File too large; the file already there is left as it was.\n")
                              .arg(File("kept.dentora"))))
        << full.err.toStdString();
    EXPECT_EQ(Contents(File("kept.dentora")), previous);
    EXPECT_EQ(QDir(m_files.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "a temporary file was left";

    const ProcessRun roomy = RunProgram(
        QStringLiteral(CAPTURE_FILE_HELPER),
        {QStringLiteral("save-limited"), QString::number(saved.size()), File("capture.dentora"), File("kept.dentora")});
    EXPECT_EQ(roomy.exitCode, 0) << roomy.err.toStdString();
    EXPECT_EQ(Contents(File("kept.dentora")), saved);

    EXPECT_FALSE(dentora::SaveCaptureFile(File("no/such/folder/capture.dentora"), CurrentCaptureLog(), &error));
    EXPECT_EQ(error,
              QStringLiteral("Cannot write %1: No such file or directory.").arg(File("no/such/folder/capture.dentora")))
        << "a file that is not there is not said to be kept";
}

// What a modal window said when it came up, answered by respond.
struct ModalSeen {
    QString text;
    QString title;
    bool hasIcon = false;
    QString startFolder;  // of a file dialog
};

// Runs action; each modal window that comes up is recorded and handed to
// respond, which closes it.
std::vector<ModalSeen> WatchModals(const std::function<void()>& action, const std::function<void(QWidget*)>& respond)
{
    std::vector<ModalSeen> seen;
    QTimer watcher;
    QSet<QWidget*> answered;  // a response may leave its window up a while
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || answered.contains(modal))
            return;
        answered.insert(modal);
        ModalSeen what{QString(), modal->windowTitle(), !modal->windowIcon().isNull(), QString()};
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            what.text = box->text();
        if (auto* files = qobject_cast<QFileDialog*>(modal))
            what.startFolder = files->directory().absolutePath();
        seen.push_back(what);
        respond(modal);
    });
    watcher.start(10);
    action();
    return seen;
}

void AnswerNo(QWidget* modal)
{
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No)) << "a stray Return must not lose the capture";
        box->button(QMessageBox::No)->click();
    }
}

// A capture fetched and not saved is not lost to one key: Exit, Escape and
// the close box ask, Return on the chart does nothing; once saved (the
// title then names the file) or empty, they close at once.
TEST_F(CaptureFilesTest, UnsavedCaptureIsNotClosedAwayWithoutAQuestion)
{
    CAnalyzerApp app;  // the tool's name on its message boxes
    RunCapture(40);
    QWidget* window = m_driver->dialog().GetSafeWidget();
    const QString caption = QString::fromUtf8(g_analyzerDialogTemplate.caption);
    Tick();
    EXPECT_EQ(window->windowTitle(), caption);
    QApplication::setActiveWindow(window);

    QWidget* chart = ClientWidget(g_chart);
    auto* exitButton = window->findChild<QPushButton*>(QStringLiteral("control%1").arg(IDOK));
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Exit", [exitButton] { exitButton->click(); }},
        {"Escape", [window] { QTest::keyClick(window, Qt::Key_Escape); }},
        {"close box", [window] { window->close(); }},
        {"Return on the chart",
         [chart] {
             chart->setFocus();
             QTest::keyClick(chart, Qt::Key_Return);
         }},
    };
    for (const auto& [way, press] : ways) {
        const auto seen = WatchModals(press, AnswerNo);
        EXPECT_TRUE(window->isVisible()) << way;
        if (std::string(way) == "Return on the chart") {
            EXPECT_TRUE(seen.empty()) << "Return on the chart asked something";
            continue;
        }
        ASSERT_EQ(seen.size(), 1u) << way;
        EXPECT_EQ(seen[0].text, QStringLiteral("The capture has not been saved. Exit anyway?")) << way;
        EXPECT_EQ(seen[0].title, QStringLiteral("Dentora"));
        EXPECT_TRUE(seen[0].hasIcon);
    }

    EXPECT_EQ(ChooseFromChartMenu(QStringLiteral("Save capture\u2026"), File("kept.dentora")), QString());
    Tick();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("kept.dentora - ") + caption);
    const auto seen = WatchModals([exitButton] { exitButton->click(); }, AnswerNo);
    EXPECT_TRUE(seen.empty()) << "a saved capture asked: " << seen.front().text.toStdString();
    EXPECT_FALSE(window->isVisible());
}

// An opened capture can be had again: the title names its file. The next
// test's capture is unsaved again, and "Yes" lets it go.
TEST_F(CaptureFilesTest, OpenedCaptureNamesItsFileAndTheNextOneAsksAgain)
{
    RunCapture(30);
    EXPECT_EQ(ChooseFromChartMenu(QStringLiteral("Save capture\u2026"), File("first.dentora")), QString());
    RunCapture(30);
    QWidget* window = m_driver->dialog().GetSafeWidget();
    const QString caption = QString::fromUtf8(g_analyzerDialogTemplate.caption);
    Tick();
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_EQ(ChooseFromChartMenu(QStringLiteral("Open capture\u2026"), File("first.dentora")), QString());
    Tick();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("first.dentora - ") + caption);

    RunCapture(30);
    Tick();
    EXPECT_EQ(window->windowTitle(), caption);
    const auto seen = WatchModals([window] { QTest::keyClick(window, Qt::Key_Escape); },
                                  [](QWidget* modal) {
                                      if (auto* box = qobject_cast<QMessageBox*>(modal))
                                          box->button(QMessageBox::Yes)->click();
                                  });
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_FALSE(window->isVisible());
}

// A failed save (to /proc, which takes no file) leaves no trace on the
// next dialog: it starts at home, then where a file was last written; the
// list names a file's type from its name, never from its bytes.
TEST_F(CaptureFilesTest, FileDialogsStartAtHomeOrTheLastGoodFolderAndReadNoFile)
{
    RunCapture(30);
    const auto typeTo = [](const QString& path) {
        return [path](QWidget* modal) {
            if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
                static_cast<QDialog*>(files)->accept();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                box->done(QMessageBox::Ok);
            }
        };
    };
    const auto choose = [this](const char* entry) {
        return [this, entry] {
            if (QAction* action = ChartMenuEntry(QString::fromUtf8(entry)))
                action->trigger();
        };
    };
    auto seen = WatchModals(choose("Save capture\u2026"), typeTo(QStringLiteral("/proc/x.dentora")));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].startFolder, QDir(m_home.path()).absolutePath());
    EXPECT_EQ(seen[1].text, QStringLiteral("Cannot write /proc/x.dentora: No such file or directory."));

    seen = WatchModals(choose("Export CSV\u2026"), typeTo(File("run.csv")));
    ASSERT_GE(seen.size(), 1u);
    EXPECT_EQ(seen[0].startFolder, QDir(m_home.path()).absolutePath()) << "started where a save failed";

    // A file whose name says nothing and whose bytes say PNG.
    Write(File("notes"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    QString typeShown;
    QTimer lister;
    QElapsedTimer listing;
    seen = WatchModals(choose("Open capture\u2026"), [&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        if (!files)
            return;
        files->selectNameFilter(QStringLiteral("All files (*)"));
        auto* model = files->findChild<QFileSystemModel*>(QStringLiteral("qt_filesystem_model"));
        ASSERT_NE(model, nullptr);
        listing.start();
        QObject::connect(&lister, &QTimer::timeout, files, [&, files, model] {
            const QModelIndex folder = model->index(m_files.path());
            for (int row = 0; row < model->rowCount(folder); ++row)
                if (model->index(row, 0, folder).data().toString() == QLatin1String("notes"))
                    typeShown = model->index(row, 2, folder).data().toString();
            if (!typeShown.isEmpty() || listing.elapsed() > 5000) {
                files->reject();
            }
        });
        lister.start(10);
    });
    ASSERT_GE(seen.size(), 1u);
    EXPECT_EQ(seen[0].startFolder, QDir(m_files.path()).absolutePath()) << "not where the last file was written";
    EXPECT_FALSE(typeShown.isEmpty()) << "the list never named the file's type";
    EXPECT_FALSE(typeShown.contains(QStringLiteral("PNG"))) << "the list read the file to name its type";
}

}  // namespace
