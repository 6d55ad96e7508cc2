// A capture as data: every record the test run fetched, as received, with
// what the tool knows about where and when it came from and how it ended.
// The chart is one view of it.
#pragma once

#include "analysis/trigger_record.h"
#include "formats/capture_data.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace dentora {

struct CaptureLog {
    std::vector<TriggerRecord> records;  // in the order they arrived, calibration first
    int announcedBytes = 0;              // the count as the controller sent it, 0 to 65535
    QString port;                        // the device the test opened
    QDateTime startedAt;                 // when "Run Test" opened the port
    TestOutcome outcome = TestOutcome::kRunning;
    QString outcomeDetail;                         // why it ended so, in words for the user; empty while running
    std::optional<std::uint64_t> tickNanoseconds;  // as the capture file kept it, or as an import chose it
    bool fallingEdgesReal = true;                  // false for a tooth log's made-up falling edges
    std::optional<ImportSource> source;            // for a capture imported from another tool's file
    QString file;  // the capture file it was read from or last saved to; empty until then
};

}  // namespace dentora
