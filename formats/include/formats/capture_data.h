// A capture as plain data: every record the test run fetched, where and when
// it came from and how the test ended. What the capture file holds.
#pragma once

#include "analysis/trigger_record.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
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

// The most records one test can fetch: one starts at every even fetch
// position whose three bytes fit the 8100-byte capture buffer.
inline constexpr std::size_t kMaxCaptureRecords = (8100 - 3) / 2 + 1;

// An imported capture is not bound by the controller's buffer: a minute of
// a 60-2 wheel at 6,000 rpm is about 720,000 edges.
inline constexpr std::size_t kMaxImportedRecords = 8 * 1024 * 1024;

// Where an imported capture came from, and which of its signals became the
// crank and the cam.
struct ImportSource {
    std::string file;    // the file's name, without its folder (UTF-8)
    std::string format;  // a name of ImportFormats(), e.g. "vcd"
    std::string crank;   // the signal's name in the file
    std::string cam;     // empty when the file gave no cam
    bool crankInverted = false;
    bool camInverted = false;
};

struct CaptureData {
    std::vector<TriggerRecord> records;  // in the order they arrived, calibration first
    int announcedBytes = 0;              // 0 to 65535
    std::string port;                    // UTF-8
    std::string startedAtUtc;            // ISO 8601 with milliseconds, e.g. 2026-12-08T11:52:08.123Z
    TestOutcome outcome = TestOutcome::kRunning;
    std::string outcomeDetail;                     // why it ended so, in words for the user (UTF-8)
    std::optional<std::uint64_t> tickNanoseconds;  // once known: set by the user or by an import
    bool fallingEdgesReal = true;                  // false for a tooth log: its falling edges are made up
    std::optional<ImportSource> source;            // for an imported capture

    std::size_t MostRecords() const { return source ? kMaxImportedRecords : kMaxCaptureRecords; }
};

}  // namespace dentora
