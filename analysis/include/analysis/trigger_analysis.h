// What a capture says about the trigger wheel, the sync and the cam: each
// crank tooth, the wheel's pattern, the cam's position, the engine speed and
// every anomaly, all from the records as they came off the line.
// Plain C++17 with no Qt. docs/analysis.md explains each figure and threshold.
#pragma once

#include "analysis/trigger_record.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dentora {

struct AnalysisOptions {
    std::optional<double> tickMicros;  // length of one tick in µs; without it rpm is unknown
    bool fallingEdgesReal = true;      // false for a tooth log: no duty is worked out
};

enum class TriggerChannel { kCrank, kCam };

// A moment on one signal's clock, which starts after the two calibration
// records, in ticks and in the chart units the tool draws it at.
struct CaptureTime {
    std::uint64_t ticks = 0;
    double chartX = 0.0;
};

struct CrankTooth {
    std::size_t record = 0;  // the record of its rising edge (calibration records count)
    CaptureTime rise;
    CaptureTime nextRise;           // the end of its period
    std::uint64_t periodTicks = 0;  // rising edge to the next tooth's rising edge
    std::optional<double> duty;     // high time / period; unknown when its falling edge is lost
    std::optional<double> ratio;    // period / the previous tooth's period
    int span = 1;                   // tooth positions the period spans: 1 + missing teeth at the gap
    int number = 0;                 // 1 is the first tooth after the gap; 0 while the wheel is unknown
    std::int64_t revolution = 0;    // whole revolutions since the first gap (negative before it)
    bool trusted = true;            // no saturated tick count inside the period
    std::optional<double> rpm;      // when the tick length and the wheel are known
};

struct WheelSummary {
    int teethPresent = 0;  // per revolution; 0 while unknown
    int teethMissing = 0;
    bool sizedByCam = false;      // no gap: the teeth per revolution come from the cam's spacing
    int revolutionsSeen = 0;      // whole revolutions in the capture
    int revolutionsAgreeing = 0;  // of those, the ones with the pattern's tooth count and gap
    bool Known() const { return teethPresent > 0; }
    int Slots() const { return teethPresent + teethMissing; }
    std::string Pattern() const;  // "36-1", "24-0", or "unknown"
};

struct CamPulse {
    std::size_t record = 0;
    CaptureTime rise;
    int tooth = 0;                // the crank tooth it follows, over 720°; 0 when not placed
    std::optional<double> angle;  // crank degrees after tooth 1's rising edge, 0 to 720
};

// Where the cam pulses regularly fall, with their spread over the capture.
struct CamLocation {
    int tooth = 0;
    double meanAngle = 0.0;
    double minAngle = 0.0;
    double maxAngle = 0.0;
    int pulses = 0;
};

struct CamSummary {
    int pulsesPer720 = 0;  // 0 when no pulse could be placed
    std::vector<CamPulse> pulses;
    std::vector<CamLocation> locations;
};

struct SpeedSummary {
    std::optional<double> minRpm;
    std::optional<double> meanRpm;
    std::optional<double> maxRpm;
};

enum class AnomalyKind {
    kGlitch,         // a period far shorter than its neighbours
    kLostEdge,       // two rising or two falling edges of one signal in a row
    kUnexpectedGap,  // a gap where the wheel has none
    kMissingGap,     // no gap (or a gap of the wrong size) where the wheel has one
    kToothCount,     // a revolution with the wrong number of teeth
    kCamMoved,       // a cam pulse at a different tooth than the others
    kSaturated,      // a tick count of 65535: the counter may have saturated or wrapped
    kBadRecord,      // a type byte that is no edge: nothing after it is analysed
};

struct Anomaly {
    AnomalyKind kind = AnomalyKind::kGlitch;
    TriggerChannel channel = TriggerChannel::kCrank;
    std::size_t record = 0;
    CaptureTime at;
    std::string reason;  // one line
};

struct TriggerReport {
    std::size_t records = 0;
    double chartUnitsPerTick = 0.0;  // 0 when the calibration is missing or sums to zero
    std::optional<double> tickMicros;
    bool fallingEdgesReal = true;   // as the options said; false: every duty is unknown
    std::vector<CrankTooth> teeth;  // by time, glitch edges left out
    WheelSummary wheel;
    CamSummary cam;
    SpeedSummary speed;
    std::vector<Anomaly> anomalies;  // by time
};

TriggerReport AnalyzeTrigger(const std::vector<TriggerRecord>& records, const AnalysisOptions& options = {});

// The tooth whose period holds chart x (its rising edge up to the next), or
// null; a binary search.
const CrankTooth* ToothAt(const TriggerReport& report, double chartX);

// "glitch", "lost edge", ...: the anomaly kinds' names in reports.
const char* AnomalyKindName(AnomalyKind kind);

}  // namespace dentora
