// A hostile controller, end to end: many captures back to back through the
// real dialog, each against a new simulated controller that misbehaves in
// one of its ways or answers at random. Every capture must end with a clear
// status, give the port back, and the process must not grow as they go
// (checked where freed memory is given back: not under AddressSanitizer).
#include "capture/capture_log.h"
#include "capture/fetch_options.h"
#include "capture/test_run.h"
#include "dialog_driver.h"
#include "res/resource.h"
#include "serial/serial_link.h"
#include "simulator/pty_controller.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

namespace sim = dentora::sim;

const QString kFinished = QStringLiteral(">>> Finished <<<");
const QString kWaiting = QStringLiteral("Step 3: Waiting for Done...");

using dentora::TestOutcome;

struct Capture {
    sim::ControllerConfig config;
    // How the capture log must say it ended; empty: any way but a lost
    // port (random answers).
    std::optional<TestOutcome> outcome;
    dentora::FetchOptions fetch;  // half of them fast, at any depth
};

// One capture of the mix: mostly faults, now and then a clean one.
Capture HostileCapture(std::mt19937& random)
{
    Capture capture{{}, TestOutcome::kFinished, {}};
    capture.fetch.fast = random() % 2 == 0;
    capture.fetch.ahead = 1 + int(random() % dentora::kMostAhead);
    sim::ControllerConfig& config = capture.config;
    config.records = 30 + random() % 40;
    config.seed = random();
    config.acknowledgeDelay = std::chrono::milliseconds(20);
    const std::size_t inside = 3 + random() % (config.records - 3);
    switch (random() % 11) {
    case 0: break;
    case 1: config.faults.noiseBeforeAcknowledge = 1 + random() % 3; break;
    case 2:
        config.faults.badTypeAtRecord = inside;
        capture.outcome = TestOutcome::kOutOfSequence;
        break;
    case 3:
        config.faults.zeroCalibration = true;
        capture.outcome = TestOutcome::kOutOfSequence;
        break;
    case 4:
        config.faults.dropAnswerAtByte = 3 * inside + random() % 3;
        capture.outcome = TestOutcome::kNoAnswer;
        break;
    case 10:
        // A stray byte: caught as out of sequence, at once when fetching
        // fast, by the next type byte otherwise (a tick count's high byte
        // at this speed is none of R, F, r, f).
        config.faults.duplicateAnswerAtByte = 3 * inside + random() % 3;
        capture.outcome = TestOutcome::kOutOfSequence;
        break;
    case 5:
        // Silent once its log is served: nothing more is asked of it.
        config.faults.logEndsEarly = true;
        capture.outcome = TestOutcome::kFinished;
        break;
    case 6:
        (random() % 2 ? config.faults.neverAcknowledge : config.faults.silent) = true;
        capture.outcome = TestOutcome::kHalted;
        break;
    case 7:
        config.faults.vanishAfterRecord = inside;
        capture.outcome = TestOutcome::kPortLost;
        break;
    default:
        config.faults.randomAnswers = true;
        capture.outcome.reset();
        break;
    }
    return capture;
}

bool IsAbort(const QString& line)
{
    return line.startsWith(QStringLiteral(">>> ")) && line.endsWith(QStringLiteral(" - Abort <<<"));
}

// AddressSanitizer keeps freed memory in quarantine, hundreds of MB of it,
// so resident memory says nothing about leaks in such a build.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFreedMemoryIsHeldBack = true;
#else
constexpr bool kFreedMemoryIsHeldBack = false;
#endif

std::size_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t sizePages = 0;
    std::size_t residentPages = 0;
    statm >> sizePages >> residentPages;
    return residentPages * std::size_t(sysconf(_SC_PAGESIZE));
}

class CaptureSoakTest : public DialogTest {
protected:
    void OnStatusShown(const QString& text) override { m_shown.push_back(text); }

    // Runs one capture to its end; the user halts a wait that lasts.
    void RunCapture(const Capture& capture, int number)
    {
        SCOPED_TRACE("capture " + std::to_string(number) +
                     (capture.fetch.fast ? ", fast at depth " + std::to_string(capture.fetch.ahead) : ""));
        dentora::SetFetchOptions(capture.fetch);
        sim::PtyController controller(capture.config);
        const QString device = QString::fromStdString(controller.Start());
        m_portList->setEditText(device);
        m_shown.clear();
        m_button->click();
        ASSERT_NE(g_nTestState, kIdle) << m_status->text().toStdString();

        constexpr int kMostTicks = 20000;
        // Longer than any noise the controller sends before its acknowledge.
        constexpr int kPatienceForDone = 5;
        int waits = 0;
        for (int tick = 0; g_nTestState != kIdle; ++tick) {
            ASSERT_LT(tick, kMostTicks) << "the capture did not end";
            if (m_status->text() == kWaiting && ++waits == kPatienceForDone)
                m_button->click();
            Tick();
        }
        ExpectEnding(capture);
        EXPECT_EQ(m_button->text(), QStringLiteral("Run Test"));
        EXPECT_EQ(g_hComm, nullptr) << "the port stayed open";

        if (CurrentCaptureLog().outcome != TestOutcome::kPortLost) {
            // The port is free: it opens again.
            SelectCommPort(-1, device);
            EXPECT_TRUE(OpenCommPort()) << LastCommError().toStdString();
            CloseCommPort();
        }
        controller.Stop();
    }

    // The capture log's outcome is the one the controller's fault makes,
    // and the status line says clearly that the capture is over.
    void ExpectEnding(const Capture& capture)
    {
        const TestOutcome outcome = CurrentCaptureLog().outcome;
        const std::string lines = m_shown.join(QStringLiteral(" | ")).toStdString();
        if (capture.outcome)
            EXPECT_EQ(int(outcome), int(*capture.outcome)) << lines;
        else
            EXPECT_TRUE(outcome != TestOutcome::kRunning && outcome != TestOutcome::kPortLost &&
                        outcome != TestOutcome::kCouldNotOpen)
                << "outcome " << int(outcome) << ": " << lines;
        ASSERT_FALSE(m_shown.isEmpty());
        const QString& last = m_shown.back();
        if (outcome == TestOutcome::kPortLost)
            EXPECT_TRUE(IsAbort(last) && last.contains(QStringLiteral("COM port lost"))) << lines;
        else
            EXPECT_EQ(last, kFinished) << lines;
    }

    QStringList m_shown;
};

TEST_F(CaptureSoakTest, FortyHostileCapturesEndCleanlyFreeThePortAndDoNotGrow)
{
    constexpr int kCaptures = 40;
    constexpr int kWarmUp = 5;
    constexpr std::size_t kMostGrowth = 20u << 20;
    std::mt19937 random(20261208);
    std::size_t residentAfterWarmUp = 0;
    struct FetchOptionsReset {
        ~FetchOptionsReset() { dentora::SetFetchOptions({}); }
    } resetAtEnd;
    for (int number = 1; number <= kCaptures; ++number) {
        RunCapture(HostileCapture(random), number);
        if (HasFatalFailure())
            return;
        if (number == kWarmUp)
            residentAfterWarmUp = ResidentBytes();
    }
    const std::size_t residentAtEnd = ResidentBytes();
    RecordProperty("resident_growth_bytes", std::to_string(long(residentAtEnd) - long(residentAfterWarmUp)));
    if (!kFreedMemoryIsHeldBack) {
        EXPECT_LT(residentAtEnd, residentAfterWarmUp + kMostGrowth)
            << "grew from " << residentAfterWarmUp << " to " << residentAtEnd << " bytes";
    }
}

}  // namespace
