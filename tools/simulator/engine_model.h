// Engine model of the simulated engine controller: a crank wheel and a cam
// that turn at a steady speed or speed up, and the tach log they produce,
// with the faults a real trigger signal can show.
//
// Library: dentora_simulator (CMake target). Include as
//   #include "simulator/engine_model.h"
// with tools/ on the include path (the target exports it).
//
// Everything here is pure and deterministic: no I/O, no clocks, no threads.
#pragma once

#include "analysis/trigger_record.h"
#include "simulator/wheel_shapes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace dentora::sim {

enum class Channel { Crank, Cam };

// Chart units the tool gives one crank half-tooth once calibrated.
inline constexpr double kChartUnitsPerHalfTooth = 10.0;

// Faults of the trigger signal itself, as a damaged wheel, a noisy sensor
// or a slipping cam would give them. Crank teeth count from 0, the first
// tooth of the log; cam pulses and revolutions likewise.
struct SignalFaults {
    std::optional<std::uint64_t> glitchAfterTooth;        // a short crank pulse in the low time after that tooth
    std::optional<std::uint64_t> missingTooth;            // that tooth gives no edges (a broken tooth)
    std::optional<std::uint64_t> extraToothInRevolution;  // a tooth in the first empty position of that revolution
    std::optional<std::uint64_t> camJumpAtPulse;          // that cam pulse comes camJumpDegrees late
    double camJumpDegrees = 30.0;                         // crank degrees; negative: early
    std::optional<std::size_t> lostEdgeAtRecord;  // that record's edge is never logged (0: first calibration record)
};

// What makes a real engine's trigger less than a clean wheel at one speed.
struct EngineRealism {
    // A real start: each compression stroke slows the crank and the next
    // expansion speeds it up, by up to this share of the mean speed (0.4:
    // +-40 %); cylinders / 2 strokes per revolution.
    double compression = 0.0;
    int cylinders = 4;
    // Each tooth comes early or late by up to half this share of a mean
    // tooth spacing, so a period varies by up to this share (1/3 at most).
    double jitter = 0.0;
    // A noise pulse a twentieth of a tooth wide after every n-th tooth; 0: none.
    int noiseEveryTeeth = 0;
    // The engine stops half a revolution before that revolution ends, and
    // turns on after stallSeconds.
    std::optional<std::uint64_t> stallInRevolution;
    double stallSeconds = 1.0;
    std::uint32_t seed = 1;  // of the jitter
};

struct EngineConfig {
    double rpm = 3000.0;
    // Speed gained per revolution, as a fraction (0.3: a cranking start that
    // speeds up by 30 % each turn), until topRpm; 0 turns at a steady rpm.
    double accelerationPerRevolution = 0.0;
    double topRpm = 6000.0;
    int teeth = 36;          // tooth positions per crank revolution
    int missingTeeth = 0;    // the last positions of each revolution carry no tooth (36-1 wheel: 1)
    double crankDuty = 0.5;  // fraction of a tooth period the crank signal is high
    // A wheel from the simulator's own descriptions (wheel_shapes.h): it
    // replaces teeth, missingTeeth and crankDuty, and brings its own cam
    // pulses where it has them. Empty: the slotted wheel above.
    std::string wheel;
    // One cam pulse per two revolutions, where the wheel brings none. Its
    // rising edge comes camStartDegrees crank degrees after the rising edge
    // of tooth 1 (the wheel's first tooth), the reference the analysis
    // measures cam angles from.
    double camStartDegrees = 60.0;
    double camWidthDegrees = 36.0;  // a tenth of a revolution
    // 4 us keeps every interval in 16 bits down to about 460 rpm, so idle
    // speeds fit; a 1 us tick would refuse anything below about 1850 rpm.
    double tickMicros = 4.0;
    SignalFaults faults;
    EngineRealism realism;
};

// The configuration resolved to whole ticks. The tooth period is rounded to
// whole ticks so that the calibration can make a half-tooth exactly
// kChartUnitsPerHalfTooth wide; effectiveRpm is the speed that results.
struct EngineTiming {
    std::uint32_t toothTicks = 0;
    std::uint32_t crankHighTicks = 0;
    std::uint32_t crankLowTicks = 0;  // between two neighbouring teeth
    std::uint64_t revolutionTicks = 0;
    std::uint64_t camCycleTicks = 0;  // two revolutions
    std::uint64_t camStartTicks = 0;
    std::uint64_t camHighTicks = 0;
    int teeth = 0;
    int missingTeeth = 0;
    double effectiveRpm = 0.0;  // at the start
    // While accelerating each tooth position lasts slotRatio times the one
    // before, for rampSlots positions; then each lasts topToothTicks.
    double slotRatio = 1.0;
    std::uint64_t rampSlots = 0;
    double topToothTicks = 0.0;
    double crankLowFraction = 0.5;  // crankLowTicks / toothTicks
    SignalFaults faults;
    WheelShape shape;  // the crank's teeth in degrees, the configured wheel's too
    EngineRealism realism;
    double stallTicks = 0.0;
};

// Resolves and validates a configuration. Throws std::invalid_argument,
// naming the offending setting, when a value is out of range or when any
// edge-to-edge interval of either channel (or a calibration count) would not
// fit the log's 16-bit tick counts.
EngineTiming ResolveTiming(const EngineConfig& config);

struct Record {
    std::uint8_t type = 0;
    std::uint16_t ticks = 0;  // since this record's channel's previous edge

    // Wire form: type, ticks low byte, ticks high byte.
    std::array<std::uint8_t, 3> Bytes() const;
};

struct Edge {
    Channel channel = Channel::Crank;
    bool rising = false;
    std::uint64_t tick = 0;           // absolute time; both channels start at 0
    std::uint16_t sincePrevious = 0;  // ticks since this channel's previous edge

    Record ToRecord() const;
};

// The first two records of every log. They calibrate the tool's time axis to
// kChartUnitsPerHalfTooth per half-tooth: each carries one tooth period, so
// their sum is four half-teeth.
std::array<Record, 2> CalibrationRecords(const EngineTiming& timing);

// Chart x units per tick once the tool has read CalibrationRecords(); the
// tool draws an edge at tick t at x = t * ChartUnitsPerTick(timing).
double ChartUnitsPerTick(const EngineTiming& timing);

// The tick at which tooth position `slot` (counted over all revolutions
// from 0) begins, low first; exact whole ticks at a steady speed.
double SlotStartTick(const EngineTiming& timing, std::uint64_t slot);

// The tick at which the crank has turned `degrees` since the log began:
// the speed ramp, the compression strokes and a stall, without jitter.
double CrankAngleTick(const EngineTiming& timing, double degrees);

// One signal's edges in time order, without end: its next edge is Front().
class SignalEdges {
public:
    struct Pending {
        std::uint64_t tick = 0;
        bool rising = false;
    };
    virtual ~SignalEdges() = default;
    const Pending& Front();
    void Pop() { m_pending.pop_front(); }

protected:
    virtual void ProduceMore() = 0;
    void Push(double tick, bool rising);

private:
    std::deque<Pending> m_pending;
};

// The crank wheel: one revolution at a time, with the crank faults.
class CrankEdges : public SignalEdges {
public:
    explicit CrankEdges(const EngineTiming& timing) : m_timing(timing), m_random(timing.realism.seed) {}

private:
    void ProduceMore() override;
    std::vector<ShapeEdgePair> RevolutionTeeth() const;
    void PushTooth(double riseDegrees, double fallDegrees, double nextRiseDegrees);
    void PushPulse(double tick, double width);
    double Jitter();

    EngineTiming m_timing;
    std::uint64_t m_revolution = 0;
    std::uint64_t m_tooth = 0;
    std::uint32_t m_random;
    double m_lastTick = -1.0;
};

// The cam: the wheel's pulses or one pulse per two revolutions, with the cam jump.
class CamEdges : public SignalEdges {
public:
    explicit CamEdges(const EngineTiming& timing) : m_timing(timing) {}

private:
    void ProduceMore() override;

    EngineTiming m_timing;
    std::uint64_t m_cycle = 0;
    std::uint64_t m_pulse = 0;
};

// Edges of both channels in time order, from the start of the cycle on,
// without end. At equal times the crank edge comes first. A count that the
// faults stretch past 16 bits is held at 65535, as a saturating counter does.
class EdgeStream {
public:
    explicit EdgeStream(const EngineTiming& timing);
    Edge Next();

private:
    std::optional<std::size_t> m_lostEdge;
    CrankEdges m_crank;
    CamEdges m_cam;
    std::size_t m_record = 2;  // the record the next edge becomes
    std::uint64_t m_lastCrankTick = 0;
    std::uint64_t m_lastCamTick = 0;
};

// The tach log as the controller hands it out: the two calibration records,
// then one record per edge, without end.
class TachLog {
public:
    explicit TachLog(const EngineTiming& timing);
    Record Next();

private:
    std::array<Record, 2> m_calibration;
    std::size_t m_calibrationServed = 0;
    EdgeStream m_edges;
};

}  // namespace dentora::sim
