// The test run: a state machine the dialog's 100 ms timer steps once per
// tick, from purging the line to the last record of the controller's log.
#pragma once

#include "capture/capture_log.h"
#include "platform/wnd.h"

#include <QString>

// States of the test run.
enum TestState {
    kIdle = 0,
    kPurge = 1,
    kSendGo = 2,
    kAwaitDone = 3,
    kAskCount = 4,
    kReadCount = 5,
    kFetch = 6,
    kFinish = 7,
};

constexpr int kRxBufferSize = 8100;

extern int g_nTestState;
extern unsigned char g_RxBuf[kRxBufferSize];
extern int g_nRxCount;
extern int g_nRxPos;

// The "Run Test" button and the status box; set by the dialog.
extern CWnd* g_pRunButton;
extern CWnd* g_pStatus;

// A click on "Run Test" / "Halt Test". owner: the window that owns message
// boxes; portSelection: the port list's selection (-1 for none); typedDevice:
// a device typed into the port box instead of a selection, or empty.
void RunTestClicked(CWnd* owner, int portSelection, const QString& typedDevice);

// The records a test fetches for a count of announcedBytes: every whole
// record of the log, as far as the capture buffer holds them (4049).
int RecordsToFetch(int announcedBytes);

// One timer tick: performs exactly one state of the test run.
void TestRunTick(CWnd* owner);

// The capture the current or last test fetched, and how that test ended.
// Reset when "Run Test" opens a port.
const dentora::CaptureLog& CurrentCaptureLog();

// Notes that the current capture was saved to the capture file at path.
void SetCurrentCaptureFile(const QString& path);

// How a test ended and why, in a sentence for the user; empty while it runs.
// Once a test is over, the status box's tooltip says this for the last test.
QString TestEndingText(const dentora::CaptureLog& log);

// Makes log the current capture and draws it on the chart at once, as its
// test did. Refused (false, nothing changed) while a test runs.
bool LoadCapture(dentora::CaptureLog log);
