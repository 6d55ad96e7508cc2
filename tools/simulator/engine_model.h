// Engine model of the simulated engine controller: a crank wheel and a cam
// that turn at a steady speed, and the tach log they produce.
//
// Library: dentora_simulator (CMake target). Include as
//   #include "simulator/engine_model.h"
// with tools/ on the include path (the target exports it).
//
// Everything here is pure and deterministic: no I/O, no clocks, no threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace dentora::sim {

enum class Channel { Crank, Cam };

// Record type bytes of the tach log.
inline constexpr std::uint8_t kCrankRise = 'R';
inline constexpr std::uint8_t kCrankFall = 'F';
inline constexpr std::uint8_t kCamRise = 'r';
inline constexpr std::uint8_t kCamFall = 'f';

// Chart units the tool gives one crank half-tooth once calibrated.
inline constexpr double kChartUnitsPerHalfTooth = 10.0;

struct EngineConfig {
    double rpm = 3000.0;
    int teeth = 36;           // tooth positions per crank revolution
    int missingTeeth = 0;     // the last positions of each revolution carry no tooth (36-1 wheel: 1)
    double crankDuty = 0.5;   // fraction of a tooth period the crank signal is high
    // One cam pulse per two revolutions; both angles are in crank degrees
    // of the 720-degree cycle, which starts at the first tooth period.
    double camStartDegrees = 60.0;
    double camWidthDegrees = 36.0;  // a tenth of a revolution
    // 4 us keeps every interval in 16 bits down to about 460 rpm, so idle
    // speeds fit; a 1 us tick would refuse anything below about 1850 rpm.
    double tickMicros = 4.0;
};

// The configuration resolved to whole ticks. The tooth period is rounded to
// whole ticks so that the calibration can make a half-tooth exactly
// kChartUnitsPerHalfTooth wide; effectiveRpm is the speed that results.
struct EngineTiming {
    std::uint32_t toothTicks = 0;
    std::uint32_t crankHighTicks = 0;
    std::uint32_t crankLowTicks = 0;     // between two neighbouring teeth
    std::uint64_t revolutionTicks = 0;
    std::uint64_t camCycleTicks = 0;     // two revolutions
    std::uint64_t camStartTicks = 0;
    std::uint64_t camHighTicks = 0;
    int teeth = 0;
    int missingTeeth = 0;
    double effectiveRpm = 0.0;
};

// Resolves and validates a configuration. Throws std::invalid_argument,
// naming the offending setting, when a value is out of range or when any
// edge-to-edge interval of either channel (or a calibration count) would not
// fit the log's 16-bit tick counts.
EngineTiming resolveTiming(const EngineConfig& config);

struct Record {
    std::uint8_t type = 0;
    std::uint16_t ticks = 0;  // since this record's channel's previous edge

    // Wire form: type, ticks low byte, ticks high byte.
    std::array<std::uint8_t, 3> bytes() const;
};

struct Edge {
    Channel channel = Channel::Crank;
    bool rising = false;
    std::uint64_t tick = 0;           // absolute time; both channels start at 0
    std::uint16_t sincePrevious = 0;  // ticks since this channel's previous edge

    Record record() const;
};

// The first two records of every log. They calibrate the tool's time axis to
// kChartUnitsPerHalfTooth per half-tooth: each carries one tooth period, so
// their sum is four half-teeth.
std::array<Record, 2> calibrationRecords(const EngineTiming& timing);

// Chart x units per tick once the tool has read calibrationRecords(); the
// tool draws an edge at tick t at x = t * chartUnitsPerTick(timing).
double chartUnitsPerTick(const EngineTiming& timing);

// Edges of both channels in time order, from the start of the cycle on,
// without end. At equal times the crank edge comes first.
class EdgeStream {
public:
    explicit EdgeStream(const EngineTiming& timing);
    Edge next();

private:
    std::uint64_t crankEdgeTick() const;
    std::uint64_t camEdgeTick() const;

    EngineTiming timing_;
    std::uint64_t crankRevolution_ = 0;
    int crankTooth_ = 0;
    bool crankRisingNext_ = true;
    std::uint64_t camCycle_ = 0;
    bool camRisingNext_ = true;
    std::uint64_t lastCrankTick_ = 0;
    std::uint64_t lastCamTick_ = 0;
};

// The tach log as the controller hands it out: the two calibration records,
// then one record per edge, without end.
class TachLog {
public:
    explicit TachLog(const EngineTiming& timing);
    Record next();

private:
    std::array<Record, 2> calibration_;
    std::size_t calibrationServed_ = 0;
    EdgeStream edges_;
};

}  // namespace dentora::sim
