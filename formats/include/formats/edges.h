// The edges a capture's records describe, on a common time axis in ticks:
// each signal's clock is the sum of its own tick counts after the two
// calibration records, and both clocks start at 0.
#pragma once

#include "analysis/trigger_record.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dentora {

enum class Signal { kCrank, kCam };

struct Edge {
    std::size_t record = 0;  // its index in the capture's records
    Signal signal = Signal::kCrank;
    bool high = false;             // the level the signal goes to
    std::uint64_t time = 0;        // ticks since the start of the signal's clock
    std::uint16_t toothTicks = 0;  // ticks since the signal's previous edge
};

// Every record after the calibration, ordered by time; edges at the same
// time keep the records' order. Records of unknown type are skipped.
std::vector<Edge> EdgesInTimeOrder(const std::vector<TriggerRecord>& records);

}  // namespace dentora
