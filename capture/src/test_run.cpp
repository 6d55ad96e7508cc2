#include "capture/test_run.h"

#include "capture/decoder.h"
#include "capture/replay.h"
#include "chart/chart_wnd.h"
#include "platform/sleep.h"
#include "serial/serial_link.h"

int g_nTestState = kIdle;
unsigned char g_RxBuf[kRxBufferSize] = {};
int g_nRxCount = 0;
int g_nRxPos = 0;
CWnd* g_pRunButton = nullptr;
CWnd* g_pStatus = nullptr;

namespace {

using dentora::TestOutcome;

dentora::CaptureLog g_captureLog;

// The first cause wins: a halt pressed after an abort does not hide it.
void SetOutcome(TestOutcome outcome)
{
    if (g_captureLog.outcome == TestOutcome::kRunning)
        g_captureLog.outcome = outcome;
}

constexpr unsigned char kGoCommand = 'g';
constexpr unsigned char kAcknowledge = 'd';
constexpr unsigned char kCountCommand = 'n';
constexpr unsigned char kNextByteCommand = 'a';
constexpr int kRecordSize = 3;
// Lets the user read the abort before Finish replaces it.
constexpr DWORD kOutOfSequencePauseMs = 1000;

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
    SetOutcome(TestOutcome::kPortLost);
    const QString reason = LastCommError();
    CloseCommPort();
    SetStatus(QStringLiteral(">>> COM port lost (%1) - Abort <<<").arg(reason));
}

// False, after ending the test, when the line has gone away.
bool LinkStillThere()
{
    if (!CommLinkLost())
        return true;
    EndOnLostLink();
    return false;
}

// A read that brought nothing in ReadCount or Fetch: nothing is made up.
void EndWithoutAnswer()
{
    if (!LinkStillThere())
        return;
    g_nTestState = kFinish;
    SetOutcome(TestOutcome::kNoAnswer);
    SetStatus(QStringLiteral(">>> No answer from controller - Abort <<<"));
}

void AbortOutOfSequence()
{
    g_nTestState = kFinish;
    SetOutcome(TestOutcome::kOutOfSequence);
    SetStatus(QStringLiteral(">>> Out of Sequence - Abort <<<"));
    Sleep(kOutOfSequencePauseMs);
}

void Purge()
{
    g_chart.ClearPoints();
    SetStatus(QStringLiteral("Step 1: Purge comm port"));
    DrainCommInput();
    if (!LinkStillThere())
        return;
    g_pRunButton->SetWindowText(QStringLiteral("Halt Test"));
    g_nTestState = kSendGo;
}

void SendGo()
{
    SetStatus(QStringLiteral("Step 2: Send out go command"));
    SendCommand(kGoCommand);
    if (LinkStillThere())
        g_nTestState = kAwaitDone;
}

void AwaitDone()
{
    SetStatus(QStringLiteral("Step 3: Get acknowledge back"));
    if (ReadCommByte(&g_RxBuf[0]) && g_RxBuf[0] == kAcknowledge) {
        g_nTestState = kAskCount;
        return;
    }
    if (LinkStillThere())
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
        EndWithoutAnswer();
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

void Fetch()
{
    // A record fills three cells from the fetch position; the buffer ends
    // the fetch as the count does.
    if (g_nRxPos >= g_nRxCount || g_nRxPos + kRecordSize > kRxBufferSize) {
        g_nTestState = kFinish;
        SetOutcome(TestOutcome::kFinished);
        return;
    }
    if (!FetchByte(g_nRxPos)) {
        EndWithoutAnswer();
        return;
    }
    if (!DecodeRecordType(g_RxBuf[g_nRxPos])) {
        AbortOutOfSequence();
        return;
    }
    ++g_nRxPos;
    if (!FetchByte(g_nRxPos) || !FetchByte(g_nRxPos + 1)) {
        EndWithoutAnswer();
        return;
    }
    const unsigned int tickCount = g_RxBuf[g_nRxPos] + 256u * g_RxBuf[g_nRxPos + 1];
    g_captureLog.records.push_back({g_RxBuf[g_nRxPos - 1], std::uint16_t(tickCount)});
    if (!DecodeTickCount(tickCount, g_nRxPos)) {
        AbortOutOfSequence();
        return;
    }
    ++g_nRxPos;
}

void Finish()
{
    SetOutcome(TestOutcome::kHalted);
    g_pRunButton->SetWindowText(QStringLiteral("Run Test"));
    g_nTestState = kIdle;
    CloseCommPort();
    SetStatus(QStringLiteral(">>> Finished <<<"));
}

}  // namespace

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
    if (opened) {
        SetStatus(QStringLiteral("Running Application - Opened COM port..."));
        g_nTestState = kPurge;
        return;
    }
    AfxMessageBox(owner, QStringLiteral("Error in Opening COM Port\n") + LastCommError());
    g_nTestState = kIdle;
    SetOutcome(TestOutcome::kCouldNotOpen);
    SetStatus(QStringLiteral("*** Error in opening COM port ***"));
}

const dentora::CaptureLog& CurrentCaptureLog()
{
    return g_captureLog;
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
    case kFetch: Fetch(); return;
    default: Finish(); return;
    }
}
