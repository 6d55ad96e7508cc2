// A capture as data: every record the test run fetched, as received, with
// what the tool knows about where and when it came from and how it ended.
// The chart is one view of it.
#pragma once

#include "analysis/trigger_record.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace dentora {

// How a test ended; kRunning while it has not.
enum class TestOutcome {
    kRunning,
    kFinished,       // the announced count (or the capture buffer) was used up
    kHalted,         // the user pressed "Halt Test"
    kOutOfSequence,  // a bad type byte, or a calibration that sums to zero
    kNoAnswer,       // the controller stopped answering mid-count or mid-record
    kPortLost,       // the device went away
    kCouldNotOpen,   // the port did not open; nothing was captured
};

struct CaptureLog {
    std::vector<TriggerRecord> records;  // in the order they arrived, calibration first
    int announcedBytes = 0;              // the count as the controller sent it, 0 to 65535
    QString port;                        // the device the test opened
    QDateTime startedAt;                 // when "Run Test" opened the port
    TestOutcome outcome = TestOutcome::kRunning;
    QString outcomeDetail;               // why it ended so, in words for the user; empty while running
};

}  // namespace dentora
