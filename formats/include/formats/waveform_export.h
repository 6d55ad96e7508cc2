// Waveform files for other tools: a VCD (value change dump) for waveform
// viewers such as PulseView and GTKWave, and a CSV table of the edges.
#pragma once

#include "formats/capture_data.h"

#include <cstdint>
#include <optional>
#include <string>

namespace dentora {

// How long one controller tick is, in nanoseconds; the export setting's default.
inline constexpr std::uint64_t kDefaultTickNanoseconds = 1000;

// Two 1-bit wires, crank and cam, low at #0 (unless an edge is at 0);
// timestamps in whole multiples of the largest VCD time unit that divides
// the tick length, ending one tick after the last edge. tickNanoseconds: 1
// to 10^9; without it the time unit is one tick, and the comment says so.
std::string WriteVcd(const CaptureData& capture, std::optional<std::uint64_t> tickNanoseconds,
                     const std::string& toolVersion);

// One row per edge in time order, under a row of column names and a row of
// their units: Record, Time and ToothTime in microseconds (in ticks, unit
// "tick", without a tick length), PriLevel (crank) and SecLevel (cam) after
// the edge as 0 or 1, Trigger (crank or cam).
std::string WriteCsv(const CaptureData& capture, std::optional<std::uint64_t> tickNanoseconds);

}  // namespace dentora
