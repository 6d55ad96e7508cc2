// One record of the controller's trigger log, as it came off the line.
// Plain C++17: the analysis and the file formats share it with the capture.
#pragma once

#include <cstdint>

namespace dentora {

// Record type bytes: upper case the crank, lower case the cam.
inline constexpr std::uint8_t kCrankRise = 'R';
inline constexpr std::uint8_t kCrankFall = 'F';
inline constexpr std::uint8_t kCamRise = 'r';
inline constexpr std::uint8_t kCamFall = 'f';

// The first two records of a log calibrate the time axis; the rest are edges.
inline constexpr int kCalibrationRecords = 2;

struct TriggerRecord {
    std::uint8_t type = 0;
    std::uint16_t ticks = 0;  // since the previous edge of the same signal

    bool operator==(const TriggerRecord& other) const { return type == other.type && ticks == other.ticks; }
    bool operator!=(const TriggerRecord& other) const { return !(*this == other); }
};

}  // namespace dentora
