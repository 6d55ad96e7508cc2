// The test run end to end: the real dialog, headless, against the simulated
// engine controller on a pseudo-terminal typed into the port box. Ticks are
// delivered through the dialog's own timer, as fast as they can be handled.
#include "dialog_driver.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "res/resource.h"
#include "serial/serial_link.h"
#include "simulator/pty_controller.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

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
    {kRunning, kRunTest}, {kOpened, kRunTest},   {kPurge, kRunTest},  {kSendGo, kHaltTest},
    {kAwaitDone, kHaltTest}, {kAskCount, kHaltTest}, {kPlot, kHaltTest},
};

std::vector<Shown> Then(std::vector<Shown> lines, std::initializer_list<Shown> more)
{
    lines.insert(lines.end(), more);
    return lines;
}

// Records the tool should fetch for an announced count: one per two bytes.
std::uint64_t RecordsFetchedFor(int count)
{
    const int usable = count / 3 * 3;
    return std::uint64_t((usable + 1) / 2);
}

// The traces the engine model gives for its first `edges` edges, as the
// chart holds them: one point per x, the seed at 0.01 first.
std::pair<Points, Points> ExpectedTraces(const sim::EngineTiming& timing, std::size_t edges)
{
    const double unitsPerTick = sim::chartUnitsPerTick(timing);
    Points crank{{0.01f, 0.0f}};
    Points cam{{0.01f, 0.0f}};
    float crankLevel = 0.0f;
    float camLevel = 0.0f;
    sim::EdgeStream stream(timing);
    for (std::size_t i = 0; i < edges; ++i) {
        const sim::Edge edge = stream.next();
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

class TestRunDialogTest : public DialogTest {
protected:
    void OnStatusShown(const QString& text) override { m_shown.push_back({text, m_button->text()}); }

    void TearDown() override
    {
        DialogTest::TearDown();
        if (m_controller)
            m_controller->stop();
    }

    void TickUntilIdle() { ASSERT_TRUE(m_driver->TickUntilIdle()) << "the test run did not end"; }

    // Starts the controller and types its device into the port box.
    void ConnectController(sim::ControllerConfig config)
    {
        config.acknowledgeDelay = std::chrono::milliseconds(30);
        m_controller = std::make_unique<sim::PtyController>(config);
        const std::string path = m_controller->start();
        m_portList->setEditText(QString::fromStdString(path));
    }

    void RunCapture(const sim::ControllerConfig& config)
    {
        ConnectController(config);
        m_button->click();
        ASSERT_NE(g_nTestState, kIdle) << m_status->text().toStdString();
        TickUntilIdle();
    }

    std::uint64_t NextByteRequests() const { return m_controller->stats().protocol.nextByteCommands; }

    void ExpectTracesOfFirstEdges(std::size_t edges)
    {
        const auto [crank, cam] = ExpectedTraces(m_controller->timing(), edges);
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
    sim::TachLog served(m_controller->timing());
    ASSERT_EQ(log.records.size(), records);
    for (const dentora::TriggerRecord& record : log.records) {
        const sim::Record want = served.next();
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
    for (int noise = 0; noise < 3; ++noise)
        expected.insert(expected.end(), {{kWaiting, kHaltTest}, {kAwaitDone, kHaltTest}});
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
    // 2 rounds down to 0; 3 fetches two records, both calibration.
    for (const auto& [count, requests] : {std::pair<std::uint16_t, std::uint64_t>{2, 0}, {3, 6}}) {
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
    // Records start at every even position whose three cells fit in the
    // 8100-byte buffer: 0, 2, ..., 8096.
    const std::uint64_t recordsThatFit = 8096 / 2 + 1;
    EXPECT_EQ(NextByteRequests(), 3 * recordsThatFit);
    EXPECT_EQ(m_shown, Then(kUpToThePlot, {{kFinished, kRunTest}}));
    ExpectTracesOfFirstEdges(recordsThatFit - 2);
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

TEST_F(TestRunDialogTest, LogEndingBeforeTheFetchDoesEndsTheTestAsUnanswered)
{
    sim::ControllerConfig config;
    config.records = 10;
    config.faults.logEndsEarly = true;
    RunCapture(config);
    EXPECT_EQ(m_shown, Then(kUpToThePlot, {{kNoAnswer, kHaltTest}, {kFinished, kRunTest}}));
    EXPECT_EQ(NextByteRequests(), 3u * 10 + 1);
    ExpectTracesOfFirstEdges(10 - 2);
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
    EXPECT_EQ(ending, (std::vector<Shown>{{kAskCount, kHaltTest}, {kPlot, kHaltTest}, {kNoAnswer, kHaltTest},
                                          {kFinished, kRunTest}}));
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
    m_controller->stop();

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
    EXPECT_TRUE(m_controller->stats().vanished);
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
    EXPECT_EQ(m_shown, (std::vector<Shown>{{kRunning, kRunTest},
                                           {QStringLiteral("*** Error in opening COM port ***"), kRunTest}}));
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
    EXPECT_EQ(m_portList->toolTip().isEmpty(), anyPresent) << m_portList->toolTip().toStdString();
}

}  // namespace
