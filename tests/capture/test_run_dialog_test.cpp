// The test run end to end: the real dialog, headless, against the simulated
// engine controller on a pseudo-terminal typed into the port box. Ticks are
// delivered through the dialog's own timer, as fast as they can be handled.
#include "capture/fetch_options.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "dialog_driver.h"
#include "platform/wnd_testing.h"
#include "res/resource.h"
#include "serial/serial_link.h"
#include "simulator/pty_controller.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {

namespace sim = dentora::sim;

using Points = std::map<float, float>;

// A status line as it appeared, with the button's text at that moment.
struct Shown {
    QString status;
    QString button;
    bool operator==(const Shown& other) const { return status == other.status && button == other.button; }
};

void PrintTo(const Shown& shown, std::ostream* out)
{
    *out << '"' << shown.status.toStdString() << "\" [" << shown.button.toStdString() << ']';
}

const QString kRunTest = QStringLiteral("Run Test");
const QString kHaltTest = QStringLiteral("Halt Test");
const QString kRunning = QStringLiteral(">>> Running Application <<<");
const QString kOpened = QStringLiteral("Running Application - Opened COM port...");
const QString kPurge = QStringLiteral("Step 1: Purge comm port");
const QString kSendGo = QStringLiteral("Step 2: Send out go command");
const QString kAwaitDone = QStringLiteral("Step 3: Get acknowledge back");
const QString kWaiting = QStringLiteral("Step 3: Waiting for Done...");
const QString kAskCount = QStringLiteral("Step 4: Ask for number of bytes");
const QString kPlot = QStringLiteral("Step 5: Plot Tach Signals...");
const QString kFinished = QStringLiteral(">>> Finished <<<");
const QString kOutOfSequence = QStringLiteral(">>> Out of Sequence - Abort <<<");
const QString kNoAnswer = QStringLiteral(">>> No answer from controller - Abort <<<");

// The lines of a capture that runs through without a hitch.
const std::vector<Shown> kUpToThePlot = {
    {kRunning, kRunTest},    {kOpened, kRunTest},    {kPurge, kRunTest}, {kSendGo, kHaltTest},
    {kAwaitDone, kHaltTest}, {kAskCount, kHaltTest}, {kPlot, kHaltTest},
};

std::vector<Shown> Then(std::vector<Shown> lines, std::initializer_list<Shown> more)
{
    lines.insert(lines.end(), more);
    return lines;
}

// Records the tool should fetch for an announced count: the whole records
// in it, three bytes each.
std::uint64_t RecordsFetchedFor(int count)
{
    return std::uint64_t(count / 3);
}

// The traces the engine model gives for its first `edges` edges, as the
// chart holds them: one point per x, the seed at 0.01 first.
std::pair<Points, Points> ExpectedTraces(const sim::EngineTiming& timing, std::size_t edges)
{
    const double unitsPerTick = sim::ChartUnitsPerTick(timing);
    Points crank{{0.01f, 0.0f}};
    Points cam{{0.01f, 0.0f}};
    float crankLevel = 0.0f;
    float camLevel = 0.0f;
    sim::EdgeStream stream(timing);
    for (std::size_t i = 0; i < edges; ++i) {
        const sim::Edge edge = stream.Next();
        const bool isCrank = edge.channel == sim::Channel::Crank;
        Points& line = isCrank ? crank : cam;
        float& level = isCrank ? crankLevel : camLevel;
        const float high = isCrank ? 0.5f : 0.4f;
        const float x = float(double(edge.tick) * unitsPerTick);
        line[x] = level;
        level = edge.rising ? high : 0.0f;
        line[x + 0.01f] = level;
    }
    return {crank, cam};
}

void ExpectTrace(UINT lineId, const Points& expected)
{
    const Points* actual = g_chart.LinePoints(lineId);
    ASSERT_NE(actual, nullptr);
    ASSERT_EQ(actual->size(), expected.size()) << "line " << lineId;
    auto want = expected.begin();
    for (const auto& [x, y] : *actual) {
        EXPECT_NEAR(x, want->first, 1e-3 + 1e-6 * std::fabs(want->first)) << "line " << lineId;
        EXPECT_EQ(y, want->second) << "line " << lineId << " at x " << x;
        ++want;
    }
}

// Each text the status box put on the screen, with when it did.
class PaintedStatus : public QObject {
public:
    struct Painted {
        QString text;
        qint64 atMs;
    };

    explicit PaintedStatus(QLineEdit* box) : m_box(box)
    {
        m_clock.start();
        box->installEventFilter(this);
    }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const Painted& entry : m_painted)
            texts.push_back(entry.text.toStdString());
        return texts;
    }

    // How long text stood in the box: from its paint to the next text's paint.
    qint64 ShownForMs(const QString& text) const
    {
        for (std::size_t i = 0; i + 1 < m_painted.size(); ++i) {
            if (m_painted[i].text == text)
                return m_painted[i + 1].atMs - m_painted[i].atMs;
        }
        return -1;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && (m_painted.empty() || m_painted.back().text != m_box->text()))
            m_painted.push_back({m_box->text(), m_clock.elapsed()});
        return false;
    }

private:
    QLineEdit* m_box;
    QElapsedTimer m_clock;
    std::vector<Painted> m_painted;
};

class TestRunDialogTest : public DialogTest {
protected:
    void OnStatusShown(const QString& text) override { m_shown.push_back({text, m_button->text()}); }

    void TearDown() override
    {
        DialogTest::TearDown();
        if (m_controller)
            m_controller->Stop();
    }

    void TickUntilIdle() { ASSERT_TRUE(m_driver->TickUntilIdle()) << "the test run did not end"; }

    // Starts the controller and types its device into the port box.
    void ConnectController(sim::ControllerConfig config,
                           std::chrono::milliseconds acknowledgeDelay = std::chrono::milliseconds(30))
    {
        config.acknowledgeDelay = acknowledgeDelay;
        m_controller = std::make_unique<sim::PtyController>(config);
        const std::string path = m_controller->Start();
        m_portList->setEditText(QString::fromStdString(path));
    }

    void RunCapture(const sim::ControllerConfig& config,
                    std::chrono::milliseconds acknowledgeDelay = std::chrono::milliseconds(30))
    {
        ConnectController(config, acknowledgeDelay);
        m_button->click();
        ASSERT_NE(g_nTestState, kIdle) << m_status->text().toStdString();
        TickUntilIdle();
    }

    std::vector<std::string> ShownStatuses() const
    {
        std::vector<std::string> statuses;
        for (const Shown& shown : m_shown)
            statuses.push_back(shown.status.toStdString());
        return statuses;
    }

    std::uint64_t NextByteRequests() const { return m_controller->Stats().protocol.nextByteCommands; }

    void ExpectTracesOfFirstEdges(std::size_t edges)
    {
        const auto [crank, cam] = ExpectedTraces(m_controller->Timing(), edges);
        ExpectTrace(1, crank);
        ExpectTrace(2, cam);
    }

    // Closes the next message box as a user would and returns its text.
    QString AnswerNextMessageBox(const std::function<void()>& action)
    {
        QString text;
        QString statusMeanwhile;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                statusMeanwhile = m_status->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start(10);
        action();
        EXPECT_EQ(statusMeanwhile, kRunning) << "the error line should follow the message box";
        return text;
    }

    std::unique_ptr<sim::PtyController> m_controller;
    std::vector<Shown> m_shown;
};

TEST_F(TestRunDialogTest, WholeCaptureDrawsTheEngineAndReportsEachStep)
{
    sim::ControllerConfig config;
    config.records = 40;
    RunCapture(config);

    EXPECT_EQ(m_shown, Then(kUpToThePlot, {{kFinished, kRunTest}}));
    const std::uint64_t records = RecordsFetchedFor(3 * 40);
    EXPECT_EQ(NextByteRequests(), 3 * records);
    ExpectTracesOfFirstEdges(records - 2);
    EXPECT_EQ(g_hComm, nullptr);

    const dentora::CaptureLog& log = CurrentCaptureLog();
    EXPECT_EQ(log.outcome, dentora::TestOutcome::kFinished);
    EXPECT_EQ(log.announcedBytes, 3 * 40);
    EXPECT_EQ(log.port, m_portList->currentText());
    sim::TachLog served(m_controller->Timing());
    ASSERT_EQ(log.records.size(), records);
    for (const dentora::TriggerRecord& record : log.records) {
        const sim::Record want = served.Next();
        EXPECT_EQ(record, (dentora::TriggerRecord{want.type, want.ticks}));
    }
}

TEST_F(TestRunDialogTest, NoiseBeforeTheAcknowledgeIsWaitedThrough)
{
    sim::ControllerConfig config;
    config.records = 20;
    config.faults.noiseBeforeAcknowledge = 3;
    RunCapture(config);

    std::vector<Shown> expected(kUpToThePlot.begin(), kUpToThePlot.begin() + 5);
    expected.push_back({kWaiting, kHaltTest});
    expected.insert(expected.end(), kUpToThePlot.begin() + 5, kUpToThePlot.end());
    expected.push_back({kFinished, kRunTest});
    EXPECT_EQ(m_shown, expected);
    ExpectTracesOfFirstEdges(RecordsFetchedFor(3 * 20) - 2);
}

class HaltWhileWaitingTest : public TestRunDialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(HaltWhileWaitingTest, HaltFinishesAtTheNextTickAndFreesThePort)
{
    sim::ControllerConfig config;
    (GetParam() ? config.faults.silent : config.faults.neverAcknowledge) = true;
    ConnectController(config);
    m_button->click();
    for (int tick = 0; tick < 4; ++tick)  // purge, go, and two polls
        Tick();
    EXPECT_EQ(m_status->text(), kWaiting);
    EXPECT_EQ(m_button->text(), kHaltTest);

    m_button->click();
    EXPECT_EQ(m_status->text(), kRunning);
    EXPECT_NE(g_hComm, nullptr) << "the port stays open until the next tick";
    Tick();
    EXPECT_EQ(m_shown.back(), (Shown{kFinished, kRunTest}));
    EXPECT_EQ(g_nTestState, kIdle);
    EXPECT_EQ(g_hComm, nullptr);
    EXPECT_EQ(NextByteRequests(), 0u);
    EXPECT_EQ(CurrentCaptureLog().outcome, dentora::TestOutcome::kHalted);

    m_button->click();
    EXPECT_EQ(m_status->text(), kOpened) << "the halted test left the port taken";
}

INSTANTIATE_TEST_SUITE_P(NeverAcknowledgeOrSilent, HaltWhileWaitingTest, ::testing::Bool());

TEST_F(TestRunDialogTest, CountsOfNoRecordOrOnlyCalibrationDrawOnlyTheSeeds)
{
    // 2 is no whole record; 3 and 5 are the first calibration record alone, 6 both.
    for (const auto& [count, requests] : {std::pair<std::uint16_t, std::uint64_t>{2, 0}, {3, 3}, {5, 3}, {6, 6}}) {
        sim::ControllerConfig config;
        config.countOverride = count;
        RunCapture(config);
        EXPECT_EQ(NextByteRequests(), requests) << count;
        EXPECT_EQ(m_shown, Then(kUpToThePlot, {{kFinished, kRunTest}})) << count;
        ExpectTracesOfFirstEdges(0);
        TearDown();
        m_shown.clear();
        SetUp();
    }
}

TEST_F(TestRunDialogTest, CountBeyondTheBufferStopsAtTheBuffersEnd)
{
    sim::ControllerConfig config;
    config.countOverride = sim::kOversizedCount;
    RunCapture(config);
    // More records are announced than the buffer holds: they start at every
    // even position whose three cells fit in its 8100 bytes, 0, 2, ..., 8096.
    const std::uint64_t recordsThatFit = 8096 / 2 + 1;
    ASSERT_GT(RecordsFetchedFor(sim::kOversizedCount), recordsThatFit);
    EXPECT_EQ(NextByteRequests(), 3 * recordsThatFit);
    EXPECT_EQ(m_shown, Then(kUpToThePlot, {{kFinished, kRunTest}}));
    ExpectTracesOfFirstEdges(recordsThatFit - 2);
    EXPECT_TRUE(m_status->toolTip().endsWith(
        QStringLiteral("4049 records fetched for the 12300 bytes announced, up to the end of the capture buffer.")))
        << m_status->toolTip().toStdString();
}

TEST_F(TestRunDialogTest, RecordOutOfSequenceAbortsKeepingTheEdgesBeforeIt)
{
    sim::ControllerConfig config;
    config.faults.badTypeAtRecord = 5;
    RunCapture(config);
    EXPECT_EQ(m_shown, Then(kUpToThePlot, {{kOutOfSequence, kHaltTest}, {kFinished, kRunTest}}));
    EXPECT_EQ(NextByteRequests(), 3u * 5 + 1);
    ExpectTracesOfFirstEdges(3);
    EXPECT_EQ(CurrentCaptureLog().outcome, dentora::TestOutcome::kOutOfSequence);
    EXPECT_EQ(CurrentCaptureLog().records.size(), 5u) << "the rejected record has no tick count to keep";
}

TEST_F(TestRunDialogTest, ZeroCalibrationAbortsAsOutOfSequence)
{
    sim::ControllerConfig config;
    config.faults.zeroCalibration = true;
    RunCapture(config);
    EXPECT_EQ(m_shown, Then(kUpToThePlot, {{kOutOfSequence, kHaltTest}, {kFinished, kRunTest}}));
    EXPECT_EQ(NextByteRequests(), 6u);
    ExpectTracesOfFirstEdges(0);
}

TEST_F(TestRunDialogTest, LostAnswerEndsTheTestWithoutInventingATickCount)
{
    sim::ControllerConfig config;
    config.faults.dropAnswerAtByte = 3 * 5 + 1;  // record 5's low tick byte
    RunCapture(config);
    EXPECT_EQ(m_shown, Then(kUpToThePlot, {{kNoAnswer, kHaltTest}, {kFinished, kRunTest}}));
    EXPECT_EQ(NextByteRequests(), 3u * 5 + 2);
    ExpectTracesOfFirstEdges(3);
    EXPECT_EQ(CurrentCaptureLog().outcome, dentora::TestOutcome::kNoAnswer);
    EXPECT_EQ(CurrentCaptureLog().records.size(), 5u);
}

// A controller that serves exactly its announced log and then falls silent
// is asked for no byte beyond it.
TEST_F(TestRunDialogTest, ControllerSilentPastItsLogFinishesCleanly)
{
    sim::ControllerConfig config;
    config.records = 10;
    config.faults.logEndsEarly = true;
    RunCapture(config);
    EXPECT_EQ(m_shown, Then(kUpToThePlot, {{kFinished, kRunTest}}));
    EXPECT_EQ(NextByteRequests(), 3u * 10);
    ExpectTracesOfFirstEdges(10 - 2);
    EXPECT_EQ(CurrentCaptureLog().outcome, dentora::TestOutcome::kFinished);
    EXPECT_EQ(CurrentCaptureLog().records.size(), 10u);
}

TEST_F(TestRunDialogTest, UnansweredCountEndsTheTestBeforeAnythingIsPlotted)
{
    sim::ControllerConfig config;
    config.faults.ignoreCount = true;
    ConnectController(config);
    m_button->click();
    TickUntilIdle();
    ASSERT_GE(m_shown.size(), 4u);
    const std::vector<Shown> ending(m_shown.end() - 4, m_shown.end());
    EXPECT_EQ(ending,
              (std::vector<Shown>{
                  {kAskCount, kHaltTest}, {kPlot, kHaltTest}, {kNoAnswer, kHaltTest}, {kFinished, kRunTest}}));
    EXPECT_TRUE(g_chart.LinePoints(1)->empty());
    EXPECT_TRUE(g_chart.LinePoints(2)->empty());
}

TEST_F(TestRunDialogTest, LeftoverAcknowledgeDoesNotStandInForAMissingOne)
{
    sim::ControllerConfig config;
    ConnectController(config);
    m_button->click();
    while (g_nTestState != TestState::kAskCount)
        Tick();
    m_button->click();  // halt with the acknowledge still in the buffer
    TickUntilIdle();
    ASSERT_EQ(g_RxBuf[0], 'd');
    m_controller->Stop();

    sim::ControllerConfig silent;
    silent.faults.silent = true;
    ConnectController(silent);
    m_button->click();
    for (int tick = 0; tick < 4; ++tick)
        Tick();
    EXPECT_EQ(g_nTestState, TestState::kAwaitDone);
    EXPECT_EQ(m_status->text(), kWaiting);
}

TEST_F(TestRunDialogTest, VanishingDeviceEndsTheTestAtOnceWithOneLine)
{
    sim::ControllerConfig config;
    config.faults.vanishAfterRecord = 6;
    RunCapture(config);
    ASSERT_EQ(m_shown.size(), kUpToThePlot.size() + 1);
    EXPECT_EQ(std::vector<Shown>(m_shown.begin(), m_shown.end() - 1), kUpToThePlot);
    EXPECT_TRUE(m_shown.back().status.startsWith(QStringLiteral(">>> COM port lost (")))
        << m_shown.back().status.toStdString();
    EXPECT_EQ(m_shown.back().button, kRunTest);
    EXPECT_EQ(g_hComm, nullptr);
    EXPECT_TRUE(m_controller->Stats().vanished);
    ExpectTracesOfFirstEdges(5);
    EXPECT_EQ(CurrentCaptureLog().outcome, dentora::TestOutcome::kPortLost);

    Tick();
    EXPECT_EQ(m_shown.size(), kUpToThePlot.size() + 1) << "an ended test still reported";
}

TEST_F(TestRunDialogTest, RandomAnswersEndTheTestWithEveryPointOnTheChart)
{
    for (const std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        sim::ControllerConfig config;
        config.seed = seed;
        config.faults.randomAnswers = true;
        RunCapture(config);
        EXPECT_EQ(m_shown.back(), (Shown{kFinished, kRunTest})) << "seed " << seed;
        for (const UINT line : {1u, 2u})
            for (const auto& [x, y] : *g_chart.LinePoints(line))
                EXPECT_TRUE(std::isfinite(x) && std::isfinite(y)) << "seed " << seed;
        TearDown();
        m_shown.clear();
        SetUp();
    }
}

TEST_F(TestRunDialogTest, MissingDeviceShowsTheReasonThenTheErrorLine)
{
    m_portList->setEditText(QStringLiteral("/dev/ttyDentoraMissing7"));
    const QString text = AnswerNextMessageBox([this] { m_button->click(); });
    EXPECT_TRUE(text.startsWith(QStringLiteral("Error in Opening COM Port\n/dev/ttyDentoraMissing7: ")))
        << text.toStdString();
    EXPECT_EQ(
        m_shown,
        (std::vector<Shown>{{kRunning, kRunTest}, {QStringLiteral("*** Error in opening COM port ***"), kRunTest}}));
    EXPECT_EQ(g_nTestState, kIdle);
    EXPECT_EQ(g_hComm, nullptr);
    EXPECT_EQ(CurrentCaptureLog().outcome, dentora::TestOutcome::kCouldNotOpen);
}

TEST_F(TestRunDialogTest, NothingChosenFailsToOpenPortZero)
{
    m_portList->setEditText(QString());
    const QString text = AnswerNextMessageBox([this] { m_button->click(); });
    EXPECT_EQ(g_nComPort, 0);
    EXPECT_EQ(text, QStringLiteral("Error in Opening COM Port\nNo COM port is selected."));
    EXPECT_EQ(m_status->text(), QStringLiteral("*** Error in opening COM port ***"));
}

TEST_F(TestRunDialogTest, PortListNamesTheDeviceEachEntryOpensWhenItDropsDown)
{
    for (int index = 0; index < kPortListSize; ++index)
        m_portList->setItemData(index, QVariant(), Qt::ToolTipRole);
    m_portList->showPopup();
    m_portList->hidePopup();

    const auto devices = PortListDevices();
    bool anyPresent = false;
    ASSERT_EQ(m_portList->count(), kPortListSize);
    for (int index = 0; index < kPortListSize; ++index) {
        EXPECT_EQ(m_portList->itemText(index), QStringLiteral("COM%1").arg(index + 1));
        const QString tip = m_portList->itemData(index, Qt::ToolTipRole).toString();
        const auto& device = devices[std::size_t(index)];
        anyPresent = anyPresent || device.has_value();
        if (device)
            EXPECT_TRUE(tip.startsWith(device->path)) << tip.toStdString();
        else
            EXPECT_EQ(tip, QStringLiteral("No serial device for COM%1").arg(index + 1));
    }
    const QString boxTip = m_portList->toolTip();
    EXPECT_TRUE(boxTip.startsWith(QStringLiteral("COM1"))) << boxTip.toStdString();
    EXPECT_EQ(boxTip.contains(QStringLiteral("No serial device is present")), !anyPresent) << boxTip.toStdString();
}

// The box keeps its size; what does not fit in it shows in full elsewhere.
TEST_F(TestRunDialogTest, PortBoxShowsLongTextsInFullInItsToolTipAndList)
{
    const int boxWidth = m_portList->width();
    const QString device = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    m_portList->lineEdit()->selectAll();
    for (const QChar character : device) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(m_portList->lineEdit(), &key);
    }
    EXPECT_EQ(m_portList->currentText(), device);
    EXPECT_TRUE(m_portList->toolTip().startsWith(device)) << m_portList->toolTip().toStdString();
    EXPECT_EQ(m_portList->width(), boxWidth);

    m_driver->dialog().GetDlgItemAs<CComboBox>(IDC_COMPORT)->AddString(device);
    m_portList->showPopup();
    const QWidget* list = m_portList->view();
    EXPECT_GE(list->width(), list->fontMetrics().horizontalAdvance(device)) << "the list cuts its longest entry";
    m_portList->hidePopup();
    EXPECT_EQ(m_portList->width(), boxWidth);
}

// An abort line stands on the screen for the whole pause before "Finished"
// replaces it, and every line before it was painted as it was set, though
// the ticks block the event loop; the tooltip then says how the test ended.
TEST_F(TestRunDialogTest, AbortLinesAreSeenForTheirPauseAndTheToolTipKeepsTheReason)
{
    struct Case {
        sim::ControllerConfig config;
        QString abortLine;
        QString tip;
    };
    std::vector<Case> cases(2);
    cases[0].config.faults.badTypeAtRecord = 5;
    cases[0].abortLine = kOutOfSequence;
    cases[0].tip = QStringLiteral("aborted, out of sequence: record 5 has the type byte 0x58, not R, F, r or f.");
    cases[1].config.faults.dropAnswerAtByte = 3 * 5 + 1;
    cases[1].abortLine = kNoAnswer;
    cases[1].tip = QStringLiteral("aborted, no answer from the controller: the tick count of record 5 did not arrive.");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.abortLine.toStdString());
        QCoreApplication::processEvents();  // the window on the screen
        PaintedStatus painted(m_status);
        RunCapture(c.config);
        EXPECT_EQ(painted.Texts(), ShownStatuses());
        EXPECT_EQ(m_shown.back().status, kFinished);
        // Generous below the 1000 ms pause: the pause itself is the behaviour.
        EXPECT_GE(painted.ShownForMs(c.abortLine), 900);
        EXPECT_TRUE(m_status->toolTip().startsWith(QStringLiteral("The last test on ") + m_portList->currentText()))
            << m_status->toolTip().toStdString();
        EXPECT_TRUE(m_status->toolTip().endsWith(c.tip)) << m_status->toolTip().toStdString();
        TearDown();
        m_shown.clear();
        SetUp();
    }
}

// While the controller takes its time to acknowledge, every line the status
// box paints is taken down: "Waiting for Done..." stands from the first poll
// without the acknowledge until the acknowledge, not set back for each
// poll's 250 ms read; a halt then replaces it at once.
TEST_F(TestRunDialogTest, WaitForTheAcknowledgeIsShownSteadily)
{
    constexpr auto kAcknowledgeDelay = std::chrono::milliseconds(1500);
    QCoreApplication::processEvents();  // the window on the screen
    PaintedStatus acknowledged(m_status);
    RunCapture(sim::ControllerConfig{}, kAcknowledgeDelay);
    const std::vector<std::string> expected = {
        kRunning.toStdString(),  kOpened.toStdString(),    kPurge.toStdString(),
        kSendGo.toStdString(),   kAwaitDone.toStdString(), kWaiting.toStdString(),
        kAskCount.toStdString(), kPlot.toStdString(),      kFinished.toStdString()};
    EXPECT_EQ(acknowledged.Texts(), expected);
    // The first poll's read takes 250 ms of the delay; generous below the rest.
    EXPECT_GE(acknowledged.ShownForMs(kWaiting), 1000);

    PaintedStatus halted(m_status);
    sim::ControllerConfig neverAcknowledging;
    neverAcknowledging.faults.neverAcknowledge = true;
    ConnectController(neverAcknowledging);
    m_button->click();
    for (int tick = 0; tick < 5; ++tick)  // purge, go, three polls
        Tick();
    m_button->click();
    EXPECT_EQ(halted.Texts().back(), kRunning.toStdString()) << "the halt's line waited for a tick";
    TickUntilIdle();
    std::vector<std::string> haltedLines(expected.begin(), expected.begin() + 6);
    haltedLines.insert(haltedLines.end(), {kRunning.toStdString(), kFinished.toStdString()});
    EXPECT_EQ(halted.Texts(), haltedLines);
}

TEST_F(TestRunDialogTest, ToolTipTellsAFinishedTestFromAHaltedOne)
{
    sim::ControllerConfig config;
    config.records = 20;
    RunCapture(config);
    EXPECT_TRUE(
        m_status->toolTip().endsWith(QStringLiteral(" finished: 20 records fetched for the 60 bytes announced.")))
        << m_status->toolTip().toStdString();

    ConnectController(config);
    m_button->click();
    EXPECT_TRUE(m_status->toolTip().isEmpty()) << "a running test has no ending yet";
    while (g_nTestState != kFetch)
        Tick();
    Tick();
    Tick();
    m_button->click();
    TickUntilIdle();
    EXPECT_EQ(m_status->text(), kFinished);
    EXPECT_TRUE(m_status->toolTip().endsWith(QStringLiteral(" was halted: 2 records fetched.")))
        << m_status->toolTip().toStdString();
}

// A second capture after one that moved the chart's window starts at the
// chart's start and is followed record by record as the first one was.
TEST_F(TestRunDialogTest, SecondCaptureIsShownFromTheStartAndFollowedAsTheFirst)
{
    sim::ControllerConfig config;
    config.records = 600;
    std::vector<std::map<int, float>> windowStartAt(2);  // by fetch position
    std::vector<bool> tracesSeenEarly(2, false);
    for (std::size_t run = 0; run < 2; ++run) {
        ConnectController(config);  // the same engine from its start
        m_button->click();
        ASSERT_EQ(g_nTestState, TestState::kPurge);
        Tick();
        EXPECT_EQ(g_chart.XStart(), 0.0f) << "run " << run;
        EXPECT_EQ(HorizontalScrollBar(g_chart)->value(), 0) << "run " << run;
        while (g_nTestState != kIdle) {
            Tick();
            if (g_nTestState != kFetch)
                continue;
            windowStartAt[run][g_nRxPos] = g_chart.XStart();
            if (g_nRxPos >= 80 && !tracesSeenEarly[run]) {
                // What the user sees some seconds into the capture.
                const QImage shown = ClientWidget(g_chart)->grab().toImage();
                for (int y = 0; y < shown.height() && !tracesSeenEarly[run]; ++y)
                    for (int x = 0; x < shown.width() && !tracesSeenEarly[run]; ++x)
                        tracesSeenEarly[run] = shown.pixel(x, y) == qRgb(0, 100, 255);
                EXPECT_TRUE(tracesSeenEarly[run]) << "run " << run << " is drawn out of sight";
                tracesSeenEarly[run] = true;
            }
        }
        EXPECT_EQ(m_status->text(), kFinished);
        EXPECT_GT(g_chart.XStart(), 1000.0f) << "the capture should have moved the window, run " << run;
    }
    // The dialog's own timer may step the run between two of ours, so a
    // position can be missing from one run; most are in both.
    int compared = 0;
    for (const auto& [position, start] : windowStartAt[0]) {
        const auto second = windowStartAt[1].find(position);
        if (second == windowStartAt[1].end())
            continue;
        ++compared;
        ASSERT_EQ(second->second, start) << "at fetch position " << position;
    }
    EXPECT_GT(compared, 500);
}

// Processes that keep every core busy beside the test, each ending by
// itself after a bounded time should the test not end it.
class BusyProcesses {
public:
    BusyProcesses(int count, unsigned mostSeconds)
    {
        for (int i = 0; i < count; ++i) {
            const pid_t child = ::fork();
            if (child == 0) {
                ::alarm(mostSeconds);
                for (volatile unsigned long spin = 0;; spin = spin + 1) {
                }
            }
            if (child > 0)
                m_children.push_back(child);
        }
    }
    ~BusyProcesses()
    {
        for (const pid_t child : m_children) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }
    std::size_t Count() const { return m_children.size(); }

private:
    std::vector<pid_t> m_children;
};

// With twice as many busy processes as cores, the controller's every answer
// still reaches the capture, at both paces: no answer that came is called
// missing.
TEST_F(TestRunDialogTest, BusyMachineLosesNoAnswer)
{
    const int cores = int(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
    const BusyProcesses load(2 * cores, 240);
    ASSERT_EQ(load.Count(), std::size_t(2 * cores));
    struct Pace {
        dentora::FetchOptions options;
        int records;
    };
    const std::vector<Pace> paces = {{{false, 3}, 600}, {{true, 1}, 1500}, {{true, 3}, 1500}};
    for (const Pace& pace : paces) {
        SCOPED_TRACE(pace.options.fast ? "fast at depth " + std::to_string(pace.options.ahead) : "one record per tick");
        dentora::SetFetchOptions(pace.options);
        sim::ControllerConfig config;
        config.records = unsigned(pace.records);
        RunCapture(config);
        EXPECT_EQ(CurrentCaptureLog().outcome, dentora::TestOutcome::kFinished) << m_status->toolTip().toStdString();
        EXPECT_EQ(CurrentCaptureLog().records.size(), std::size_t(pace.records));
        m_shown.clear();
    }
    dentora::SetFetchOptions({});
}

// Enter in the port box's edit field runs the test instead of pressing the
// default button, Exit; closing while a test runs asks first.
TEST_F(TestRunDialogTest, EnterInThePortBoxRunsTheTestAndClosingWhileItRunsAsks)
{
    QWidget* window = m_driver->dialog().GetSafeWidget();
    ConnectController(sim::ControllerConfig{});
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(m_portList->lineEdit(), &enter);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(m_status->text(), kOpened);
    EXPECT_EQ(g_nTestState, TestState::kPurge);

    // Answers the question the next close raises with the given button.
    QString asked;
    const auto answerWith = [&](QMessageBox::StandardButton button) {
        QTimer::singleShot(10, [&asked, button] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = box->text();
                box->button(button)->click();
            }
        });
    };
    answerWith(QMessageBox::No);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window, &escape);
    EXPECT_EQ(asked, QStringLiteral("A test is running. Halt it and exit?"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_NE(g_hComm, nullptr);

    asked.clear();
    answerWith(QMessageBox::Yes);
    qobject_cast<QPushButton*>(m_driver->dialog().GetDlgItem(IDOK)->GetSafeWidget())->click();
    EXPECT_EQ(asked, QStringLiteral("A test is running. Halt it and exit?"));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(g_hComm, nullptr) << "the port is released on the way out";
}

}  // namespace
