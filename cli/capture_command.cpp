// The capture command: the dialog's test run without the dialog. Plain
// windows without widgets stand in for the status line and the button, and
// a loop steps the test run as the dialog's 100 ms timer does.
#include "commands.h"
#include "output_files.h"
#include "result_output.h"

#include "capture/fetch_options.h"
#include "capture/test_run.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <csignal>

namespace dentora {
namespace {

// The dialog's timer period.
constexpr qint64 kTickMs = 100;

volatile std::sig_atomic_t g_interrupted = 0;

// A second Ctrl+C ends the process at once.
extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

Console* g_messageConsole = nullptr;

void PrintMessageBox(const QString& text)
{
    g_messageConsole->Error(text);
}

class HeadlessTestRun {
public:
    HeadlessTestRun(const CaptureOptions& options, Console& console) : m_options(options), m_console(console)
    {
        g_pStatus = &m_status;
        g_pRunButton = &m_button;
    }
    ~HeadlessTestRun()
    {
        g_pStatus = nullptr;
        g_pRunButton = nullptr;
    }

    ExitStatus Run();

private:
    void Click() { RunTestClicked(&m_owner, -1, m_options.port); }
    void Halt(ExitStatus cause, const QString& why);
    void CheckLimits();
    void Report();

    const CaptureOptions& m_options;
    Console& m_console;
    CWnd m_owner;
    CWnd m_status;
    CWnd m_button;
    QString m_shownStatus;
    ExitStatus m_haltCause = ExitStatus::kOk;
    QElapsedTimer m_clock;
    qint64 m_awaitSinceMs = -1;
    bool m_fetching = false;
};

ExitStatus HeadlessTestRun::Run()
{
    m_clock.start();
    Click();
    Report();
    qint64 nextTickMs = kTickMs;
    while (g_nTestState != kIdle) {
        // A fast fetch with more to do is stepped again at once, as the
        // dialog does; those steps leave the 100 ms timer's beat alone.
        if (!TestRunWantsTickSoon()) {
            const qint64 waitMs = nextTickMs - m_clock.elapsed();
            if (waitMs > 0)
                QThread::msleep(unsigned(waitMs));
            nextTickMs = std::max(nextTickMs, m_clock.elapsed()) + kTickMs;
        }
        CheckLimits();
        TestRunTick(&m_owner);
        Report();
    }
    m_console.EndProgress();
    return ExitStatusOf(CurrentCaptureLog().outcome, m_haltCause);
}

// As a click on "Halt Test": the test run finishes on its next tick. The
// line the click flashes (">>> Running Application <<<") is not reported:
// on a console it would stand as if a test were starting again.
void HeadlessTestRun::Halt(ExitStatus cause, const QString& why)
{
    if (m_haltCause != ExitStatus::kOk || g_nTestState == kIdle)
        return;
    m_haltCause = cause;
    m_console.Error(why);
    Click();
}

void HeadlessTestRun::CheckLimits()
{
    if (g_interrupted)
        Halt(ExitStatus::kInterrupted, QStringLiteral("interrupted: halting the test"));
    if (g_nTestState != kAwaitDone) {
        m_awaitSinceMs = -1;
        return;
    }
    if (m_awaitSinceMs < 0)
        m_awaitSinceMs = m_clock.elapsed();
    const qint64 limitMs = qint64(m_options.timeoutSeconds) * 1000;
    if (limitMs > 0 && m_clock.elapsed() - m_awaitSinceMs >= limitMs)
        Halt(
            ExitStatus::kNoAnswer,
            QStringLiteral("the controller did not acknowledge the capture within %1 s").arg(m_options.timeoutSeconds));
}

// Prints the progress and the status line as the dialog shows it between
// ticks: the records fetched come before the line that ends the test.
void HeadlessTestRun::Report()
{
    const FetchProgress progress = CurrentFetchProgress();
    if (progress.fetching && !m_fetching) {
        m_fetching = true;
        m_console.StartProgress(progress.recordsExpected);
    }
    if (m_fetching)
        m_console.Progress(progress.recordsFetched);
    const QString status = m_status.GetWindowText();
    if (status != m_shownStatus) {
        m_shownStatus = status;
        m_console.Status(status);
    }
}

// The reason in words for a test that ended badly without an error of the
// tool's own (out of sequence, no answer, port lost): the status tooltip's.
QString CaptureError(const Console& console, const CaptureLog& log)
{
    if (!console.FirstError().isEmpty() || log.outcome == TestOutcome::kFinished)
        return console.FirstError();
    return TestEndingText(log);
}

}  // namespace

ExitStatus RunCaptureCommand(const CaptureOptions& options, Console& console)
{
    // A capture cannot be repeated: a file it could not be written to is
    // found out before the controller is asked for anything.
    if (!CheckOutputFiles(options.files, console)) {
        PrintCaptureResult({ExitStatus::kBadFile, console.FirstError(), CurrentCaptureLog(),
                            UnwrittenFiles(options.files), nullptr, &options.analysis},
                           options.json);
        return ExitStatus::kBadFile;
    }
    g_messageConsole = &console;
    AfxSetMessageSink(PrintMessageBox);
    std::signal(SIGINT, OnInterrupt);
    SetFetchOptions(options.fetch);
    ExitStatus status = HeadlessTestRun(options, console).Run();
    std::signal(SIGINT, SIG_DFL);
    AfxSetMessageSink(nullptr);
    const CaptureLog& log = CurrentCaptureLog();

    std::optional<AnalysisResult> analysis;
    if (options.analysis.report || options.analysis.expect)
        analysis = AnalyzeCapture(log, options.analysis);
    if (status == ExitStatus::kOk && analysis && analysis->Mismatch()) {
        console.Error(MismatchMessage(*analysis, options.analysis));
        status = ExitStatus::kPatternMismatch;
    }
    // A port that never opened leaves every earlier file as it was.
    const std::vector<WrittenFile> files = log.outcome == TestOutcome::kCouldNotOpen
        ? UnwrittenFiles(options.files)
        : WriteOutputFiles(log, options.files, console);
    if (status == ExitStatus::kOk && !AllWritten(files))
        status = ExitStatus::kBadFile;
    PrintCaptureResult(
        {status, CaptureError(console, log), log, files, analysis ? &*analysis : nullptr, &options.analysis},
        options.json);
    return status;
}

}  // namespace dentora
