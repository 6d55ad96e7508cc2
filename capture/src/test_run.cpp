#include "capture/test_run.h"

#include "capture/decoder.h"
#include "capture/fetch_options.h"
#include "capture/replay.h"
#include "chart/chart_wnd.h"
#include "fetch_steps.h"
#include "platform/sleep.h"
#include "serial/serial_link.h"

#include <algorithm>

int g_nTestState = kIdle;
unsigned char g_RxBuf[kRxBufferSize] = {};
int g_nRxCount = 0;
int g_nRxPos = 0;
CWnd* g_pRunButton = nullptr;
CWnd* g_pStatus = nullptr;

namespace {

using dentora::TestOutcome;
using namespace dentora::fetch;

dentora::CaptureLog g_captureLog;

// The first cause wins: a halt pressed after an abort does not hide it.
void SetOutcome(TestOutcome outcome, const QString& detail)
{
    if (g_captureLog.outcome != TestOutcome::kRunning)
        return;
    g_captureLog.outcome = outcome;
    g_captureLog.outcomeDetail = detail;
}

// The status line's tooltip tells how the last test ended once "Finished"
// (or an error line) has replaced the line that said it.
void ShowEndingInToolTip(const QString& text)
{
    g_pStatus->SetToolTipText(text);
}

constexpr unsigned char kGoCommand = 'g';
constexpr unsigned char kAcknowledge = 'd';
constexpr unsigned char kCountCommand = 'n';
// Lets the user read an abort before Finish replaces it.
constexpr DWORD kAbortPauseMs = 1000;

void SetStatus(const QString& text)
{
    g_pStatus->SetWindowText(text);
}

void SendCommand(unsigned char command)
{
    WriteComm(&command, 1);
}

// Ends the test at once: after a lost line there is nothing left to finish.
void EndOnLostLink()
{
    g_pRunButton->SetWindowText(QStringLiteral("Run Test"));
    g_nTestState = kIdle;
    const QString reason = LastCommError();
    SetOutcome(TestOutcome::kPortLost, reason);
    ShowEndingInToolTip(TestEndingText(g_captureLog));
    CloseCommPort();
    SetStatus(QStringLiteral(">>> COM port lost (%1) - Abort <<<").arg(reason));
}

}  // namespace

bool dentora::fetch::LinkStillThere()
{
    if (!CommLinkLost())
        return true;
    EndOnLostLink();
    return false;
}

QString dentora::fetch::RecordInFetch()
{
    // Records count from 0, the first calibration record being record 0.
    return QStringLiteral("record %1").arg(g_captureLog.records.size());
}

// A read that brought nothing in ReadCount or Fetch: nothing is made up.
void dentora::fetch::EndWithoutAnswer(const QString& missing)
{
    if (!LinkStillThere())
        return;
    g_nTestState = kFinish;
    SetOutcome(TestOutcome::kNoAnswer, missing);
    SetStatus(QStringLiteral(">>> No answer from controller - Abort <<<"));
    Sleep(kAbortPauseMs);
}

void dentora::fetch::AbortOutOfSequence(const QString& why)
{
    g_nTestState = kFinish;
    SetOutcome(TestOutcome::kOutOfSequence, why);
    SetStatus(QStringLiteral(">>> Out of Sequence - Abort <<<"));
    Sleep(kAbortPauseMs);
}

namespace {

void Purge()
{
    g_chart.ClearPoints();
    g_chart.ResetView();
    SetStatus(QStringLiteral("Step 1: Purge comm port"));
    DrainCommInput();
    if (!LinkStillThere())
        return;
    g_pRunButton->SetWindowText(QStringLiteral("Halt Test"));
    g_nTestState = kSendGo;
}

// Once a poll has gone without the acknowledge, "Waiting for Done..." stands
// until it comes: set back for each poll's read, the line the user is told
// to look for would show only between reads.
bool g_waitingForDone = false;

void SendGo()
{
    SetStatus(QStringLiteral("Step 2: Send out go command"));
    SendCommand(kGoCommand);
    g_waitingForDone = false;
    if (LinkStillThere())
        g_nTestState = kAwaitDone;
}

void AwaitDone()
{
    if (!g_waitingForDone)
        SetStatus(QStringLiteral("Step 3: Get acknowledge back"));
    if (ReadCommByte(&g_RxBuf[0]) && g_RxBuf[0] == kAcknowledge) {
        g_nTestState = kAskCount;
        return;
    }
    if (!LinkStillThere() || g_waitingForDone)
        return;
    g_waitingForDone = true;
    SetStatus(QStringLiteral("Step 3: Waiting for Done..."));
}

void AskCount()
{
    SetStatus(QStringLiteral("Step 4: Ask for number of bytes"));
    SendCommand(kCountCommand);
    if (LinkStillThere())
        g_nTestState = kReadCount;
}

void ReadCount()
{
    SetStatus(QStringLiteral("Step 5: Plot Tach Signals..."));
    if (!ReadCommByte(&g_RxBuf[0]) || !ReadCommByte(&g_RxBuf[1])) {
        EndWithoutAnswer(QStringLiteral("the byte count did not arrive"));
        return;
    }
    const int announced = g_RxBuf[0] + 256 * g_RxBuf[1];
    g_captureLog.announcedBytes = announced;
    g_nRxCount = announced / kRecordSize * kRecordSize;
    g_nRxPos = 0;
    StartTraces();
    g_nTestState = kFetch;
}

// Sends "a" and reads its answer into the buffer cell.
bool FetchByte(int cell)
{
    SendCommand(kNextByteCommand);
    return ReadCommByte(&g_RxBuf[cell]);
}

// One record per tick.
void Fetch()
{
    if (FetchDone())
        return;
    if (!FetchByte(g_nRxPos)) {
        EndWithoutAnswer(QStringLiteral("%1 did not arrive").arg(RecordInFetch()));
        return;
    }
    if (!TakeRecordType())
        return;
    if (!FetchByte(g_nRxPos) || !FetchByte(g_nRxPos + 1)) {
        EndWithoutAnswer(QStringLiteral("the tick count of %1 did not arrive").arg(RecordInFetch()));
        return;
    }
    TakeTickCount();
}

void Finish()
{
    SetOutcome(TestOutcome::kHalted, QStringLiteral("%1 records fetched").arg(g_captureLog.records.size()));
    ShowEndingInToolTip(TestEndingText(g_captureLog));
    g_pRunButton->SetWindowText(QStringLiteral("Run Test"));
    g_nTestState = kIdle;
    CloseCommPort();
    SetStatus(QStringLiteral(">>> Finished <<<"));
}

}  // namespace

int RecordsToFetch(int announcedBytes)
{
    // A record fills three cells from the fetch position, which moves on by
    // two per record: the buffer holds those starting at 0, 2, ..., 8096.
    constexpr int kRecordsTheBufferHolds = (kRxBufferSize - kRecordSize) / 2 + 1;
    return std::min(std::max(0, announcedBytes) / kRecordSize, kRecordsTheBufferHolds);
}

int dentora::fetch::RecordsLeft()
{
    return std::max(0, RecordsToFetch(g_nRxCount) - g_nRxPos / 2);
}

bool dentora::fetch::FetchDone()
{
    if (RecordsLeft() > 0)
        return false;
    g_nTestState = kFinish;
    SetOutcome(TestOutcome::kFinished,
               QStringLiteral("%1 records fetched for the %2 bytes announced%3")
                   .arg(g_captureLog.records.size())
                   .arg(g_captureLog.announcedBytes)
                   .arg(g_nRxPos / 2 < g_nRxCount / kRecordSize
                            ? QStringLiteral(", up to the end of the capture buffer")
                            : QString()));
    return true;
}

bool dentora::fetch::TakeRecordType()
{
    if (!DecodeRecordType(g_RxBuf[g_nRxPos])) {
        AbortOutOfSequence(QStringLiteral("%1 has the type byte 0x%2, not R, F, r or f")
                               .arg(RecordInFetch())
                               .arg(g_RxBuf[g_nRxPos], 2, 16, QLatin1Char('0')));
        return false;
    }
    ++g_nRxPos;
    return true;
}

bool dentora::fetch::TakeTickCount()
{
    const unsigned int tickCount = g_RxBuf[g_nRxPos] + 256u * g_RxBuf[g_nRxPos + 1];
    g_captureLog.records.push_back({g_RxBuf[g_nRxPos - 1], std::uint16_t(tickCount)});
    if (!DecodeTickCount(tickCount, g_nRxPos)) {
        AbortOutOfSequence(QStringLiteral("the two calibration records sum to zero ticks"));
        return false;
    }
    ++g_nRxPos;
    return true;
}

void RunTestClicked(CWnd* owner, int portSelection, const QString& typedDevice)
{
    SetStatus(QStringLiteral(">>> Running Application <<<"));
    if (g_nTestState != kIdle) {
        g_nTestState = kFinish;
        return;
    }
    SelectCommPort(portSelection, typedDevice);
    const bool opened = OpenCommPort();
    g_captureLog = {};
    g_captureLog.port = OpenCommDevice();
    g_captureLog.startedAt = QDateTime::currentDateTimeUtc();
    ShowEndingInToolTip(QString());
    if (opened) {
        SetStatus(QStringLiteral("Running Application - Opened COM port..."));
        g_nTestState = kPurge;
        return;
    }
    AfxMessageBox(owner, QStringLiteral("Error in Opening COM Port\n") + LastCommError());
    g_nTestState = kIdle;
    SetOutcome(TestOutcome::kCouldNotOpen, LastCommError());
    ShowEndingInToolTip(TestEndingText(g_captureLog));
    SetStatus(QStringLiteral("*** Error in opening COM port ***"));
}

const dentora::CaptureLog& CurrentCaptureLog()
{
    return g_captureLog;
}

void SetCurrentCaptureFile(const QString& path)
{
    g_captureLog.file = path;
}

QString TestEndingText(const dentora::CaptureLog& log)
{
    QString how;
    switch (log.outcome) {
    case TestOutcome::kRunning: return QString();
    case TestOutcome::kFinished: how = QStringLiteral("finished"); break;
    case TestOutcome::kHalted: how = QStringLiteral("was halted"); break;
    case TestOutcome::kOutOfSequence: how = QStringLiteral("was aborted, out of sequence"); break;
    case TestOutcome::kNoAnswer: how = QStringLiteral("was aborted, no answer from the controller"); break;
    case TestOutcome::kPortLost: how = QStringLiteral("was aborted, the COM port was lost"); break;
    case TestOutcome::kCouldNotOpen: how = QStringLiteral("did not start, the COM port did not open"); break;
    }
    const QString port = log.port.isEmpty() ? QString() : QStringLiteral(" on %1").arg(log.port);
    const QString detail = log.outcomeDetail.trimmed();
    return QStringLiteral("The last test%1 %2: %3%4")
        .arg(port, how, detail, detail.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."));
}

bool LoadCapture(dentora::CaptureLog log)
{
    if (g_nTestState != kIdle)
        return false;
    g_captureLog = std::move(log);
    ReplayRecords(g_captureLog.records);
    return true;
}

void TestRunTick(CWnd*)
{
    switch (g_nTestState) {
    case kIdle: return;
    case kPurge: Purge(); return;
    case kSendGo: SendGo(); return;
    case kAwaitDone: AwaitDone(); return;
    case kAskCount: AskCount(); return;
    case kReadCount: ReadCount(); return;
    case kFetch:
        if (dentora::CurrentFetchOptions().fast)
            FastFetch();
        else
            Fetch();
        return;
    default: Finish(); return;
    }
}
