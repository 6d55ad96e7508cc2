// Arbitrary controller answers through the test run, one record per tick or
// fast at any depth, and the decoder into the chart, over a serial line in
// memory behind the link's own entry points. On every
// input: no store outside the capture buffer (AddressSanitizer, and the
// fetch position checked after every tick), only finite chart points, the
// window inside the extent, a tick that keeps the window waiting for no
// more than one read's time-out and an abort line's pause, and a test run
// that ends: on its own, or, once the answers are used up, at the user's
// "Halt Test" like a real user would. Nothing really waits (see
// fuzz_serial_line.h).
#include "fuzz_serial_line.h"
#include "fuzz_support.h"

#include "capture/decoder.h"
#include "capture/fetch_options.h"
#include "capture/test_run.h"
#include "fresh_state.h"
#include "serial/serial_link.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

namespace {

// Typed into the port box: a path is opened as typed, without the port
// list's look at every serial device of the system.
const QString kFuzzDevice = QStringLiteral("/dev/fuzz-line");

// An abort line stands this long before "Finished" replaces it.
constexpr std::uint64_t kAbortPauseMs = 1000;

bool IsAbortLine(const QString& status)
{
    return status.endsWith(QStringLiteral(" - Abort <<<"));
}

// The run button and the status box keep their texts without widgets, as
// dentora-cli's do: laying out a text is no part of the protocol.
struct DialogControls {
    CWnd runButton;
    CWnd statusBox;
};

// How long one tick kept the window waiting: a read that times out ends
// what the tick does, and only an abort line is paused on.
void RequireShortWaits(const FuzzWaits& before, const FuzzWaits& after, const QString& status)
{
    Require(after.onReadsMs - before.onReadsMs <= std::uint64_t(kReadTimeoutMs),
            "a tick waited for more than one read that timed out");
    const std::uint64_t paused = after.pausedMs - before.pausedMs;
    Require(paused == 0 || (paused == kAbortPauseMs && IsAbortLine(status)),
            "a tick paused, but not for one abort line");
}

// The chart and the trace levels as the dialog sets them up at start-up.
void SetUpChart()
{
    g_chart.Create(WS_VISIBLE | CWS_NOTIFY, RECT{0, 0, 700, 240}, &FuzzHostWindow(), 1000);
    for (const UINT id : {kCrankLine, kCamLine, kSpareLine}) {
        g_chart.AddLine(id, RGB(0, 100, 255), 0, 1, TRUE, 10);
        g_chart.SetLineWidth(id, 2, TRUE);
    }
    g_fCrankHigh = 0.5f;
    g_fCamHigh = 0.4f;
}

void RequireInvariantsOfATick()
{
    Require(g_nRxPos >= 0 && g_nRxPos <= kRxBufferSize, "the fetch position left the capture buffer");
    RequireViewInsideExtent(g_chart);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static DialogControls controls;
    ResetCaptureState();
    g_pRunButton = &controls.runButton;
    g_pStatus = &controls.statusBox;
    SetUpChart();

    // The script comes from the input's end, the answers are the rest.
    FuzzedDataProvider input(data, size);
    FuzzLineScript script;
    script.queuedBeforePurge = input.ConsumeIntegralInRange<std::size_t>(0, 7);
    script.unsolicited = input.ConsumeIntegralInRange<std::size_t>(0, 7);
    dentora::FetchOptions fetch;
    fetch.fast = input.ConsumeBool();
    fetch.ahead = input.ConsumeIntegralInRange(0, dentora::kMostAhead + 1);
    dentora::SetFetchOptions(fetch);
    const auto vanishAfter = input.ConsumeIntegral<std::uint16_t>();
    if (vanishAfter != 0)
        script.vanishAfterReads = vanishAfter;
    const auto haltAtTick = input.ConsumeIntegral<std::uint16_t>();
    const std::vector<std::uint8_t> answers = input.ConsumeRemainingBytes<std::uint8_t>();
    script.answers = answers.data();
    script.size = answers.size();
    StartFuzzLine(script);

    RunTestClicked(&FuzzHostWindow(), -1, kFuzzDevice);
    Require(g_nTestState == kPurge && FuzzLineOpen(), "the test did not start on an open line");

    // Every tick but a handful reads at least one answer, or ends the test
    // for want of one; only the wait for the acknowledge can last, and
    // there the user halts once the controller has nothing more to say.
    const std::size_t tickLimit = 32 + 4 * answers.size();
    constexpr std::size_t kPatienceForDone = 8;
    std::size_t waits = 0;
    bool halted = false;
    for (std::size_t tick = 1; g_nTestState != kIdle; ++tick) {
        Require(tick <= tickLimit, "the test run did not end");
        waits = g_nTestState == kAwaitDone ? waits + 1 : 0;
        const bool waitingInVain = waits > kPatienceForDone || (waits > 0 && FuzzLineAnswersUsedUp());
        if (!halted && (tick == haltAtTick || waitingInVain)) {
            RunTestClicked(&FuzzHostWindow(), -1, kFuzzDevice);
            halted = true;
        }
        const FuzzWaits before = FuzzLineWaits();
        TestRunTick(&FuzzHostWindow());
        RequireShortWaits(before, FuzzLineWaits(), controls.statusBox.GetWindowText());
        RequireInvariantsOfATick();
    }
    // Points are only added during a test, so once at its end finds them all.
    RequireFinitePoints(g_chart, {kCrankLine, kCamLine, kSpareLine});
    Require(!FuzzLineOpen(), "the port stayed open after the test ended");
    const QString status = controls.statusBox.GetWindowText();
    Require(status == QStringLiteral(">>> Finished <<<") || status.contains(QStringLiteral("port lost")),
            "the test ended without saying so");
    Require(controls.runButton.GetWindowText() == QStringLiteral("Run Test"), "the button still says Halt Test");
    DeliverPostedEvents();
    return 0;
}
