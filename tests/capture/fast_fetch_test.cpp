// Fast fetch through the real dialog: the same bytes on the wire as one
// record per tick, the same ending for every way a controller can fail, at
// every depth, and never a record drawn past a fault.
#include "capture/fetch_options.h"
#include "capture/test_run.h"
#include "chart/chart_wnd.h"
#include "chart_menu.h"
#include "dialog_driver.h"
#include "serial/memory_comm_line.h"
#include "serial/serial_link.h"
#include "simulator/pty_controller.h"

#include <QAction>
#include <QProgressBar>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

namespace sim = dentora::sim;
using dentora::FetchOptions;
using Points = std::map<float, float>;

const QString kWaiting = QStringLiteral("Step 3: Waiting for Done...");
const std::vector<int> kDepths = {1, 2, 3, 8, 48, 64};

struct Capture {
    QStringList shown;  // status lines, a lost port's reason left out
    std::vector<dentora::TriggerRecord> records;
    dentora::TestOutcome outcome = dentora::TestOutcome::kRunning;
    Points crank;
    Points cam;
    std::uint64_t requests = 0;  // "a" sent
};

// Both directions of the line, as the controller's side saw them.
struct Wire {
    std::vector<std::uint8_t> toController;
    std::vector<std::uint8_t> toTool;
};

class FastFetchTest : public DialogTest {
protected:
    // The system's words for a lost port differ with the call that met it.
    void OnStatusShown(const QString& text) override
    {
        static const QRegularExpression lostReason(QStringLiteral("^(>>> COM port lost \\().*(\\) - Abort <<<)$"));
        m_shown.push_back(QString(text).replace(lostReason, QStringLiteral("\\1REASON\\2")));
    }

    void TearDown() override
    {
        DialogTest::TearDown();
        dentora::SetFetchOptions({});
        dentora::SetCommLineOpener({});
    }

    // One capture through the dialog; the user halts a wait for the
    // acknowledge that lasts.
    Capture RunCapture(const QString& device, const FetchOptions& options)
    {
        dentora::SetFetchOptions(options);
        m_portList->setEditText(device);
        m_shown.clear();
        m_button->click();
        int waits = 0;
        for (int tick = 0; g_nTestState != kIdle && tick < 20000; ++tick) {
            if (m_status->text() == kWaiting && ++waits == 3)
                m_button->click();
            Tick();
        }
        EXPECT_EQ(g_nTestState, kIdle) << "the test run did not end";
        return {m_shown, CurrentCaptureLog().records, CurrentCaptureLog().outcome, *g_chart.LinePoints(1),
                *g_chart.LinePoints(2)};
    }

    Capture CaptureOverPty(const sim::ControllerConfig& config, const FetchOptions& options)
    {
        sim::PtyController controller(config);
        Capture run = RunCapture(QString::fromStdString(controller.Start()), options);
        controller.Stop();
        run.requests = controller.Stats().protocol.nextByteCommands;
        return run;
    }

    // The controller in memory, behind the line the dialog opens.
    Capture CaptureInMemory(const sim::ControllerConfig& config, const FetchOptions& options, Wire* wire)
    {
        auto controller = std::make_shared<sim::ControllerProtocol>(config);
        const auto answer = [controller, wire](dentora::MemoryCommLine& line) {
            for (const std::uint8_t byte : controller->TakeOutput()) {
                wire->toTool.push_back(byte);
                line.Queue(byte);
            }
        };
        dentora::SetCommLineOpener([=](const QString&, QString*) {
            return std::make_unique<dentora::MemoryCommLine>(
                [=](unsigned char byte, dentora::MemoryCommLine& line) {
                    wire->toController.push_back(byte);
                    controller->Receive(byte, sim::ControllerProtocol::Clock::now());
                    answer(line);
                },
                [=](dentora::MemoryCommLine& line) {
                    controller->AdvanceTo(sim::ControllerProtocol::Clock::now());
                    answer(line);
                });
        });
        return RunCapture(QStringLiteral("/dev/in-memory"), options);
    }

    QStringList m_shown;
};

sim::ControllerConfig QuickController()
{
    sim::ControllerConfig config;
    config.records = 40;
    config.acknowledgeDelay = std::chrono::milliseconds(0);
    return config;
}

// A line, in the chart's order, begins with the whole of another.
bool StartsWith(const Points& line, const Points& prefix)
{
    return prefix.size() <= line.size() && std::equal(prefix.begin(), prefix.end(), line.begin());
}

TEST_F(FastFetchTest, BytesOnTheWireAreTheSameAsOneRecordPerTick)
{
    sim::ControllerConfig fullBuffer = QuickController();
    fullBuffer.countOverride = sim::kOversizedCount;
    for (const sim::ControllerConfig& config : {QuickController(), fullBuffer}) {
        Wire paced;
        const Capture one = CaptureInMemory(config, {}, &paced);
        ASSERT_EQ(one.outcome, dentora::TestOutcome::kFinished);
        for (const int depth : kDepths) {
            SCOPED_TRACE("depth " + std::to_string(depth) + ", count " +
                         std::to_string(config.countOverride.value_or(0)));
            Wire fast;
            const Capture run = CaptureInMemory(config, {true, depth}, &fast);
            EXPECT_EQ(fast.toController, paced.toController);
            EXPECT_EQ(fast.toTool, paced.toTool);
            EXPECT_EQ(run.shown, one.shown);
            EXPECT_EQ(run.records, one.records);
            EXPECT_EQ(run.crank, one.crank);
            EXPECT_EQ(run.cam, one.cam);
        }
    }
}

struct Fault {
    const char* name;
    std::function<void(sim::ControllerConfig&)> apply;
    bool keepsTheLog;  // the records it lets through are the engine's own
};

void PrintTo(const Fault& fault, std::ostream* out)
{
    *out << fault.name;
}

class FastFetchFaultTest : public FastFetchTest, public ::testing::WithParamInterface<Fault> {};

// Record 20 lies inside a burst at every depth above one record.
constexpr std::size_t kFaultRecord = 20;

TEST_P(FastFetchFaultTest, EndsAsOneRecordPerTickDoesWithNothingDrawnPastTheFault)
{
    sim::ControllerConfig config = QuickController();
    config.acknowledgeDelay = std::chrono::milliseconds(20);
    GetParam().apply(config);
    const Capture paced = CaptureOverPty(config, {});
    for (const int depth : kDepths) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        const Capture fast = CaptureOverPty(config, {true, depth});
        EXPECT_EQ(fast.shown, paced.shown);
        EXPECT_EQ(fast.outcome, paced.outcome);
        EXPECT_LT(fast.requests, paced.requests + std::uint64_t(depth)) << "requests beyond those in flight";
        ASSERT_LE(fast.records.size(), paced.records.size());
        EXPECT_TRUE(std::equal(fast.records.begin(), fast.records.end(), paced.records.begin()));
        EXPECT_TRUE(StartsWith(paced.crank, fast.crank));
        EXPECT_TRUE(StartsWith(paced.cam, fast.cam));
        if (!GetParam().keepsTheLog)
            continue;
        sim::TachLog served(sim::ResolveTiming(config.engine));
        for (std::size_t i = 0; i < fast.records.size(); ++i) {
            sim::Record want = served.Next();
            if (config.faults.zeroCalibration && i < 2)
                want.ticks = 0;
            EXPECT_EQ(fast.records[i], (dentora::TriggerRecord{want.type, want.ticks})) << "record " << i;
        }
        // Two seeds once the count is in, and two points for every record
        // after the calibration the decoder took: none past the last kept.
        const std::size_t seeds = paced.crank.empty() ? 0 : 2;
        const std::size_t drawn =
            fast.records.size() > 2 && !config.faults.zeroCalibration ? fast.records.size() - 2 : 0;
        EXPECT_EQ(fast.crank.size() + fast.cam.size(), seeds + 2 * drawn);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFault, FastFetchFaultTest,
    ::testing::Values(
        Fault{"Silent", [](sim::ControllerConfig& c) { c.faults.silent = true; }, true},
        Fault{"NoAcknowledge", [](sim::ControllerConfig& c) { c.faults.neverAcknowledge = true; }, true},
        Fault{"NoiseBeforeAcknowledge", [](sim::ControllerConfig& c) { c.faults.noiseBeforeAcknowledge = 3; }, true},
        Fault{"IgnoredCount", [](sim::ControllerConfig& c) { c.faults.ignoreCount = true; }, true},
        Fault{"BadType", [](sim::ControllerConfig& c) { c.faults.badTypeAtRecord = kFaultRecord; }, true},
        Fault{"DroppedByteInABurst", [](sim::ControllerConfig& c) { c.faults.dropAnswerAtByte = 3 * kFaultRecord + 1; },
              true},
        Fault{"DuplicatedByteInABurst",
              [](sim::ControllerConfig& c) { c.faults.duplicateAnswerAtByte = 3 * kFaultRecord + 1; }, true},
        Fault{"LogEndsEarly", [](sim::ControllerConfig& c) { c.faults.logEndsEarly = true; }, true},
        Fault{"OversizedCount", [](sim::ControllerConfig& c) { c.countOverride = sim::kOversizedCount; }, true},
        Fault{"ZeroCalibration", [](sim::ControllerConfig& c) { c.faults.zeroCalibration = true; }, true},
        Fault{"Vanishing", [](sim::ControllerConfig& c) { c.faults.vanishAfterRecord = kFaultRecord; }, true},
        Fault{"RandomAnswers",
              [](sim::ControllerConfig& c) {
                  c.faults.randomAnswers = true;
                  c.seed = 3;
              },
              false}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST_F(FastFetchTest, ActionTurnsItOnAndTheBarShowsProgressOnlyWhileFetchingFast)
{
    auto* bar = m_driver->dialog().GetSafeWidget()->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    sim::ControllerConfig config = QuickController();
    config.countOverride = sim::kOversizedCount;
    sim::PtyController controller(config);
    m_portList->setEditText(QString::fromStdString(controller.Start()));

    // The entry as the chart's menu offers it.
    QAction* action = nullptr;
    for (QAction* entry : m_driver->dialog().chartMenu()->actions()) {
        if (entry->text() == QStringLiteral("Fast fetch"))
            action = entry;
    }
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(action->isCheckable());
    EXPECT_FALSE(action->isChecked());
    action->toggle();
    EXPECT_TRUE(dentora::CurrentFetchOptions().fast);

    m_button->click();
    static const QRegularExpression progress(QStringLiteral("^(\\d+) of 4049 records(, \\d+ s left)?$"));
    int shownWhileFetching = 0;
    int lastFetched = -1;
    for (int tick = 0; g_nTestState != kIdle && tick < 2000; ++tick) {
        Tick();
        if (g_nTestState != kFetch)
            continue;
        ASSERT_TRUE(bar->isVisible());
        const QRegularExpressionMatch match = progress.match(bar->text());
        ASSERT_TRUE(match.hasMatch()) << bar->text().toStdString();
        // A timer tick may find the prompt tick still on its way and do nothing.
        EXPECT_GE(match.captured(1).toInt(), lastFetched);
        lastFetched = match.captured(1).toInt();
        ++shownWhileFetching;
    }
    EXPECT_GT(shownWhileFetching, 0) << "the fetch ended within one tick";
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(CurrentCaptureLog().records.size(), 4049u);

    action->toggle();
    EXPECT_FALSE(dentora::CurrentFetchOptions().fast);
    m_button->click();
    for (int tick = 0; g_nTestState != kIdle && tick < 20000; ++tick) {
        Tick();
        ASSERT_FALSE(bar->isVisible()) << "one record per tick shows no bar";
    }
}

}  // namespace
